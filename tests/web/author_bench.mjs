// The author page's figures beside their targets, in headless Chromium: the
// shared recording's movie (300 frames, 60 MB of rows) opened until it can
// be edited (its first frame and the filmstrip in place) against 2 s, saved
// as a .QVM against 3 s, and the page's size against 600 KB; the recording
// encoded with x264 at CRF 23 imported at 30 pictures a second or more, its
// unique rows within 10 % of qvm build --video's for the same file.
// Usage: node author_bench.mjs QVM AUTHOR_TEMPLATE PLAYER_EXE FRAMES_DIR
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { Page, Qvm, launch, tempDir } from './lib.mjs';

const [qvmPath, authorTemplate, exePath, framesDir] = process.argv.slice(2);
const dir = tempDir('qv-author-bench');
const qvm = new Qvm(qvmPath, dir);
const movie = path.join(dir, 'screen.QVM');
const pngs = fs.readdirSync(framesDir).filter((f) => f.endsWith('.png')).sort().map((f) => path.join(framesDir, f));
qvm.run('build', '-o', movie, '--delay', '100', ...pngs);
const page = path.join(dir, 'author.html');
qvm.run('html', '--author', '-o', page, '--player', authorTemplate, '--exe', exePath);

const rows = [['author page size', fs.statSync(page).size / 1e3, 600, 'KB']];
const browser = await launch();
try {
  const opens = [], saves = [];
  for (let round = 0; round < 3; round++) {
    const p = await Page.open(browser, 'file://' + page, { width: 1400, height: 900 });
    await p.page.waitForFunction(() => document.getElementById('status').textContent === 'Ready.');
    const cdp = await p.page.createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'deny' });
    await (await p.page.$('#files')).uploadFile(movie);
    await p.page.waitForFunction(() => QvAuthor.timings.open !== null, { timeout: 30000 });
    opens.push(await p.evaluate(() => QvAuthor.timings.open));
    await p.page.click('.save[data-as="qvm"]');
    await p.page.waitForFunction(() => QvAuthor.timings.save !== null, { timeout: 30000 });
    saves.push(await p.evaluate(() => QvAuthor.timings.save));
    await p.page.close();
  }
  const median = (v) => v.slice().sort((a, b) => a - b)[v.length >> 1] / 1000;
  rows.push(['open to editable (median of 3)', median(opens), 2, 's']);
  rows.push(['save .QVM (median of 3)', median(saves), 3, 's']);

  const recording = path.join(dir, 'screen.mp4');
  execFileSync('ffmpeg', ['-nostdin', '-loglevel', 'error', '-framerate', '5.5', '-pattern_type', 'glob',
                          '-i', path.join(framesDir, '*.png'), '-c:v', 'libx264', '-crf', '23', '-pix_fmt', 'yuv420p', recording]);
  const built = qvm.run('build', '-o', path.join(dir, 'video.QVM'), '--video', recording);
  const qvmRows = Number(/(\d+) unique rows/.exec(built)[1]);
  const p = await Page.open(browser, 'file://' + page, { width: 1400, height: 900 });
  await p.page.waitForFunction(() => document.getElementById('status').textContent === 'Ready.');
  await (await p.page.$('#files')).uploadFile(recording);
  await p.page.waitForFunction(() => QvAuthor.timings.video !== null, { timeout: 120000 });
  const video = await p.evaluate(() => QvAuthor.timings.video);
  await p.page.close();
  rows.push(['import x264 CRF 23 (pictures/s)', video.pictures / (video.ms / 1000), 30, '/s', true]);
  rows.push([`unique rows against qvm's ${qvmRows}`, 100 * Math.abs(video.rows - qvmRows) / qvmRows, 10, '%']);
  rows.push(['', `(${video.pictures} pictures in ${(video.ms / 1000).toFixed(1)} s, ${video.rows} unique rows)`]);
} finally {
  await browser.close();
}
let failed = 0;
for (const [what, figure, target, unit, atLeast] of rows) {
  if (typeof figure === 'string') {
    console.log(figure);
    continue;
  }
  const ok = atLeast ? figure >= target : figure <= target;
  if (!ok) failed++;
  console.log(`${what.padEnd(34)} ${figure.toFixed(2).padStart(8)} ${unit.padEnd(3)} target ${atLeast ? '>=' : '<='} ${target} ${unit}  ${ok ? 'ok' : 'MISSED'}`);
}
process.exit(failed ? 1 : 0);
