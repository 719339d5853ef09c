// The page runtime, part four: the control strip below the picture, pointer
// and touch input on the picture, fullscreen, the click-wait announcement and
// hint, and the messages of a page that embeds this one. Every control is a
// call of the player (qv_control, qv_seek, qv_key, qv_click); what it shows
// is the player's state (qv_state) read after each call.
QvPage.controls = (function (page) {
  'use strict';

  var FADE_MS = 2000, HINT_MS = 5000, DOUBLE_TAP_MS = 350, DOUBLE_TAP_PX = 30;
  var WAITS = 'The movie waits for your click';
  var $ = page.$;
  var mode = page.options.controls;
  var strip, track, state = null, stops = [], pending = 0;
  var waitFrame = -1, hintTimer = 0, fadeTimer = 0, lastTap = null, posted = '', seekTo = null;
  var fullWindow = false, frameAsked = page.options.frame;

  // The player's state, as qv_state lays it out (src/platform/web/shell.cpp).
  function readState() {
    var r = page.run;
    if (!r || !r.mod || r.ended) return null;
    var h = r.mod.HEAP32, p = r.mod._qv_state() >> 2;
    return { frame: h[p], frames: h[p + 1], playing: h[p + 2] === 1, waiting: h[p + 3] === 1,
             looping: h[p + 4] === 1, banner: h[p + 5] === 1, timeMs: h[p + 6], totalMs: h[p + 7],
             shown: h[p + 8] === 1, splash: h[p + 9] === 1,
             click: { x: h[p + 10], y: h[p + 11], w: h[p + 12], h: h[p + 13] },
             width: h[p + 14], height: h[p + 15] };
  }

  function clock(ms) {
    var s = Math.floor(ms / 1000);
    return Math.floor(s / 60) + ':' + String(s % 60).padStart(2, '0');
  }

  function post(message) { if (page.embedded) window.parent.postMessage(message, '*'); }

  function last() { return state ? Math.max(state.frames - 1, 0) : 0; }

  // --- what the strip shows ---------------------------------------------------------

  function update() {
    pending = 0;
    state = readState();
    var ended = !state && page.exitCode !== null;
    if (!state) {
      if (ended) announce(false, -1), postState('ended', -1);
      return;
    }
    if (state.shown && frameAsked !== null) {
      var n = frameAsked;
      frameAsked = null;
      page.call('qv_seek', n);
      return;
    }
    if (mode !== 'off') showState();
    announce(state.shown && state.waiting, state.frame);
    postState(!state.shown ? 'splash' : !state.playing ? 'paused' : state.waiting ? 'waiting' : 'playing', state.frame);
  }

  function showState() {
    var max = last(), label = 'frame ' + state.frame + ' of ' + max;
    setLabel($('play'), state.playing ? 'Pause' : 'Play');
    $('play').classList.toggle('playing', state.playing);
    $('step-back').disabled = state.playing;
    $('loop').setAttribute('aria-pressed', String(state.looping));
    $('banner').setAttribute('aria-pressed', String(state.banner));
    track.setAttribute('aria-valuemax', max);
    track.setAttribute('aria-valuenow', state.frame);
    track.setAttribute('aria-valuetext', label);
    $('fill').style.width = (max ? state.frame / max * 100 : 0) + '%';
    $('readout').textContent = state.frame + ' / ' + max;
    $('time').textContent = clock(state.timeMs) + ' / ' + clock(state.totalMs);
  }

  function setLabel(el, text) { if (el.getAttribute('aria-label') !== text) el.setAttribute('aria-label', text); }

  function postState(what, frame) {
    var key = what + frame;
    if (key === posted) return;
    posted = key;
    post({ type: 'qv-state', state: what, frame: frame });
  }

  // A frame that waits: said once in the live region, and after a while
  // outlined where the click goes.
  function announce(waiting, frame) {
    if (waiting && waitFrame === frame) return placeHint();
    clearTimeout(hintTimer);
    $('hint').hidden = true;
    waitFrame = waiting ? frame : -1;
    $('live').textContent = waiting ? WAITS : '';
    if (waiting && page.options.hints) {
      hintTimer = setTimeout(function () { $('hint').hidden = false; placeHint(); }, HINT_MS);
    }
  }

  function placeHint() {
    var hint = $('hint'), c = page.run && page.run.window;
    if (hint.hidden || !c || !state) return;
    var box = c.getBoundingClientRect(), k = box.width / (c.width || 1);
    hint.style.left = box.left + state.click.x * k + 'px';
    hint.style.top = box.top + state.click.y * k + 'px';
    hint.style.width = state.click.w * k + 'px';
    hint.style.height = state.click.h * k + 'px';
  }

  // The strip fades after a while without pointer, touch or key, keeping its
  // place, and comes back on any of them.
  function wake() {
    if (mode !== 'auto') return;
    strip.classList.remove('faded');
    clearTimeout(fadeTimer);
    fadeTimer = setTimeout(function () {
      if (!strip.contains(document.activeElement) && !track.dragging) strip.classList.add('faded');
    }, FADE_MS);
  }

  // --- seeking: the track is a slider -------------------------------------------------

  function frameAt(clientX) {
    var box = track.getBoundingClientRect();
    var share = Math.min(Math.max((clientX - box.left) / (box.width || 1), 0), 1);
    return Math.round(share * last());
  }

  // One seek per displayed frame while dragging; the latest position wins.
  function seek(n) {
    var bubble = $('bubble');
    if (track.dragging) {
      bubble.hidden = false;
      bubble.textContent = 'frame ' + n + ' / ' + last();
      bubble.style.left = (last() ? n / last() * 100 : 0) + '%';
    }
    if (seekTo === null) requestAnimationFrame(function () { var m = seekTo; seekTo = null; page.call('qv_seek', m); });
    seekTo = n;
  }

  function wireTrack() {
    track.addEventListener('pointerdown', function (e) {
      if (e.button !== 0 || !state) return;
      track.dragging = true;
      track.setPointerCapture(e.pointerId);
      track.focus();
      seek(frameAt(e.clientX));
    });
    track.addEventListener('pointermove', function (e) { if (track.dragging) seek(frameAt(e.clientX)); });
    var stop = function () { track.dragging = false; $('bubble').hidden = true; };
    track.addEventListener('pointerup', stop);
    track.addEventListener('pointercancel', stop);
  }

  // The slider's keys; Enter stays the player's, so it passes a click stop.
  var SLIDER_KEYS = {
    ArrowLeft: function (n) { return n - 1; }, ArrowDown: function (n) { return n - 1; },
    ArrowRight: function (n) { return n + 1; }, ArrowUp: function (n) { return n + 1; },
    PageUp: function (n) { return n - 100; }, PageDown: function (n) { return n + 100; },
    Home: function () { return 0; }, End: function () { return last(); }
  };

  function buildTicks() {
    var ticks = $('ticks'), max = last();
    ticks.textContent = '';
    stops.forEach(function (n) {
      var t = document.createElement('i');
      t.style.left = (max ? n / max * 100 : 0) + '%';
      t.setAttribute('data-frame', n);
      ticks.append(t);
    });
  }

  // --- fullscreen, and a full window where the browser has no element fullscreen -----

  function toggleFullscreen() {
    var el = document.documentElement;
    if (document.fullscreenElement) return document.exitFullscreen();
    if (document.fullscreenEnabled && el.requestFullscreen) return el.requestFullscreen().catch(toggleFullWindow);
    toggleFullWindow();
  }

  function toggleFullWindow() {
    fullWindow = !fullWindow;
    document.documentElement.classList.toggle('full-window', fullWindow);
    post({ type: 'qv-fullwindow', on: fullWindow });
    fullChanged();
  }

  function fullChanged() {
    var on = !!document.fullscreenElement || fullWindow;
    setLabel($('full'), on ? 'Leave full screen' : 'Full screen');
    page.relayout();
  }

  function toggleHelp(open) {
    var help = $('help');
    help.hidden = open === undefined ? !help.hidden : !open;
    $('help-button').setAttribute('aria-expanded', String(!help.hidden));
  }

  // --- what a page that embeds this one hears and says ----------------------------------

  function postSize() {
    if (!state || !state.width) return;
    var k = Math.min(1, window.innerWidth * page.dpr() / state.width);
    post({ type: 'qv-height', height: Math.ceil(state.height * k / page.dpr() + c.height()) });
  }

  var COMMANDS = {
    'qv-play': function () { page.call('qv_control', 'play'); },
    'qv-pause': function () { page.call('qv_control', 'pause'); },
    'qv-frame': function (d) { page.call('qv_seek', Number(d.frame) | 0); },
    'qv-loop': function (d) { page.call('qv_control', d.on ? 'loop-on' : 'loop-off'); }
  };

  // --- the part the rest of the runtime calls ---------------------------------------------

  var c = {};

  // The page's area for the movie ends where the strip begins.
  function placeStrip() {
    document.documentElement.style.setProperty('--strip', c.height() + 'px');
  }

  // The strip's height in CSS pixels: the page's area for the movie is the rest.
  c.height = function () { return mode === 'off' || !strip ? 0 : strip.getBoundingClientRect().height; };

  c.changed = function () { if (!pending) pending = requestAnimationFrame(update); };

  c.started = function () {
    var r = page.run, p = r.mod._qv_click_stops() >> 2, h = r.mod.HEAP32;
    stops = Array.prototype.slice.call(h, p + 1, p + 1 + h[p]);
    state = readState();
    if (mode !== 'off') buildTicks();
    if (state) {
      post({ type: 'qv-ready', frames: state.frames, width: state.width, height: state.height, title: document.title });
      postSize();
    }
    update();
  };

  // Keys the strip takes before the player: its buttons' Space and Enter, the
  // slider's moves, the key help.
  c.key = function (e) {
    wake();
    var help = $('help');
    if (e.key === '?') { toggleHelp(); e.preventDefault(); return true; }
    if (!help.hidden && e.key === 'Escape') { toggleHelp(false); return true; }
    if (e.target === track && SLIDER_KEYS[e.key] && state) {
      e.preventDefault();
      page.call('qv_seek', Math.min(Math.max(SLIDER_KEYS[e.key](state.frame), 0), last()));
      return true;
    }
    return e.target.tagName === 'BUTTON' && (e.key === ' ' || e.key === 'Enter');
  };

  // The picture takes pointer, pen and touch alike: a press is the player's
  // click where it lands on the canvas, however the canvas is shown; a second
  // tap soon after on the left or right third steps while paused.
  c.wirePicture = function (canvas) {
    canvas.addEventListener('pointerdown', function (e) {
      if (e.button !== 0) return;
      var box = canvas.getBoundingClientRect(), now = performance.now();
      var third = (e.clientX - box.left) / (box.width || 1);
      var again = lastTap && now - lastTap.t < DOUBLE_TAP_MS &&
                  Math.abs(e.clientX - lastTap.x) < DOUBLE_TAP_PX && Math.abs(e.clientY - lastTap.y) < DOUBLE_TAP_PX;
      var x = Math.floor((e.clientX - box.left) * canvas.width / (box.width || 1));
      var y = Math.floor((e.clientY - box.top) * canvas.height / (box.height || 1));
      lastTap = again ? null : { t: now, x: e.clientX, y: e.clientY };
      if (again && (third < 1 / 3 || third > 2 / 3)) page.call('qv_double_tap', x, y, third < 1 / 3 ? -1 : 1);
      else page.call('qv_click', x, y);
    });
    canvas.addEventListener('pointermove', function () { page.call('qv_mouse_move'); });
  };

  c.wire = function () {
    strip = $('strip');
    track = $('track');
    if (mode === 'off') strip.remove();
    else {
      if (mode === 'on') strip.classList.add('on');
      strip.querySelectorAll('[data-control]').forEach(function (b) {
        b.addEventListener('click', function () { page.call('qv_control', b.getAttribute('data-control')); });
      });
      $('full').addEventListener('click', toggleFullscreen);
      $('help-button').addEventListener('click', function () { toggleHelp(); });
      wireTrack();
      ['pointermove', 'pointerdown'].forEach(function (t) { window.addEventListener(t, wake, true); });
      wake();
    }
    $('help-close').addEventListener('click', function () { toggleHelp(false); });
    document.addEventListener('fullscreenchange', fullChanged);
    // The strip wraps onto more rows on a narrow page: the area follows it.
    placeStrip();
    if (mode !== 'off') new ResizeObserver(function () { placeStrip(); page.relayout(); }).observe(strip);
    window.addEventListener('resize', function () { placeHint(); postSize(); });
    window.addEventListener('message', function (e) {
      var d = e.data;
      if (e.source === window.parent && d && COMMANDS[d.type]) COMMANDS[d.type](d);
    });
  };

  c.toggleFullscreen = toggleFullscreen;
  return c;
})(QvPage);
