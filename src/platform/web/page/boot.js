// The page runtime, part one: booting and running the player module. It
// feeds the movie's files to the module (viewer.js), turns the page's events
// into the player's entry points and carries out the calls the platform makes
// of the page (beside their C++, in the EM_JS of src/platform/web/). It
// decides nothing about the movie. Sizes from the player are device pixels;
// the page lays them out in CSS pixels.
var QvPage = (function () {
  'use strict';

  var NOTICE_MS = 2500;
  var $ = function (id) { return document.getElementById(id); };

  var page = {
    exitCode: null,
    firstPictureMs: null,
    stages: null,
    run: null,          // the movie playing now
    embedded: window.parent !== window,
    options: readOptions(location.hash),
    $: $
  };
  var focused = document.hasFocus();

  // The address's options: "#go&controls=on&frame=12&loop", "#src=movie.QVM".
  function readOptions(hash) {
    var o = { go: false, controls: 'auto', hints: true, frame: null, loop: false, src: null };
    hash.replace(/^#/, '').split('&').forEach(function (part) {
      var eq = part.indexOf('='), key = eq < 0 ? part : part.slice(0, eq);
      var value = eq < 0 ? '' : decodeURIComponent(part.slice(eq + 1));
      if (key === 'go') o.go = true;
      else if (key === 'loop') o.loop = true;
      else if (key === 'controls' && /^(auto|on|off)$/.test(value)) o.controls = value;
      else if (key === 'hints') o.hints = value !== 'off';
      else if (key === 'frame' && /^\d+$/.test(value)) o.frame = Number(value);
      else if (key === 'src' && value) o.src = value;
    });
    return o;
  }

  page.dpr = function () { return window.devicePixelRatio || 1; };
  page.css = function (px) { return px / page.dpr() + 'px'; };

  // --- calls into the player --------------------------------------------------

  // Every call of the player goes through here: a movie that has ended gets
  // none, and an end or a fault inside the call never escapes to the page.
  // Events that come while the module is still loading find no player yet and
  // are dropped, as a window's messages are before the window exists. The
  // controls follow whatever the call changed.
  page.call = function (name) {
    var r = page.run;
    if (!r || r.ended || !r.mod) return 0;
    var args = Array.prototype.slice.call(arguments, 1), result = 0;
    try {
      result = r.mod['_' + name].apply(null, args.map(function (a) {
        return typeof a === 'string' ? text(r, a) : a;
      }));
    } catch (e) {
      if (e !== 'unwind') fault(r, e);
    } finally {
      freeTexts(r);
    }
    if (page.controls) page.controls.changed();
    return result;
  };

  function text(r, s) {
    var p = r.mod.allocateUTF8(s);
    (r.texts = r.texts || []).push(p);
    return p;
  }
  function freeTexts(r) {
    if (r.texts && r.mod) r.texts.forEach(function (p) { r.mod._free(p); });
    r.texts = null;
  }

  function fault(r, e) {
    console.error('The player stopped: ' + e);
    r.failure = { caption: 'The player stopped', text: String(e) };
    end(r, 1);
  }

  // A posted message: delivered on a later turn, in order, with no delay.
  var channel = new MessageChannel(), queue = [];
  channel.port1.onmessage = function () { var fn = queue.shift(); if (fn) fn(); };
  function soon(fn) { queue.push(fn); channel.port2.postMessage(0); }

  // Calls of the player on a later turn, for the run that asked for them.
  page.later = function (name, arg) { page.after(0, name, arg); };
  page.after = function (ms, name, arg) {
    var r = page.run;
    var fn = function () { if (page.run === r) page.call(name, arg); };
    if (ms <= 0) soon(fn); else setTimeout(fn, ms);
  };

  // The screen the player lays out on: the page less the control strip.
  page.area = function () {
    var strip = page.controls ? page.controls.height() : 0;
    return { width: window.innerWidth, height: Math.max(window.innerHeight - strip, 0) };
  };
  page.screen = function () {
    var a = page.area();
    return { width: Math.round(a.width * page.dpr()), height: Math.round(a.height * page.dpr()) };
  };
  page.realSize = function () { var s = page.screen(); return s.width > 0 && s.height > 0; };
  page.focused = function () { return focused; };

  // --- starting and ending ---------------------------------------------------------

  page.start = async function () {
    $('end').className = 'panel';
    $('viewer').className = 'panel';
    $('screen').textContent = '';
    var r = page.run = { ended: false, lastLine: '' };
    var t0 = performance.now();
    var mod = await createQvPlayer({
      qvPage: page,
      print: function (line) {
        r.lastLine = line;
        console.log(line);
        if (page.onLine) page.onLine(line);  // each console line, for a course's report
      },
      printErr: function (line) { console.warn(line); }
    });
    r.mod = mod;
    var t1 = performance.now();
    mod.FS.mkdir('/movie');
    mod.FS.mkdir('/page');
    mod.FS.writeFile('/page/QV_MoviePlayer.html', new Uint8Array(0));
    await page.viewer.putFiles(r);
    // "#loop": the player's own rule, a notes file beside the movie.
    if (page.options.loop) mod.FS.writeFile('/movie/noNotes.txt', new Uint8Array(0));
    mod.FS.chdir('/movie');
    var t2 = performance.now();
    // A page of no size (a collapsed frame) lays nothing out until it has one.
    while (!page.realSize()) await new Promise(function (go) { window.addEventListener('resize', go, { once: true }); });
    if (page.run !== r) return;
    page.call('qv_start');
    // Where the time to the first picture goes, in ms (for the benchmarks).
    page.stages = { boot: t0, module: t1 - t0, movie: t2 - t1, startUp: performance.now() - t2 };
    if (page.controls) page.controls.started();
    // "#go" starts at once, as an argument starts the player.
    if (page.options.go) page.call('qv_begin');
  };

  // The player ended the process: the movie stops and the page says why.
  function end(r, code) {
    if (r.ended) return;
    r.ended = true;
    r.exitCode = code;
    $('screen').textContent = '';
    document.body.style.cursor = 'default';
    var caption = '', text = 'The movie has ended.';
    if (code !== 0) {
      var box = r.failure || { caption: 'The movie cannot be played', text: r.lastLine };
      caption = box.caption;
      text = box.text;
    }
    page.showEnd(caption, text, true);
    page.exitCode = code;
    if (page.controls) page.controls.changed();
  }

  page.showEnd = function (caption, text, again) {
    $('end-caption').textContent = caption;
    $('end-text').textContent = text;
    $('end').className = 'panel on';
    $('again').hidden = !again;
    $('another').hidden = !page.viewer.dropping;
  };

  page.exit = function (code) { end(page.run, code); };
  page.fault = function (e) { if (page.run) fault(page.run, e); };

  // The progress of a movie on its way: a share of 1, or null when unknown.
  page.setProgress = function (share, label) {
    var bar = $('progress');
    bar.hidden = share === undefined;
    bar.setAttribute('aria-valuetext', label + (share === null ? '' : ', ' + Math.round(share * 100) + '%'));
    if (share !== null) bar.setAttribute('aria-valuenow', Math.round(share * 100));
    $('progress-bar').style.width = share === null ? '100%' : share * 100 + '%';
    $('progress-label').textContent = label;
  };

  page.messageBox = function (text, caption, failure) {
    if (failure) { page.run.failure = { caption: caption, text: text }; return; }
    var box = document.createElement('div');
    box.className = 'box';
    box.setAttribute('role', 'status');
    var b = document.createElement('b');
    b.textContent = caption;
    var ok = document.createElement('button');
    ok.textContent = 'OK';
    ok.onclick = function () { box.remove(); };
    box.append(b, text, ok);
    $('notices').append(box);
    setTimeout(function () { box.remove(); }, NOTICE_MS);
  };

  // --- the page's events ------------------------------------------------------------

  // Stand-alone, the page takes keys wherever the focus is, as the player's
  // window does; in someone else's page only while it has the focus.
  window.addEventListener('keydown', function (e) {
    if (page.embedded && !document.hasFocus()) return;
    if (page.controls && page.controls.key(e)) return;
    if (page.call('qv_key', e.key)) e.preventDefault();
  });
  window.addEventListener('focus', function () { focused = true; page.call('qv_activation'); });
  window.addEventListener('blur', function () { focused = false; page.call('qv_activation'); });
  var relayout = 0;
  page.relayout = function () {
    if (relayout) return;
    relayout = requestAnimationFrame(function () {
      relayout = 0;
      if (page.realSize()) page.call('qv_relayout');
    });
  };
  window.addEventListener('resize', page.relayout);

  page.boot = function () {
    $('again').addEventListener('click', function () { page.start(); });
    if (page.controls) page.controls.wire();
    page.viewer.boot();
  };
  page.current = function () { return page.run; };
  return page;
})();
