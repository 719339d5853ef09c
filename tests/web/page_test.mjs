// The page in headless Chromium: that it carries the player's behaviour. The
// rules themselves are the core's and are tested there; these cases prove the
// page's shell hands every event to them and shows what they decide.
//
// Usage: node page_test.mjs GROUP QVM PAGE_PLAYER [PLAYER_EXE]
//   GROUP: playback (frames, keys, clicks, banner, inactive look, looping,
//   fill mode 2), start (splash, #go, the viewer, damaged movies) or controls
//   (the strip, seeking, touch, hints)
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { Page, Picture, Qvm, check, checkEqual, launch, runCases, serve, sleep, tempDir } from './lib.mjs';

const [group, qvmPath, pagePlayer, exePath] = process.argv.slice(2);
const dir = tempDir('qv-page-' + group);
const qvm = new Qvm(qvmPath, dir);
const W = 400, H = 150;

// Distinct frames that share their top rows, so some rows are held over from
// one frame to the next and others change.
function frame(n) {
  return Picture.of(W, H, (x, y) => (y < 60 ? [x % 256, y * 3, 90] : [(x * 5 + n * 60) % 256, (y * 7 + n * 30) % 256, n * 50 % 256]));
}
const GREY = Picture.of(W, H, () => [128, 128, 128]);
const HEADER = ['WindowText "Page Test"', 'TitleBarHeight 24', 'CloseRightEdge 24',
                'InactiveUpperLeft 100 100', 'InactiveWidHeight 60 30',
                'SplashText', '040 Splash Title', '030 Second Line', 'EndSplashText'];

function writePage(name, movie, pieces = 0) {
  const file = path.join(dir, name + '.html');
  qvm.run('html', ...(movie ? [movie] : ['--viewer']), '-o', file, '--player', pagePlayer);
  if (pieces) splitMovie(file, pieces);
  return 'file://' + file;
}

// The page's movie cut into pieces of uneven sizes, each its own gzip
// stream in its own element, as qvm html cuts a movie of many megabytes: the
// page inflates them side by side and must put every byte back in its place.
function splitMovie(file, count) {
  const page = fs.readFileSync(file, 'latin1');
  const m = page.match(/(<script id="qv-movie"[^>]*?)( data-pieces="[^"]*")?>[^]*?<\/script>(?=\s*<script id="qv-player")/);
  const texts = m[0].match(/>([A-Za-z0-9+/=]+)</g).map((t) => t.slice(1, -1));
  const bytes = Buffer.concat(texts.map((t) => zlib.gunzipSync(Buffer.from(t, 'base64'))));
  const cuts = [0];
  for (let k = 1; k < count; k++) cuts.push(Math.floor(bytes.length * (k * k) / (count * count)));
  cuts.push(bytes.length);
  const pieces = cuts.slice(1).map((end, k) => bytes.subarray(cuts[k], end));
  fs.writeFileSync(file, page.replace(m[0], () => `${m[1]} data-pieces="${pieces.map((b) => b.length).join(',')}">` +
    pieces.map((b) => zlib.gzipSync(b).toString('base64')).join('</script><script>QvLoad.take()</script>\n' +
      '<script type="application/octet-stream">') + '</script><script>QvLoad.take()</script>'), 'latin1');
}

// Where the page put an element, in CSS pixels (the tests' device pixels).
function boxOf(p, id) {
  return p.evaluate((id) => {
    const b = document.getElementById(id).getBoundingClientRect();
    return { x: b.left, y: b.top, width: b.width, height: b.height };
  }, id);
}

async function expectPicture(p, expected, what, x, y) {
  if (x === undefined) ({ x, y } = await boxOf(p, 'player'));
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
  // Its page holds the movie in pieces.
  const url = writePage('play', movie, 5);
  // The click region's hint would be in the pictures of frames kept waiting.
  const p = await Page.open(browser, url + '#go&hints=off');
  const cases = [];
  const frames = [0, 1, 2, 3].map((n) => qvm.frame(movie, n));

  let AT = { x: 0, y: 0 };
  cases.push(['the start-up lines are the exe\'s, and frame 1 waits, drawn as qvm frame draws it; the window is centred above the strip', async () => {
    await p.waitLine('Frame 1: 000001');
    AT = await boxOf(p, 'player');
    const strip = await boxOf(p, 'strip');
    checkEqual([AT.x, AT.y], [(1024 - W) / 2, Math.floor((768 - strip.height - H) / 2)], 'the window\'s place');
    const last = fs.readFileSync(movie).indexOf(0xff);
    // The inactive record comes before the first frame, so it is echoed as
    // part of the header.
    checkEqual(p.lines.slice(0, HEADER.length), HEADER, 'the header echo');
    // A repaint or an activation on the way (the page's first layout, its
    // focus) repeats the frame's line, as the exe's window does.
    const frameOf = (l) => (l.match(/Frame -?\d+: .*$/) || [l])[0];
    const lines = p.lines.slice(HEADER.length + 2).filter((l, i, a) => i === 0 || l !== frameOf(a[i - 1]));
    checkEqual(lines, ['Scale=1000  StackWid=400  MaxFrameHgt=150 ',
      `FirstFlowByte=0   LastFlowByte=${last} FirstStackByte=${last + 3}`,
      'Help=0   Notes=1 Frame 0: 000000', 'Frame 1: 000001'], 'the console lines');
    checkEqual(await p.evaluate(() => document.title), 'Page Test', 'the title');
    await expectPicture(p, frames[1], 'frame 1');
  }]);

  cases.push(['clicks: outside the region nothing, inside it the next frames', async () => {
    const from = p.lines.length;
    await p.page.mouse.click(AT.x + 100, AT.y + 120);  // below the region
    await p.page.mouse.click(AT.x + 61, AT.y + 50);    // just right of it
    await sleep(200);
    checkEqual(p.lines.slice(from), [], 'lines after clicks outside the region');
    await p.page.mouse.click(AT.x + 60, AT.y + 80);    // its bottom-right corner counts
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
    const shot = await p.picture(AT.x, AT.y, W, H);
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
    await p.page.mouse.click(AT.x + W - 10, AT.y + 10);
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
    // Scale 2.5: the picture is 1000 x 375, centred above the strip. Movie
    // (15, 50) is screen (37, top + 125), left of the region; (25, 50) is inside it.
    const top = Math.floor((700 - (await boxOf(q, 'strip')).height - 375) / 2);
    const from = q.lines.length;
    await q.page.mouse.click(37, top + 125);
    await sleep(200);
    // The click may make the page active, which repeats the frame's line.
    checkEqual(q.lines.slice(from).filter((l) => l !== 'Frame 0: 000000'), [], 'a click left of the region');
    await q.page.mouse.click(63, top + 125);
    await q.waitLine('Frame 1: 000001', from);
    const shot = await q.picture(0, 0, 1000, 700);
    checkEqual(shot.pixel(500, top - 10), [0, 0, 0], 'black above the picture');
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

  // How the splash is let go: [what, the action, whether frame 0 follows].
  const dismissals = [
    ['a click', async (p) => {
      const at = await boxOf(p, 'splash');
      await p.page.mouse.click(at.x + 280, at.y + 250);
    }, true],
    ['the Right arrow', (p) => p.page.keyboard.press('ArrowRight'), true],
    ['Enter, Space and Left do nothing', async (p) => {
      for (const k of ['Enter', 'Space', 'ArrowLeft']) await p.page.keyboard.press(k);
    }, false],
  ];
  for (const [what, act, plays] of dismissals) {
    cases.push([`the splash, then ${what}`, async () => {
      const p = await Page.open(browser, url);
      await waitSplash(p);
      const splashAt = await boxOf(p, 'splash');
      checkEqual([splashAt.width, splashAt.height], [560, 500], 'the splash at its own size');
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

  cases.push(['#go: the poster before the player is ready, then frame 0 and the movie alone', async () => {
    const p = await Page.open(browser, url + '#go&hints=off', { beforeLoad: () => {
      document.addEventListener('DOMContentLoaded', () => {
        const poster = document.getElementById('qv-poster');
        window.posterAtLoad = { poster: !!poster && poster.getBoundingClientRect().width > 0, player: !!window.QvPage };
      });
    } });
    await p.waitLine('Frame 0: 000000');
    checkEqual(await p.evaluate(() => window.posterAtLoad), { poster: true, player: false }, 'the page as it is read');
    checkEqual(await p.evaluate(() => !!document.getElementById('qv-poster')), false, 'the poster once the movie shows');
    await expectPicture(p, qvm.frame(movie, 0), 'frame 0');
    check(await p.evaluate(() => document.getElementById('splash').style.display === 'none'), 'the splash is gone');
    await p.close();
  }]);

  {
    cases.push(['the viewer plays a dropped player with its movie as the player finds it', async () => {
      check(exePath && fs.existsSync(exePath), `no player at ${exePath}: build the win32 preset first`);
      const bundle = path.join(dir, 'Handed Out.exe');
      qvm.run('bundle', exePath, movie, '-o', bundle);
      const p = await Page.open(browser, writePage('viewer', null) + '#go&hints=off');
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

  cases.push(['#src=: a movie beside the viewer plays; an address that fails says why', async () => {
    const site = await serve(dir);
    try {
      fs.mkdirSync(path.join(dir, 'movies'), { recursive: true });
      fs.copyFileSync(movie, path.join(dir, 'movies', 'Beside.QVM'));
      writePage('site-viewer', null);
      const p = await Page.open(browser, site.url + 'site-viewer.html#src=movies/Beside.QVM&go');
      await p.waitLine('Frame 0: 000000');
      await expectPicture(p, qvm.frame(movie, 0), 'frame 0 of the fetched movie');
      checkEqual(await p.evaluate(() => document.getElementById('progress').hidden), true, 'the progress once loaded');
      await p.close();
      const q = await Page.open(browser, site.url + 'site-viewer.html#src=movies/Missing.QVM');
      checkEqual(await endText(q), ['The movie cannot be loaded', `The movie at ${site.url}movies/Missing.QVM cannot be loaded: the server answered 404 Not Found.`], 'the end screen');
      await q.close();
    } finally {
      site.close();
    }
  }]);

  cases.push(['embedded: the page tells its parent and takes its commands; keys only while it has the focus', async () => {
    const site = await serve(dir);
    try {
      writePage('embedded', movie);
      fs.writeFileSync(path.join(dir, 'parent.html'), '<!DOCTYPE html><title>Parent</title><input id="other">' +
        '<iframe id="movie" src="embedded.html#go&controls=on" width="600" height="400"></iframe>' +
        '<script>window.got = []; addEventListener("message", (e) => got.push(e.data));</script>');
      const p = await Page.open(browser, site.url + 'parent.html');
      const heard = (test, what, arg) => p.page.waitForFunction(test, { timeout: 10000 }, arg).catch(async () => {
        check(false, `${what}: the parent heard ${JSON.stringify(await p.evaluate(() => got))}`);
      });
      await heard(() => got.some((m) => m.type === 'qv-ready'), 'ready');
      const ready = await p.evaluate(() => got.find((m) => m.type === 'qv-ready'));
      checkEqual(ready, { type: 'qv-ready', frames: 2, width: W, height: H, title: 'Page Test' }, 'the ready message');
      const height = await p.evaluate(() => got.find((m) => m.type === 'qv-height'));
      check(height && height.height > H && height.height < H + 100, 'the height it wants: ' + JSON.stringify(height));
      await heard(() => got.some((m) => m.type === 'qv-state' && m.state === 'waiting' && m.frame === 0), 'waiting at frame 0');
      // [command, the state the parent hears]
      const commands = [[{ type: 'qv-pause' }, { state: 'paused', frame: 1 }],
                        [{ type: 'qv-frame', frame: 0 }, { state: 'paused', frame: 0 }],
                        [{ type: 'qv-play' }, { state: 'waiting', frame: 1 }]];
      for (const [command, state] of commands) {
        await p.evaluate((c) => { got.length = 0; document.getElementById('movie').contentWindow.postMessage(c, '*'); }, command);
        await heard((s) => got.some((m) => m.type === 'qv-state' && m.state === s.state && m.frame === s.frame), JSON.stringify(command), state);
      }
      const frame = p.page.frames().find((f) => f.url().includes('embedded.html'));
      await p.evaluate(() => document.getElementById('movie').contentWindow.postMessage({ type: 'qv-loop', on: true }, '*'));
      await frame.waitForFunction(() => document.getElementById('loop').getAttribute('aria-pressed') === 'true', { timeout: 3000 });
      // Space would pause it: with the parent's field focused, it is the parent's.
      await p.page.focus('#other');
      await p.evaluate(() => { got.length = 0; });
      await p.page.keyboard.press('Space');
      await sleep(300);
      checkEqual(await p.evaluate(() => got.filter((m) => m.state === 'paused').length), 0, 'states after Space outside the frame');
      await frame.focus('#track');
      await p.page.keyboard.press('Space');
      await heard(() => got.some((m) => m.state === 'paused'), 'paused by Space in the frame');
      await p.close();
    } finally {
      site.close();
    }
  }]);

  cases.push(['a frame of no size (0 x 0, 1 x 1, hidden) waits, and plays once it has a size', async () => {
    const fill2 = writePage('nosize', qvm.build('nosize', [[frame(0), 'click 0,30,399,149']], ['ScreenFill=2']));
    for (const style of ['width:0;height:0', 'width:1px;height:1px', 'display:none']) {
      fs.writeFileSync(path.join(dir, 'nosize-parent.html'), `<!DOCTYPE html><title>Parent</title>` +
        `<iframe id="movie" style="${style};border:0" src="${path.basename(fill2.slice(7))}#go"></iframe>`);
      const p = await Page.open(browser, 'file://' + path.join(dir, 'nosize-parent.html'));
      await sleep(1500);
      await p.evaluate(() => { document.getElementById('movie').style.cssText = 'display:block;width:600px;height:400px'; });
      await p.waitLine('Frame 0: 000000');
      check(p.lines.some((l) => /^Scale=1500 /.test(l)), `${style}: laid out for 600 x 356: ` + p.lines.join(' | '));
      await p.close();
    }
  }]);

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
      const rec = data.indexOf('~000001');
      const list = data.indexOf('$', rec);
      data[list] = 'X'.charCodeAt(0);
      const broken = path.join(dir, 'Broken.QVM');
      fs.writeFileSync(broken, data);
      const p = await Page.open(browser, writePage('broken', broken) + '#go');
      await p.waitLine('Frame 0: 000000');
      const at = await boxOf(p, 'player');
      await p.page.mouse.click(at.x + 100, at.y + 100);
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

// ---------------------------------------------------------------- controls

// The strip's state as a viewer (or a screen reader) finds it.
function stripState(p) {
  return p.evaluate(() => {
    const t = document.getElementById('track');
    return { frame: Number(t.getAttribute('aria-valuenow')), text: t.getAttribute('aria-valuetext'),
             play: document.getElementById('play').getAttribute('aria-label'),
             live: document.getElementById('live').textContent,
             faded: document.getElementById('strip').classList.contains('faded') };
  });
}

async function waitState(p, test, what) {
  const end = Date.now() + 5000;
  let st;
  while (Date.now() < end) {
    st = await stripState(p);
    if (test(st)) return st;
    await sleep(30);
  }
  check(false, `${what}: the strip shows ${JSON.stringify(st)}`);
}

async function controls(browser) {
  // 30 frames; 5 and 20 wait for a click in (20, 40)-(60, 80).
  const STOPS = [5, 20];
  const movie = qvm.build('strip', Array.from({ length: 30 }, (_, n) =>
    [frame(n), STOPS.includes(n) ? 'click 20,40,60,80' : 40]), HEADER);
  const url = writePage('strip', movie);
  const cases = [];

  const p = await Page.open(browser, url + '#go&controls=on');
  cases.push(['the ticks mark the frames that wait; a click on the strip seeks to that exact frame', async () => {
    await p.waitLine('Frame 5: 000005');
    await p.page.click('#play');  // pause
    await waitState(p, (s) => s.play === 'Play', 'paused');
    const ticks = await p.evaluate(() => [...document.querySelectorAll('#ticks i')].map((t) => Number(t.dataset.frame)));
    checkEqual(ticks, STOPS, 'the ticks');
    const track = await boxOf(p, 'track');
    for (const n of STOPS) {
      const tick = await p.evaluate((n) => document.querySelector(`#ticks i[data-frame="${n}"]`).getBoundingClientRect().left + 1, n);
      check(Math.abs(tick - (track.x + track.width * n / 29)) < 2, `the tick of frame ${n} at ${tick}`);
    }
    for (const n of [17, 0, 29, 3]) {
      const from = p.lines.length;
      await p.page.mouse.click(track.x + Math.min(track.width * n / 29, track.width - 1), track.y + track.height / 2);
      await p.waitLine(`Frame ${n}: ${String(n).padStart(6, '0')}`, from);
      await waitState(p, (s) => s.frame === n && s.text === `frame ${n} of 29`, `after seeking to ${n}`);
      await expectPicture(p, qvm.frame(movie, n), `frame ${n}`);
    }
  }]);

  cases.push(['dragging shows the frame under the pointer; the slider takes keys', async () => {
    const track = await boxOf(p, 'track');
    await p.page.mouse.move(track.x + 2, track.y + 18);
    await p.page.mouse.down();
    await p.page.mouse.move(track.x + track.width * 10 / 29, track.y + 18, { steps: 4 });
    checkEqual(await p.evaluate(() => document.getElementById('bubble').textContent), 'frame 10 / 29', 'the bubble');
    await p.page.mouse.up();
    await waitState(p, (s) => s.frame === 10, 'after the drag');
    // [key, the frame it goes to] with the slider focused.
    for (const [key, n] of [['ArrowRight', 11], ['ArrowLeft', 10], ['PageDown', 29], ['Home', 0], ['End', 29], ['PageUp', 0]]) {
      await p.page.keyboard.press(key);
      await waitState(p, (s) => s.frame === n, `${key}`);
    }
  }]);

  cases.push(['the buttons: step back and forward while paused, forward past a click stop while playing, back to frame 0', async () => {
    // [button, the frame line it writes]
    await p.evaluate(() => document.activeElement.blur());
    for (const [id, line] of [['to-start', 'Frame 0: 000000'], ['step-forward', 'Frame 1: 000001'],
                              ['step-back', 'Frame 0: 000000']]) {
      const from = p.lines.length;
      await p.page.click('#' + id);
      await p.waitLine(line, from);
    }
    await p.page.keyboard.press('Home');
    await p.page.click('#play');  // plays on, to the click stop at 5
    await p.waitLine('Frame 5: 000005');
    await waitState(p, (s) => s.live === 'The movie waits for your click', 'the announcement');
    const from = p.lines.length;
    await p.page.click('#step-forward');
    await p.waitLine('Frame 6: 000006', from);
  }]);

  cases.push(['the hint outlines the click region after 5 s of waiting; #hints=off shows none', async () => {
    for (const [hints, shown] of [['', true], ['&hints=off', false]]) {
      const q = await Page.open(browser, url + '#go&frame=20' + hints);
      await q.waitLine('Frame 20: 000020');
      await waitState(q, (s) => s.live === 'The movie waits for your click', 'the announcement');
      checkEqual(await q.evaluate(() => document.getElementById('hint').hidden), true, 'no hint at once');
      await sleep(5300);
      checkEqual(await q.evaluate(() => !document.getElementById('hint').hidden), shown, `the hint ${hints}`);
      if (shown) {
        const hint = await boxOf(q, 'hint'), pic = await boxOf(q, 'player');
        checkEqual([hint.x - pic.x, hint.y - pic.y, hint.width, hint.height], [20, 40, 41, 41], 'the hint\'s place');
      }
      await q.close();
    }
  }]);

  cases.push(['touch: a tap shows the strip and never pauses; a tap in the region is the click; a double tap steps while paused', async () => {
    const q = await Page.open(browser, url + '#go', { width: 390, height: 844, touch: true });
    await q.waitLine('Frame 5: 000005');
    await waitState(q, (s) => s.faded, 'the strip fades');
    const pic = await boxOf(q, 'player'), k = pic.width / W;
    let from = q.lines.length;
    await q.page.touchscreen.tap(pic.x + 200 * k, pic.y + 120 * k);
    const st = await waitState(q, (s) => !s.faded, 'the strip after a tap');
    checkEqual(st.play, 'Pause', 'still playing');
    await sleep(400);
    checkEqual(q.lines.slice(from), [], 'lines after a tap outside the region');
    await q.page.touchscreen.tap(pic.x + 40 * k, pic.y + 60 * k);
    await q.waitLine('Frame 6: 000006', from);
    await q.page.tap('#play');
    await waitState(q, (s) => s.play === 'Play', 'paused');
    await sleep(400);
    await q.page.tap('#to-start');
    await q.waitLine('Frame 0: 000000', from);
    for (const [x, line] of [[W - 20, 'Frame 1: 000001'], [20, 'Frame 0: 000000']]) {
      from = q.lines.length;
      await q.page.touchscreen.tap(pic.x + x * k, pic.y + 100 * k);
      await q.page.touchscreen.tap(pic.x + x * k, pic.y + 100 * k);
      await q.waitLine(line, from);
      await sleep(400);
    }
    await q.close();
  }]);

  cases.push(['a click in the title strip\'s drag area does not pass a frame that waits anywhere', async () => {
    const strip = writePage('drag', qvm.build('drag', [[Picture.of(300, 150, () => [9, 9, 9]), 'click 0,0,299,149'],
      [Picture.of(300, 150, () => [9, 9, 9]), 40]], ['TitleBarHeight 24', 'CloseRightEdge 24']));
    const q = await Page.open(browser, strip + '#go');
    await q.waitLine('Frame 0: 000000');
    const pic = await boxOf(q, 'player');
    const from = q.lines.length;
    await q.page.mouse.click(pic.x + 150, pic.y + 10);
    await sleep(300);
    checkEqual(q.lines.slice(from), [], 'lines after a click in the drag area');
    await q.page.mouse.click(pic.x + 150, pic.y + 60);
    await q.waitLine('Frame 1: 000001', from);
    await q.close();
  }]);

  cases.push(['axe finds no serious or critical violations: playing, waiting, paused with the key help open', async () => {
    const axe = path.join(path.dirname(new URL(import.meta.url).pathname), 'node_modules/axe-core/axe.min.js');
    const q = await Page.open(browser, url + '#go');
    await q.page.addScriptTag({ path: axe });
    const steps = [['playing', async () => {}], ['waiting', () => q.waitLine('Frame 5: 000005')],
                   ['paused, help open', async () => { await q.page.click('#play'); await q.page.keyboard.press('?'); }]];
    for (const [i, [what, step]] of steps.entries()) {
      await step();
      // The strip in full view: a strip fading out has no contrast to check.
      await q.page.mouse.move(5 + i, 5);
      await sleep(500);
      const found = await q.evaluate(async () => (await axe.run(document)).violations
        .filter((v) => v.impact === 'serious' || v.impact === 'critical').map((v) => v.id + ': ' + v.nodes.map((n) => n.target).join(' ')));
      checkEqual(found, [], `violations while ${what}`);
    }
    checkEqual(await q.evaluate(() => ['play', 'loop', 'help-button'].map((id) => {
      const b = document.getElementById(id);
      return b.getAttribute('aria-label') + ' ' + (b.getAttribute('aria-pressed') || b.getAttribute('aria-expanded'));
    })), ['Play null', 'Looping false', 'Keys true'], 'the labels follow the state');
    await q.close();
  }]);

  // [what, before the page's scripts, what the button leaves]
  const fullscreens = [
    ['the Fullscreen API', null, () => !!document.fullscreenElement],
    ['a full window where the API is missing', () => {
      delete Element.prototype.requestFullscreen;
      Object.defineProperty(Document.prototype, 'fullscreenEnabled', { get: () => false });
    }, () => document.documentElement.classList.contains('full-window')],
  ];
  for (const [what, beforeLoad, on] of fullscreens) {
    cases.push([`fullscreen: ${what}, and back`, async () => {
      const q = await Page.open(browser, url + '#go', { beforeLoad });
      await q.waitLine('Frame 0: 000000');
      for (const [label, expected] of [['Leave full screen', true], ['Full screen', false]]) {
        await q.page.click('#full');
        await q.page.waitForFunction((l) => document.getElementById('full').getAttribute('aria-label') === l, { timeout: 3000 }, label);
        checkEqual(await q.evaluate(on), expected, `${what}: ${label}`);
      }
      await q.close();
    }]);
  }

  // [viewport, touch, fill mode]: the strip below the picture, never over it.
  const layouts = [];
  for (const [w, h, touch] of [[1280, 800, false], [800, 600, false], [390, 844, true]]) {
    for (const fill of [0, 1, 2]) layouts.push([w, h, touch, fill]);
  }
  const fills = {};
  cases.push([`the strip never covers the picture: fill modes 0, 1, 2 at ${layouts.filter((l) => !l[3]).map((l) => l[0] + 'x' + l[1]).join(', ')}`, async () => {
    for (const [w, h, touch, fill] of layouts) {
      fills[fill] = fills[fill] || writePage('fill' + fill, qvm.build('fill' + fill,
        [[Picture.of(800, 600, (x, y) => [x % 256, y % 256, 99]), 'click 0,0,9,9']], [`ScreenFill=${fill}`, 'SplashText', '040 Wide', 'EndSplashText']));
      const q = await Page.open(browser, fills[fill] + (fill === 0 ? '' : '#go'), { width: w, height: h, touch });
      const what = `${w}x${h} fill ${fill}`;
      if (fill === 0) {
        await waitSplash(q);
        const splash = await boxOf(q, 'splash'), strip = await boxOf(q, 'strip');
        check(splash.x >= 0 && splash.x + splash.width <= w + 0.5 && splash.y + splash.height <= strip.y + 0.5,
              `${what}: the splash fits the page: ${JSON.stringify(splash)}`);
        await q.page.mouse.click(splash.x + 10, splash.y + 10);
      }
      await q.waitLine('Frame 0: 000000');
      const pic = await boxOf(q, 'player'), strip = await boxOf(q, 'strip');
      // The page clips the window to its area: fill mode 1's is a pixel larger.
      const area = await boxOf(q, 'screen');
      check(area.y + area.height <= strip.y + 0.5 && pic.x >= 0 && Math.min(pic.x + pic.width, area.width) <= w + 0.5 &&
            Math.min(pic.y + pic.height, area.y + area.height) <= strip.y + 0.5,
            `${what}: the picture ${JSON.stringify(pic)} and the strip ${JSON.stringify(strip)}`);
      check(strip.y + strip.height <= h + 0.5 && strip.width === w, `${what}: the strip on the page: ${JSON.stringify(strip)}`);
      const small = await q.evaluate(() => [...document.querySelectorAll('#strip button, #track')]
        .map((b) => b.getBoundingClientRect()).filter((b) => b.width < 24 || b.height < 24).length);
      checkEqual(small, 0, `${what}: controls smaller than 24 x 24`);
      await q.close();
    }
    const q = await Page.open(browser, fills[2] + '#go&controls=off', { width: 800, height: 600 });
    await q.waitLine('Frame 0: 000000');
    checkEqual([await q.evaluate(() => !!document.getElementById('strip')), (await boxOf(q, 'player')).height],
               [false, 600], '#controls=off: no strip, the whole page');
    await q.close();
  }]);

  await runCases(cases);
  await p.close();
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
  await ({ playback, start, controls })[group](browser);
} finally {
  await browser.close();
}
