// The page's figures beside their targets, measured in one run in headless
// Chromium: a movie built from a real screen recording (PNG frames of one
// size), its page from qvm html, then
//   - the page's size against 1.4 x the movie's gzip -6 size + 250 KB;
//   - page open to the first frame drawn (#go) against 1.5 s;
//   - sequential presentation (fetch, compose, draw: the player's ShowFrame)
//     against 1.5 x a bare putImageData of one whole frame in the same page;
//   - random access (as Home and the Page keys jump) against 3 x the same;
//   - the page's heap (JavaScript and the module's memory) against the
//     movie's unpacked size + 100 MB.
// Usage: node page_bench.mjs QVM PAGE_PLAYER FRAMES_DIR
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { Page, Qvm, launch, tempDir } from './lib.mjs';

const [qvmPath, pagePlayer, framesDir] = process.argv.slice(2);
const dir = tempDir('qv-page-bench');
const qvm = new Qvm(qvmPath, dir);
const movie = path.join(dir, 'screen.QVM');
const pngs = fs.readdirSync(framesDir).filter((f) => f.endsWith('.png')).sort().map((f) => path.join(framesDir, f));
qvm.run('build', '-o', movie, '--delay', '100', ...pngs);
const page = path.join(dir, 'screen.html');
qvm.run('html', movie, '-o', page, '--player', pagePlayer);

const movieBytes = fs.statSync(movie).size;
const gzipBytes = zlib.gzipSync(fs.readFileSync(movie), { level: 6 }).length;
const pageBytes = fs.statSync(page).size;
const rows = [];
const row = (what, figure, target, unit, ok) => rows.push([what, figure, target, unit, ok]);
row('page size', pageBytes / 1e6, (1.4 * gzipBytes + 250e3) / 1e6, 'MB', pageBytes <= 1.4 * gzipBytes + 250e3);

const browser = await launch(['--enable-precise-memory-info']);
try {
  const p = await Page.open(browser, 'file://' + page + '#go', { width: 1024, height: 768 });
  await p.waitLine(/Frame 0: /);
  await p.page.waitForFunction(() => QvPage.firstPictureMs !== null);
  const openMs = await p.evaluate(() => QvPage.firstPictureMs);
  row('page open to first frame', openMs / 1000, 1.5, 's', openMs <= 1500);
  await p.page.keyboard.press('Space');  // paused: the clock asks for nothing meanwhile

  const figures = await p.evaluate((frames) => {
    const mod = QvPage.current().mod;
    const ctx = document.getElementById('player').getContext('2d');
    const w = 994, h = 722;
    // Two whole frames put in turn, so no put repeats the one before.
    const images = [0, 1].map((k) => {
      const img = new ImageData(w, h);
      for (let i = 0; i < img.data.length; i += 4) {
        img.data[i] = (i >> 2) * (k + 3) & 255, img.data[i + 1] = (i >> 4) & 255, img.data[i + 2] = k * 90, img.data[i + 3] = 255;
      }
      return img;
    });
    const time = (count, fn) => {
      for (let i = 0; i < 5; i++) fn(i);  // warm up
      const t0 = performance.now();
      for (let i = 0; i < count; i++) fn(i);
      return (performance.now() - t0) / count;
    };
    const put = time(200, (i) => ctx.putImageData(images[i & 1], 0, 0));
    mod._qv_deliver_frame(0);
    const sequential = time(frames - 1, (i) => mod._qv_deliver_frame(1 + (i % (frames - 1))));
    // Jumps of about a third of the movie, as Home and the Page keys make.
    let n = 0;
    const random = time(100, () => { n = (n + 97 + (n % 7) * 13) % frames; mod._qv_deliver_frame(n); });
    const heap = (performance.memory ? performance.memory.usedJSHeapSize : 0) + mod.HEAPU8.length;
    return { put, sequential, random, heap };
  }, pngs.length);
  row('bare putImageData of a whole frame', figures.put, null, 'ms', true);
  row('sequential presentation / putImageData', figures.sequential / figures.put, 1.5, 'x', figures.sequential <= 1.5 * figures.put);
  row('random access / putImageData', figures.random / figures.put, 3, 'x', figures.random <= 3 * figures.put);
  row('heap (JavaScript and module memory)', figures.heap / 1e6, (movieBytes + 100e6) / 1e6, 'MB', figures.heap <= movieBytes + 100e6);
  rows.push(['', `(${(figures.sequential).toFixed(2)} ms a sequential frame, ${figures.random.toFixed(2)} ms a jump; movie ${(movieBytes / 1e6).toFixed(1)} MB, gzip -6 ${(gzipBytes / 1e6).toFixed(2)} MB)`]);
  await p.close();
} finally {
  await browser.close();
}

let failed = 0;
for (const [what, figure, target, unit, ok] of rows) {
  if (figure === undefined || typeof figure === 'string') { console.log(what, figure); continue; }
  const t = target === null ? '' : `target <= ${target.toFixed(2)} ${unit}`;
  console.log(`${what.padEnd(42)} ${figure.toFixed(2).padStart(8)} ${unit.padEnd(3)} ${t.padEnd(22)} ${target === null ? '' : ok ? 'met' : 'MISSED'}`);
  if (!ok) failed++;
}
process.exitCode = failed ? 1 : 0;
