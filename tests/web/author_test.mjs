// The author page in headless Chromium: a movie opened, edited by pointer and
// keys as an author edits it, and saved in every form, each checked against
// what qvm makes of the same movie.
//
// Usage: node author_test.mjs QVM AUTHOR_TEMPLATE PLAYER_EXE SHARED_SCREEN_DIR
//   AUTHOR_TEMPLATE: the web build's qv_author.html, which qvm html --author fills
import { execFileSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { Page, Picture, Qvm, check, checkEqual, launch, readPng, runCases, sleep, tempDir, writePng } from './lib.mjs';

const [qvmPath, authorTemplate, exePath, screenDir] = process.argv.slice(2);
const dir = tempDir('qv-author');
const qvm = new Qvm(qvmPath, dir);
const authorPage = path.join(dir, 'author.html');
qvm.run('html', '--author', '-o', authorPage, '--player', authorTemplate, '--exe', exePath);

// The frames of a movie file: the timing line and a digest of the pixels of
// each frame, read from its row list and stack.
function movieFrames(file) {
  const bytes = fs.readFileSync(file);
  const end = bytes.indexOf(0xff);
  const width = bytes.readUInt16BE(end + 1), rowBytes = width * 3, stack = end + 3;
  const lines = bytes.subarray(0, end).toString('latin1').split('\r\n');
  const frames = [];
  lines.forEach((line, n) => {
    if (line[0] !== '~') return;
    const digest = crypto.createHash('sha1');
    const list = lines[n + 1];
    for (let i = 1; i < list.length; i += 4) {
      let r = 0;
      for (let k = 0; k < 4; k++) r = r * 80 + list.charCodeAt(i + k) - 43;
      digest.update(bytes.subarray(stack + r * rowBytes, stack + (r + 1) * rowBytes));
    }
    frames.push({ timing: lines[n + 2], pixels: digest.digest('hex') });
  });
  return { header: lines.slice(0, lines.findIndex((l) => l[0] === '~' || l === 'InactiveFrame')), frames };
}

async function openAuthor(browser) {
  const p = await Page.open(browser, 'file://' + authorPage, { width: 1400, height: 900 });
  await p.page.waitForFunction(() => document.getElementById('status').textContent === 'Ready.', { timeout: 15000 });
  p.downloads = fs.mkdtempSync(path.join(dir, 'saved-'));
  // Each download is kept under its own id, and its end is told.
  const cdp = await p.page.createCDPSession();
  p.saved = new Map();
  cdp.on('Browser.downloadProgress', (e) => { if (e.state === 'completed') p.saved.set(e.guid, path.join(p.downloads, e.guid)); });
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allowAndName', downloadPath: p.downloads, eventsEnabled: true });
  return p;
}

async function openFiles(p, ...files) {
  await (await p.page.$('#files')).uploadFile(...files);
}

// Saves in one form and hands back the downloaded file's path.
async function save(p, as) {
  const before = p.saved.size;
  await p.page.click(`.save[data-as="${as}"]`);
  const end = Date.now() + 20000;
  for (;;) {
    if (p.saved.size > before) return [...p.saved.values()][before];
    check(Date.now() < end, `nothing saved as ${as}: ${await p.evaluate(() => document.getElementById('status').textContent)}`);
    await sleep(50);
  }
}

async function stripClick(p, n, shift = false) {
  if (shift) await p.page.keyboard.down('Shift');
  await p.page.click(`#strip .item:nth-child(${n + 1})`);
  if (shift) await p.page.keyboard.up('Shift');
}

async function chord(p, key) {
  await p.page.keyboard.down('Control');
  await p.page.keyboard.press(key);
  await p.page.keyboard.up('Control');
}

async function typeInto(p, selector, value) {
  await p.page.click(selector, { clickCount: 3 });
  await chord(p, 'a');
  await p.page.keyboard.type(value);
  await p.page.keyboard.press('Tab');
}

// Drags on the stage from one movie pixel to another.
async function dragBox(p, [x1, y1], [x2, y2]) {
  const box = await p.evaluate(() => {
    const c = document.getElementById('frame'), b = c.getBoundingClientRect();
    return { left: b.left, top: b.top, k: b.width / c.width };
  });
  const at = (x, y) => [box.left + (x + 0.5) * box.k, box.top + (y + 0.5) * box.k];
  await p.page.mouse.move(...at(x1, y1));
  await p.page.mouse.down();
  await p.page.mouse.move(...at((x1 + x2) / 2, (y1 + y2) / 2));
  await p.page.mouse.move(...at(x2, y2));
  await p.page.mouse.up();
}

const browser = await launch();
const cases = [];
try {
  const shared = fs.readdirSync(screenDir).filter((f) => f.endsWith('.png')).sort().map((f) => path.join(screenDir, f));
  const original = path.join(dir, 'Tour.QVM');
  qvm.run('build', '-o', original, '--delay', '100', ...shared);
  const p = await openAuthor(browser);
  let edited;

  cases.push(['the shared recording opened, edited by pointer and keys, and saved as a movie', async () => {
    await openFiles(p, original);
    await p.page.waitForFunction(() => QvAuthor.state().doc, { timeout: 20000 });
    await stripClick(p, 5);
    await dragBox(p, [300, 200], [379, 259]);
    await stripClick(p, 7);
    await typeInto(p, '#delay', '750');
    await stripClick(p, 20);
    await stripClick(p, 29, true);
    await p.page.click('#cut');
    await typeInto(p, '#title', 'Edited Tour');
    await typeInto(p, '#splash', '040 Welcome aboard');
    checkEqual(await p.evaluate(() => QvAuthor.state().undo), 5, 'undo steps');
    edited = await save(p, 'qvm');
    const info = qvm.run('info', edited);
    check(/^Frames: 290$/m.test(info), 'qvm info: ' + info);
    const before = movieFrames(original), after = movieFrames(edited);
    checkEqual(after.header, ['SplashText', '040 Welcome aboard', 'EndSplashText', 'WindowText "Edited Tour"'], 'the header');
    const timings = after.frames.map((f) => f.timing);
    checkEqual(timings[5], '  ">" Timer 300,200,379,259 -- 0,0', 'frame 5 waits for a click in the dragged box');
    checkEqual(timings[7], '  ">" Timer 750 -- 0,0', 'frame 7');
    check(timings.every((t, n) => n === 5 || n === 7 || t === '  ">" Timer 100 -- 0,0'), 'the other frames keep 100 ms');
    after.frames.forEach((f, n) => checkEqual(f.pixels, before.frames[n < 20 ? n : n + 10].pixels, `frame ${n}`));
    // The player's own renderer agrees at the cut.
    check(qvm.frame(edited, 20).rgb.equals(qvm.frame(original, 30).rgb), 'qvm frame 20 is the original 30');
  }]);

  cases.push(['undo back to the start gives the movie qvm built, redo the edited one', async () => {
    for (let n = 0; n < 5; n++) await chord(p, 'z');
    check(fs.readFileSync(await save(p, 'qvm')).equals(fs.readFileSync(original)), 'all undone: the original bytes');
    for (let n = 0; n < 5; n++) await chord(p, 'y');
    check(fs.readFileSync(await save(p, 'qvm')).equals(fs.readFileSync(edited)), 'all redone: the edited bytes');
  }]);

  cases.push(['identical neighbours merge with their delays summed, and undo splits them again', async () => {
    const sum = () => p.evaluate(() => {
      const d = QvAuthor.state().doc;
      return [d.frames.length, d.frames.reduce((t, f) => t + (f.click ? 0 : f.delay), 0)];
    });
    const [count, total] = await sum();
    await p.page.click('#merge');
    const [merged, mergedTotal] = await sum();
    check(merged < count, `${count} frames, ${merged} after merging`);
    checkEqual(mergedTotal, total, 'the delays summed');
    await chord(p, 'z');
    checkEqual(await sum(), [count, total], 'after undo');
  }]);

  cases.push(['the page\'s player plays the movie as it stands from the chosen frame, and gives the page back', async () => {
    await stripClick(p, 5);
    const from = p.lines.length;
    await p.page.click('#play');
    await p.waitLine('Frame 0: 000000', from, 20000);
    await sleep(300);
    const box = await p.evaluate(() => {
      const r = document.getElementById('player').getBoundingClientRect();
      return [r.left, r.top];
    });
    const expected = qvm.frame(edited, 5);
    checkEqual((await p.picture(box[0], box[1], expected.width, expected.height)).differences(expected), [],
               'frame 5 waits on the screen');
    await p.page.keyboard.press('Escape');
    await p.page.waitForSelector('#end.on');
    await p.page.click('#back');
    check(await p.evaluate(() => !document.body.classList.contains('playing') && QvAuthor.state().at === 5), 'back to editing');
  }]);

  cases.push(['the hand-out, its zip, the page and the course', async () => {
    const exe = await save(p, 'exe');
    const bundled = path.join(dir, 'bundled.exe');
    qvm.run('bundle', exePath, edited, '-o', bundled);
    const [a, b] = [fs.readFileSync(exe), fs.readFileSync(bundled)];
    check(a.equals(b), `the .exe is what qvm bundle writes: ${a.length} and ${b.length} bytes, first apart at ${a.findIndex((x, i) => x !== b[i])}`);
    const zipped = fs.mkdtempSync(path.join(dir, 'zip-'));
    execFileSync('unzip', ['-q', await save(p, 'zip'), '-d', zipped]);
    checkEqual(fs.readdirSync(zipped), ['Tour.exe'], 'the zip');
    check((fs.statSync(path.join(zipped, 'Tour.exe')).mode & 0o777) === 0o755, 'the zipped player may be started');
    check(fs.readFileSync(path.join(zipped, 'Tour.exe')).equals(fs.readFileSync(bundled)), 'the zipped .exe');
    // Frame 0 made to wait, so the page holds it for the picture.
    await stripClick(p, 0);
    await p.page.click('#waits');
    const waiting = await save(p, 'qvm');
    checkEqual(movieFrames(waiting).frames[0].timing, '  ">" Timer 477,346,516,375 -- 0,0', 'frame 0 waits in a box at its middle');
    const page = await save(p, 'html');
    fs.renameSync(page, page + '.html');
    const q = await Page.open(browser, 'file://' + page + '.html#go', { width: 1600, height: 1200 });
    await q.waitLine('Frame 0: 000000');
    await sleep(300);
    const expected = qvm.frame(waiting, 0);
    checkEqual((await q.picture(40, 40, expected.width, expected.height)).differences(expected), [], 'the page\'s frame 0');
    checkEqual(await q.evaluate(() => document.title), 'Edited Tour', 'the page\'s title');
    await q.close();
    const course = fs.mkdtempSync(path.join(dir, 'course-'));
    execFileSync('unzip', ['-q', await save(p, 'scorm'), '-d', course]);
    execFileSync('xmllint', ['--noout', path.join(course, 'imsmanifest.xml')]);
    const manifest = fs.readFileSync(path.join(course, 'imsmanifest.xml'), 'utf8');
    check(manifest.includes('href="index.html"') && manifest.includes('<title>Edited Tour</title>'), 'the manifest: ' + manifest);
    check(fs.readFileSync(path.join(course, 'index.html'), 'utf8').includes('data-last-frame="289"'), 'the course page waits for frame 289');
  }]);

  cases.push(['PNG frames come in pixel for pixel: the movie is the one qvm build makes of them', async () => {
    const some = shared.slice(40, 46);
    const built = path.join(dir, 'pngs.QVM');
    qvm.run('build', '-o', built, '--delay', '250', ...some);
    await typeInto(p, '#png-delay', '250');
    await openFiles(p, ...some.slice().reverse());
    await p.page.waitForFunction(() => QvAuthor.state().doc && QvAuthor.state().doc.frames.length === 6, { timeout: 20000 });
    check(fs.readFileSync(await save(p, 'qvm')).equals(fs.readFileSync(built)), 'the same bytes as qvm build');
  }]);

  cases.push(['a recording the test encodes comes in within the tolerance of its decoded pictures', async () => {
    const frames = [0, 1, 2, 3, 4, 5].map((n) => Picture.of(320, 240, (x, y) =>
      (y < 80 ? [x % 256, y * 3, 90] : [(x * 3 + n * 40) % 256, (y * 2 + n * 30) % 256, (n * 45) % 256])));
    const pics = fs.mkdtempSync(path.join(dir, 'video-'));
    frames.forEach((f, n) => writePng(path.join(pics, `p${n}.png`), f));
    const recording = path.join(pics, 'take.mp4');
    execFileSync('ffmpeg', ['-nostdin', '-loglevel', 'error', '-framerate', '10', '-i', path.join(pics, 'p%d.png'),
                            '-c:v', 'libx264', '-crf', '23', '-pix_fmt', 'yuv420p', recording]);
    execFileSync('ffmpeg', ['-nostdin', '-loglevel', 'error', '-i', recording, '-pix_fmt', 'rgb24', path.join(pics, 'd%d.png')]);
    await openFiles(p, recording);
    await p.page.waitForFunction(() => QvAuthor.timings.video, { timeout: 30000 });
    const movie = await save(p, 'qvm');
    const saved = movieFrames(movie).frames;
    checkEqual(saved.map((f) => f.timing), Array(6).fill('  ">" Timer 100 -- 0,0'), 'six frames of 100 ms');
    let largest = 0;
    saved.forEach((_, n) => {
      const a = qvm.frame(movie, n), b = readPng(fs.readFileSync(path.join(pics, `d${n + 1}.png`)));
      for (let i = 0; i < a.rgb.length; i++) largest = Math.max(largest, Math.abs(a.rgb[i] - b.rgb[i]));
    });
    // The tolerance, and a few levels where the browser's decoder and its
    // conversion to RGB (Chromium's chroma upsampling) differ from FFmpeg's:
    // 3 here at most, on a recording with sharp colour edges.
    console.log(`      the largest difference from FFmpeg's decoded pictures: ${largest} levels`);
    check(largest <= 6 + 4, `a pixel ${largest} levels from FFmpeg's decoded picture`);
  }]);

  cases.push(['a damaged file gives the player\'s message', async () => {
    const foreign = path.join(dir, 'Notes.QVM');
    fs.writeFileSync(foreign, 'Just some text\r\nwith no movie in it\r\n');
    const q = await openAuthor(browser);
    await openFiles(q, foreign);
    await q.page.waitForSelector('#end.on', { timeout: 10000 });
    checkEqual(await q.evaluate(() => [document.getElementById('end-caption').textContent,
                                       document.getElementById('end-text').textContent]),
               ['Exiting...', 'Bad .QVM file1'], 'the end screen');
    await q.close();
  }]);

  await runCases(cases);
  await p.close();
} finally {
  await browser.close();
}
