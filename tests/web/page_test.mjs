// The page in headless Chromium: that it carries the player's behaviour. The
// rules themselves are the core's and are tested there; these cases prove the
// page's shell hands every event to them and shows what they decide.
//
// Usage: node page_test.mjs GROUP QVM PAGE_PLAYER [PLAYER_EXE]
//   GROUP: playback (frames, keys, clicks, banner, inactive look, looping,
//   fill mode 2) or start (splash, #go, the viewer, damaged movies)
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { Page, Picture, Qvm, check, checkEqual, launch, runCases, sleep, tempDir } from './lib.mjs';

const [group, qvmPath, pagePlayer, exePath] = process.argv.slice(2);
const dir = tempDir('qv-page-' + group);
const qvm = new Qvm(qvmPath, dir);
const W = 400, H = 150;
const AT = 40;  // the window's corner on a screen with room: 40, 40

// Distinct frames that share their top rows, so some rows are held over from
// one frame to the next and others change.
function frame(n) {
  return Picture.of(W, H, (x, y) => (y < 60 ? [x % 256, y * 3, 90] : [(x * 5 + n * 60) % 256, (y * 7 + n * 30) % 256, n * 50 % 256]));
}
const GREY = Picture.of(W, H, () => [128, 128, 128]);
const HEADER = ['WindowText "Page Test"', 'TitleBarHeight 24', 'CloseRightEdge 24',
                'InactiveUpperLeft 100 100', 'InactiveWidHeight 60 30',
                'SplashText', '040 Splash Title', '030 Second Line', 'EndSplashText'];

function writePage(name, movie) {
  qvm.run('html', ...(movie ? [movie] : ['--viewer']), '-o', path.join(dir, name + '.html'), '--player', pagePlayer);
  return 'file://' + path.join(dir, name + '.html');
}

async function expectPicture(p, expected, what, x = AT, y = AT) {
  const end = Date.now() + 3000;
  let diff;
  do {
    diff = (await p.picture(x, y, expected.width, expected.height)).differences(expected);
    if (!diff.length) return;
    await sleep(50);
  } while (Date.now() < end);
  check(false, `${what}: pixels differ at ${JSON.stringify(diff)}`);
}

// The state of the page's end: null while the movie plays.
function exitCode(p) { return p.evaluate(() => QvPage.exitCode); }

async function endText(p) {
  await p.page.waitForSelector('#end.on', { timeout: 5000 });
  return p.evaluate(() => [document.getElementById('end-caption').textContent,
                           document.getElementById('end-text').textContent]);
}

// The splash is up; a page that never shows it says how far it got.
async function waitSplash(p) {
  try {
    await p.page.waitForSelector('#splash', { visible: true, timeout: 15000 });
  } catch (e) {
    const state = await p.evaluate(() => JSON.stringify({ stages: QvPage.stages, exit: QvPage.exitCode,
      end: document.getElementById('end-text').textContent, started: !!QvPage.current() }));
    check(false, `no splash: ${state}; lines ${JSON.stringify(p.lines)}; errors ${p.errors}`);
  }
}

async function press(p, key, line, from) {
  await p.page.keyboard.press(key);
  return p.waitLine(line, from);
}

// ---------------------------------------------------------------- playback

async function playback(browser) {
  // Frames 1 and 3 wait for a click, so the test, not the clock, moves on.
  const movie = qvm.build('play', [[frame(0), 30], [frame(1), 'click 20,40,60,80'], [frame(2), 30],
                                   [frame(3), 'click 0,30,399,149']], HEADER, GREY);
  const url = writePage('play', movie);
  const p = await Page.open(browser, url + '#go');
  const cases = [];
  const frames = [0, 1, 2, 3].map((n) => qvm.frame(movie, n));

  cases.push(['the start-up lines are the exe\'s, and frame 1 waits, drawn as qvm frame draws it', async () => {
    await p.waitLine('Frame 1: 000001');
    const last = fs.readFileSync(movie).indexOf(0xff);
    // The inactive record comes before the first frame, so it is echoed as
    // part of the header.
    checkEqual(p.lines.slice(0, HEADER.length), HEADER, 'the header echo');
    checkEqual(p.lines.slice(HEADER.length + 2), ['Scale=1000  StackWid=400  MaxFrameHgt=150 ',
      `FirstFlowByte=0   LastFlowByte=${last} FirstStackByte=${last + 3}`,
      'Help=0   Notes=1 Frame 0: 000000', 'Frame 1: 000001'], 'the console lines');
    checkEqual(await p.evaluate(() => document.title), 'Page Test', 'the title');
    await expectPicture(p, frames[1], 'frame 1');
  }]);

  cases.push(['clicks: outside the region nothing, inside it the next frames', async () => {
    const from = p.lines.length;
    await p.page.mouse.click(AT + 100, AT + 120);  // below the region
    await p.page.mouse.click(AT + 61, AT + 50);    // just right of it
    await sleep(200);
    checkEqual(p.lines.slice(from), [], 'lines after clicks outside the region');
    await p.page.mouse.click(AT + 60, AT + 80);    // its bottom-right corner counts
    await p.waitLine('Frame 3: 000003', from);
    checkEqual(p.lines.slice(from), ['Frame 2: 000002', 'Frame 3: 000003'], 'after the click');
    await expectPicture(p, frames[3], 'frame 3');
  }]);

  // [key, the frame lines it writes]; the movie is paused from the first row on.
  const keys = [
    ['Space', ['Frame 3: 000003']],  // pauses, and the step stays at the last frame
    ['ArrowLeft', ['Frame 2: 000002']],
    ['ArrowLeft', ['Frame 1: 000001']],
    ['Home', ['Frame 0: 000000']],
    ['ArrowLeft', []],                // frame -1: nothing
    ['PageDown', ['Frame 3: 000003']],
    ['ArrowRight', ['Frame 4: NoFrame']],
    ['PageUp', ['Frame 0: 000000']],
    ['Enter', []],                    // paused: nothing
    ['ArrowRight', ['Frame 1: 000001']],
  ];
  cases.push(['keys while paused: ' + keys.map((k) => k[0]).join(' '), async () => {
    for (const [key, lines] of keys) {
      const from = p.lines.length;
      await p.page.keyboard.press(key);
      const got = await p.settledLines(from, 150);
      checkEqual(got, lines, key);
    }
    await expectPicture(p, frames[1], 'frame 1 after the keys');
  }]);

  cases.push(['F1 draws the banner with its text, right end 80 pixels from the picture\'s edge; F1 again takes it away', async () => {
    let from = p.lines.length;
    await press(p, 'F1', 'Frame 1: 000001', from);
    const shot = await p.picture(AT, AT, W, H);
    const red = (x, y) => shot.pixel(x, y).join() === '255,0,0';
    check(red(W - 81, 6) && !red(W - 79, 6), 'the banner ends 80 pixels left of the right edge');
    let white = 0;
    for (let x = 0; x < W - 80; x++) for (let y = 4; y < 20; y++) if (shot.pixel(x, y).join() === '255,255,255') white++;
    check(white > 20, 'the banner has white text');
    checkEqual(shot.differences(frames[1], 1e9).filter(([, y]) => y >= 20).length, 0, 'pixels below the banner');
    from = p.lines.length;
    await press(p, 'F1', 'Frame 1: 000001', from);
    await expectPicture(p, frames[1], 'frame 1 without its banner');
  }]);

  cases.push(['the page without the focus shows the inactive picture, live only in its rectangle', async () => {
    const from = p.lines.length;
    await p.page.emulateFocusedPage(false);
    await p.evaluate(() => window.dispatchEvent(new Event('blur')));
    await p.waitLine('Frame 1: 000001', from);
    await expectPicture(p, qvm.frame(movie, 1, true), 'the inactive look');
    await p.page.emulateFocusedPage(true);
    await p.evaluate(() => window.dispatchEvent(new Event('focus')));
    await expectPicture(p, frames[1], 'the active look again');
  }]);

  cases.push(['F2 reports the looping state in a notice that does not block', async () => {
    const notices = () => p.evaluate(() => [...document.querySelectorAll('.box')].map((b) => b.textContent));
    await p.page.keyboard.press('F2');
    await p.page.waitForFunction(() => document.querySelector('.box'), { timeout: 3000 });
    checkEqual(await notices(), ['QV_MoviePlayerLooping is ONOK'], 'the notice');
    const from = p.lines.length;
    await press(p, 'ArrowLeft', 'Frame 0: 000000', from);  // the page still answers
    await p.page.keyboard.press('F2');
    await p.page.waitForFunction(() => document.querySelectorAll('.box').length === 2, { timeout: 3000 });
    checkEqual((await notices())[1], 'QV_MoviePlayerLooping is OFFOK', 'the second notice');
  }]);

  cases.push(['the close area ends the movie; the end screen plays it again', async () => {
    await p.page.waitForFunction(() => !document.querySelector('.box'), { timeout: 5000 });
    await p.page.mouse.click(AT + W - 10, AT + 10);
    checkEqual(await endText(p), ['', 'The movie has ended.'], 'the end screen');
    checkEqual(await exitCode(p), 0, 'the exit code');
    const from = p.lines.length;
    await p.page.click('#again');
    await p.waitLine('Frame 1: 000001', from);
    await expectPicture(p, frames[1], 'frame 1 played again');
    await press(p, 'Escape', /./, p.lines.length).catch(() => {});
    checkEqual(await exitCode(p), 0, 'Esc ends it too');
  }]);

  cases.push(['looping: F2 while playing restarts at frame 0 and the movie wraps; F2 again ends it', async () => {
    const loop = writePage('loop', qvm.build('loop', [[frame(0), 40], [frame(1), 40], [frame(2), 'click 0,0,1,1']], HEADER));
    const q = await Page.open(browser, loop + '#go');
    await q.waitLine('Frame 2: 000002');
    let from = q.lines.length;
    await q.page.keyboard.press('F2');
    const first = await q.waitLine('Frame 0: 000000', from);
    const wrapped = await q.waitLine('Frame 0: 000000', (await q.waitLine('Frame 2: 000002', first)) + 1);
    check(wrapped > first, 'the movie wrapped to frame 0');
    // Looping off, the movie stops: at its last frame, which waits for its
    // click again, or past it when that frame's clock had already run.
    await q.page.keyboard.press('F2');
    await q.settledLines(q.lines.length, 500);
    const end = q.lines.length;
    await sleep(500);
    checkEqual(q.lines.length, end, 'lines once the movie has stopped');
    check(['Frame 2: 000002', 'Frame 3: NoFrame'].includes(q.lines[end - 1]), 'the last line: ' + q.lines[end - 1]);
    await q.close();
  }]);

  cases.push(['fill mode 2: the picture fills the screen, and a click counts from the picture', async () => {
    const fill = writePage('fill2', qvm.build('fill2', [[frame(0), 'click 20,40,60,80'], [frame(1), 'click 0,0,1,1']],
                                              ['WindowText "Filled"', 'ScreenFill=2']));
    const q = await Page.open(browser, fill + '#go', { width: 1000, height: 700 });
    await q.waitLine('Frame 0: 000000');
    checkEqual(q.lines[0].trim() + ' ' + q.lines[1], 'WindowText "Filled" ScreenFill=2', 'header echo');
    check(q.lines.includes('Scale=2500  StackWid=400  MaxFrameHgt=150 '), 'Scale 2500: ' + q.lines.join(' | '));
    // Scale 2.5: the picture is 1000 x 375 from y 162. Movie (15, 50) is
    // screen (37, 287), left of the region; (25, 50) is inside it.
    const from = q.lines.length;
    await q.page.mouse.click(37, 162 + 125);
    await sleep(200);
    checkEqual(q.lines.slice(from), [], 'a click left of the region');
    await q.page.mouse.click(63, 162 + 125);
    await q.waitLine('Frame 1: 000001', from);
    const shot = await q.picture(0, 0, 1000, 700);
    checkEqual(shot.pixel(500, 100), [0, 0, 0], 'black above the picture');
    check(shot.pixel(500, 400).join() !== '0,0,0', 'the picture fills the width');
    await q.close();
  }]);

  await runCases(cases);
  await p.close();
}

// ---------------------------------------------------------------- start

async function start(browser) {
  const movie = qvm.build('start', [[frame(0), 'click 0,30,399,149'], [frame(1), 'click 0,30,399,149']], HEADER);
  const url = writePage('start', movie);
  const cases = [];
  const splashAt = { x: (1024 - 560) >> 1, y: (768 - 500) >> 1 };

  // How the splash is let go: [what, the action, whether frame 0 follows].
  const dismissals = [
    ['a click', (p) => p.page.mouse.click(splashAt.x + 280, splashAt.y + 250), true],
    ['the Right arrow', (p) => p.page.keyboard.press('ArrowRight'), true],
    ['Enter, Space and Left do nothing', async (p) => {
      for (const k of ['Enter', 'Space', 'ArrowLeft']) await p.page.keyboard.press(k);
    }, false],
  ];
  for (const [what, act, plays] of dismissals) {
    cases.push([`the splash, then ${what}`, async () => {
      const p = await Page.open(browser, url);
      await waitSplash(p);
      const splash = await p.picture(splashAt.x, splashAt.y, 560, 500);
      checkEqual(splash.pixel(3, 3), [200, 255, 200], 'the splash background');
      let dark = 0;
      for (let x = 100; x < 460; x++) for (let y = 15; y < 50; y++) if (splash.pixel(x, y)[1] < 100) dark++;
      check(dark > 100, 'the splash title is drawn');
      check(!(await p.evaluate(() => document.getElementById('player').style.display !== 'none')),
            'the player window waits for the splash');
      await act(p);
      if (plays) {
        await p.waitLine('Frame 0: 000000');
        await expectPicture(p, qvm.frame(movie, 0), 'frame 0');
        check(await p.evaluate(() => document.getElementById('splash').style.display === 'none'), 'the splash is gone');
      } else {
        await sleep(300);
        check(!p.lines.some((l) => l.includes('Frame 0')), 'no frame yet');
      }
      await p.close();
    }]);
  }

  cases.push(['the focus changing while the player loads is no fault', async () => {
    // Focus and blur every few milliseconds from before the page's scripts run
    // until well after the player is up.
    const p = await Page.open(browser, url, { beforeLoad: () => {
      let n = 0;
      const t = setInterval(() => {
        window.dispatchEvent(new Event(n++ % 2 ? 'focus' : 'blur'));
        if (n > 400) clearInterval(t);
      }, 2);
    } });
    await waitSplash(p);
    await sleep(1000);
    checkEqual(await exitCode(p), null, 'the exit code');
    await p.close();
  }]);

  cases.push(['Esc on the splash ends the movie', async () => {
    const p = await Page.open(browser, url);
    await waitSplash(p);
    await p.page.keyboard.press('Escape');
    checkEqual(await endText(p), ['', 'The movie has ended.'], 'the end screen');
    await p.close();
  }]);

  cases.push(['#go: frame 0 at once, the splash left beneath it', async () => {
    const p = await Page.open(browser, url + '#go');
    await p.waitLine('Frame 0: 000000');
    await expectPicture(p, qvm.frame(movie, 0), 'frame 0');
    check(await p.evaluate(() => document.getElementById('splash').style.display !== 'none'), 'the splash stays');
    await p.close();
  }]);

  {
    cases.push(['the viewer plays a dropped player with its movie as the player finds it', async () => {
      check(exePath && fs.existsSync(exePath), `no player at ${exePath}: build the win32 preset first`);
      const bundle = path.join(dir, 'Handed Out.exe');
      qvm.run('bundle', exePath, movie, '-o', bundle);
      const p = await Page.open(browser, writePage('viewer', null) + '#go');
      await p.page.waitForSelector('#viewer.on');
      await drop(p, bundle);
      await p.waitLine('Frame 0: 000000');
      let marker = '';
      for (let c = 33; c <= 126; c++) marker += String.fromCharCode(c);
      const first = fs.readFileSync(bundle).indexOf(marker) + marker.length;
      check(p.lines.some((l) => l.startsWith(`FirstFlowByte=${first} `)),
            `the flow begins after the player's marker, at ${first}: ` + p.lines.join(' | '));
      await expectPicture(p, qvm.frame(movie, 0), 'frame 0 of the dropped player');
      checkEqual(await p.evaluate(() => document.title), 'Page Test', 'the title');
      await p.close();
    }]);
  }

  cases.push(['a course package: its manifest names the page, which reports completion at the last frame', async () => {
    const course = qvm.build('course', [[frame(0), 30], [frame(1), 30], [frame(2), 30]], HEADER);
    const zip = path.join(dir, 'course.zip');
    qvm.run('html', course, '--scorm', '-o', zip, '--player', pagePlayer);
    const unpacked = fs.mkdtempSync(path.join(dir, 'course-'));
    execFileSync('unzip', ['-q', zip, '-d', unpacked]);
    checkEqual(fs.readdirSync(unpacked).sort(), ['imsmanifest.xml', 'index.html'], 'the package');
    execFileSync('xmllint', ['--noout', path.join(unpacked, 'imsmanifest.xml')]);
    const manifest = fs.readFileSync(path.join(unpacked, 'imsmanifest.xml'), 'utf8');
    check(/<schemaversion>1\.2<\/schemaversion>/.test(manifest) && /adlcp:scormtype="sco" href="index.html"/.test(manifest) &&
          manifest.includes('<title>Page Test</title>'), 'the manifest: ' + manifest);
    // A learning system's API on the page's own window, keeping every call.
    const p = await Page.open(browser, 'file://' + path.join(unpacked, 'index.html') + '#go', { beforeLoad: () => {
      const calls = window.lmsCalls = [];
      const keep = (name, answer) => (...args) => { calls.push([name, ...args].join(' ')); return answer; };
      window.API = { LMSInitialize: keep('init', 'true'), LMSGetValue: keep('get', 'not attempted'),
                     LMSSetValue: keep('set', 'true'), LMSCommit: keep('commit', 'true'), LMSFinish: keep('finish', 'true') };
    } });
    await p.waitLine('Frame 2: 000002');
    await sleep(100);
    checkEqual(await p.evaluate(() => window.lmsCalls), ['init ', 'get cmi.core.lesson_status',
      'set cmi.core.lesson_status incomplete', 'set cmi.core.lesson_status completed', 'commit '], 'the calls to the API');
    await p.close();
  }]);

  // Damaged movies: [what, how the movie reaches the page, the end screen].
  const damaged = [
    ['a foreign file dropped as a movie file', async () => {
      const foreign = path.join(dir, 'Notes.QVM');
      fs.writeFileSync(foreign, 'Just some text\r\nwith no movie in it\r\n');
      const p = await Page.open(browser, writePage('viewer2', null));
      await p.page.waitForSelector('#viewer.on');
      await drop(p, foreign);
      return p;
    }, ['Exiting...', 'Bad .QVM file1'], null],
    ['a movie whose second frame has lost its row list', async () => {
      const data = fs.readFileSync(movie);
      const at = data.indexOf('~000001');
      const list = data.indexOf('$', at);
      data[list] = 'X'.charCodeAt(0);
      const broken = path.join(dir, 'Broken.QVM');
      fs.writeFileSync(broken, data);
      const p = await Page.open(browser, writePage('broken', broken) + '#go');
      await p.waitLine('Frame 0: 000000');
      await p.page.mouse.click(AT + 100, AT + 100);
      return p;
    }, ['The movie cannot be played', 'FormatError24'], 'FormatError24'],
  ];
  for (const [what, open, shown, lastLine] of damaged) {
    cases.push([`${what}: the player's message, and the movie stops`, async () => {
      const p = await open();
      checkEqual(await endText(p), shown, 'the end screen');
      checkEqual(await exitCode(p), 1, 'the exit code');
      if (lastLine) checkEqual(p.lines[p.lines.length - 1], lastLine, 'the last console line');
      await p.close();
    }]);
  }

  await runCases(cases);
}

// Drops a file onto the viewer as a file manager would.
async function drop(p, file) {
  const bytes = fs.readFileSync(file).toString('base64');
  await p.evaluate((name, b64) => {
    const bin = atob(b64), data = new Uint8Array(bin.length);
    for (let i = 0; i < bin.length; i++) data[i] = bin.charCodeAt(i);
    const t = new DataTransfer();
    t.items.add(new File([data], name));
    window.dispatchEvent(new DragEvent('drop', { dataTransfer: t, bubbles: true, cancelable: true }));
  }, path.basename(file), bytes);
}

const browser = await launch();
try {
  await ({ playback, start })[group](browser);
} finally {
  await browser.close();
}
