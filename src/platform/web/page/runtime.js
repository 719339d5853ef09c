// The page runtime: the DOM side of the web platform. It feeds the movie's
// files to the player module, turns the page's events into the player's entry
// points and carries out what the player asks of its windows (bridge.js). It
// decides nothing about the movie. Sizes and places from the player are
// device pixels; the page lays them out in CSS pixels.
var QvPage = (function () {
  'use strict';

  // The player's key table, by its order in shell.cpp.
  var KEYS = { Escape: 0, ' ': 1, Enter: 2, F1: 3, F2: 4, ArrowLeft: 5, ArrowRight: 6,
               PageUp: 7, PageDown: 8, Home: 9 };
  var BANNER_FONT = 'bold 13px Arial, Helvetica, sans-serif';
  var BANNER_HGT = 16;
  var SPLASH_FACE = '"Trebuchet MS", "DejaVu Sans", Verdana, sans-serif';
  var NOTICE_MS = 2500;

  var $ = function (id) { return document.getElementById(id); };
  var screenEl = $('screen');
  var movieFiles = null;  // [{name, bytes}] or, embedded, {packed, list: [{name, size}]}
  var moduleName = null;  // a player handed to the viewer
  var run = null;         // the movie playing now
  var focused = document.hasFocus();
  var scratch = document.createElement('canvas').getContext('2d');

  function dpr() { return window.devicePixelRatio || 1; }
  function css(px) { return px / dpr() + 'px'; }
  function colour(c) { return 'rgb(' + (c & 255) + ',' + ((c >> 8) & 255) + ',' + ((c >> 16) & 255) + ')'; }

  // --- calls into the player --------------------------------------------------

  // Every call of the player goes through here: a movie that has ended gets
  // none, and an end or a fault inside the call never escapes to the page.
  // Events that come while the module is still loading (the page gaining the
  // focus, say) find no player yet and are dropped, as a window's messages are
  // before the window exists.
  function call(r, name) {
    if (!r || r !== run || r.ended || !r.mod) return;
    var args = Array.prototype.slice.call(arguments, 2);
    try {
      r.mod['_' + name].apply(null, args);
    } catch (e) {
      if (e !== 'unwind') fault(r, e);
    }
  }

  function fault(r, e) {
    console.error('The player stopped: ' + e);
    r.failure = { caption: 'The player stopped', text: String(e) };
    end(r, 1);
  }

  // A posted message: delivered on a later turn, in order, with no delay.
  var channel = new MessageChannel(), queue = [];
  channel.port1.onmessage = function () { var fn = queue.shift(); if (fn) fn(); };
  function later(fn) { queue.push(fn); channel.port2.postMessage(0); }

  function withText(r, text, fn) {
    var p = r.mod.allocateUTF8(text);
    fn(p);
    r.mod._free(p);
  }

  // --- the files of the movie ---------------------------------------------------

  // A file of the in-memory file system whose bytes are the module's own memory
  // at ptr: read by the file calls, mapped by the player without a copy. The
  // view is taken afresh on every use since the memory may have grown.
  function addFile(mod, path, ptr, size) {
    var slash = path.lastIndexOf('/');
    var node = mod.FS.createFile(path.slice(0, slash), path.slice(slash + 1), {}, true, false);
    Object.defineProperty(node, 'contents', {
      get: function () { return mod.HEAPU8.subarray(ptr, ptr + size); },
      set: function () {},
      configurable: true
    });
    node.usedBytes = size;
    node.timestamp = Date.now();
  }

  function place(mod, list) {
    return list.map(function (f) {
      var ptr = mod._malloc(Math.max(f.size, 1));
      if (!ptr) throw new Error('not enough memory for ' + f.name);
      return { name: f.name, size: f.size, ptr: ptr };
    });
  }

  // The embedded movie: its files one after another in one gzip stream,
  // inflated straight into the module's memory.
  async function inflateInto(mod, packed, targets) {
    var stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream('gzip'));
    var reader = stream.getReader(), i = 0, at = 0;
    for (;;) {
      var step = await reader.read();
      if (step.done) break;
      var v = step.value;
      while (v.length && i < targets.length) {
        var n = Math.min(v.length, targets[i].size - at);
        mod.HEAPU8.set(v.subarray(0, n), targets[i].ptr + at);
        at += n;
        v = v.subarray(n);
        if (at === targets[i].size) { i++; at = 0; }
      }
    }
  }

  // --- starting and ending ---------------------------------------------------------

  async function start() {
    $('end').className = 'panel';
    $('viewer').className = 'panel';
    screenEl.textContent = '';
    var r = run = { ended: false, shown: false, lastLine: '' };
    var t0 = performance.now();
    var mod = await createQvPlayer({
      qvPage: api,
      print: function (line) {
        r.lastLine = line;
        console.log(line);
        if (api.onLine) api.onLine(line);
      },
      printErr: function (line) { console.warn(line); }
    });
    r.mod = mod;
    var t1 = performance.now();
    mod.FS.mkdir('/movie');
    mod.FS.mkdir('/page');
    mod.FS.writeFile('/page/QV_MoviePlayer.html', new Uint8Array(0));
    var targets;
    if (movieFiles.packed) {
      targets = place(mod, movieFiles.list);
      await inflateInto(mod, movieFiles.packed, targets);
    } else {
      targets = place(mod, movieFiles.map(function (f) { return { name: f.name, size: f.bytes.length }; }));
      movieFiles.forEach(function (f, i) { mod.HEAPU8.set(f.bytes, targets[i].ptr); });
    }
    targets.forEach(function (t) {
      var path = '/movie/' + t.name;
      addFile(mod, path, t.ptr, t.size);
      withText(r, path, function (p) { call(r, 'qv_add_file', p, t.ptr, t.size); });
    });
    mod.FS.chdir('/movie');
    var t2 = performance.now();
    if (moduleName) withText(r, '/movie/' + moduleName, function (p) { call(r, 'qv_set_module_file', p); });
    call(r, 'qv_start');
    // Where the time to the first picture goes, in ms (for the benchmarks).
    api.stages = { boot: t0, module: t1 - t0, movie: t2 - t1, startUp: performance.now() - t2 };
    // "#go" starts at once, as an argument starts the player.
    if (location.hash === '#go') call(r, 'qv_begin');
  }

  // The player ended the process: the movie stops and the page says why.
  function end(r, code) {
    if (r.ended) return;
    r.ended = true;
    r.exitCode = code;
    screenEl.textContent = '';
    document.body.style.cursor = 'default';
    var caption = '', text = 'The movie has ended.';
    if (code !== 0) {
      var box = r.failure || { caption: 'The movie cannot be played', text: r.lastLine };
      caption = box.caption;
      text = box.text;
    }
    $('end-caption').textContent = caption;
    $('end-text').textContent = text;
    $('end').className = 'panel on';
    $('another').hidden = !viewerMode;
    api.exitCode = code;
  }

  // --- what the player asks of the page (bridge.js) ------------------------------

  var api = {
    exitCode: null,
    onLine: null,  // each console line of the player, for a course's report
    firstPictureMs: null,
    exit: function (code) { end(run, code); },
    messageBox: function (text, caption, failure) {
      if (failure) { run.failure = { caption: caption, text: text }; return; }
      var box = document.createElement('div');
      box.className = 'box';
      var b = document.createElement('b');
      b.textContent = caption;
      var ok = document.createElement('button');
      ok.textContent = 'OK';
      ok.onclick = function () { box.remove(); };
      box.append(b, text, ok);
      $('notices').append(box);
      setTimeout(function () { box.remove(); }, NOTICE_MS);
    },
    setTimer: function (id, ms) {
      var r = run;
      if (ms <= 0) later(function () { call(r, 'qv_run_timer', id); });
      else setTimeout(function () { call(r, 'qv_run_timer', id); }, ms);
    },
    postShowFrame: function (n) { var r = run; later(function () { call(r, 'qv_deliver_frame', n); }); },
    screen: function () {
      return { width: Math.round(window.innerWidth * dpr()), height: Math.round(window.innerHeight * dpr()) };
    },

    createWindow: function (title, x, y, w, h, rounded) {
      document.title = title;
      var c = run.window = document.createElement('canvas');
      c.id = 'player';
      c.style.display = 'none';
      c.style.zIndex = 2;
      c.style.background = '#000';  // the window class's brush
      if (rounded) c.style.borderRadius = css(5.5) + ' ' + css(5.5) + ' 0 0';
      c.addEventListener('mousedown', function (e) {
        if (e.button !== 0) return;
        var box = c.getBoundingClientRect();
        call(run, 'qv_click', Math.floor((e.clientX - box.left) * dpr()),
             Math.floor((e.clientY - box.top) * dpr()));
      });
      c.addEventListener('mousemove', function () { call(run, 'qv_mouse_move'); });
      screenEl.append(c);
      run.ctx = c.getContext('2d');
      api.placeWindow(x, y);
      api.resizeWindow(w, h);
    },
    showWindow: function () { run.shown = true; run.window.style.display = 'block'; },
    placeWindow: function (x, y) { run.window.style.left = css(x); run.window.style.top = css(y); },
    resizeWindow: function (w, h) {
      var c = run.window;
      c.width = Math.max(w, 0);
      c.height = Math.max(h, 0);
      c.style.width = css(c.width);
      c.style.height = css(c.height);
    },
    isForeground: function () { return focused; },
    setCursor: function (wait) {
      var cursor = wait ? 'wait' : 'default';
      if (document.body.style.cursor !== cursor) document.body.style.cursor = cursor;
    },

    // An ImageData over the module's own memory: nothing is copied on the way
    // to the canvas. It is made again when the memory has grown.
    put: function (heap, ptr, w, h, x, y, top, rows) {
      run.ctx.putImageData(imageOver(run, 'image', heap, ptr, w, h), x, y, 0, top, w, rows);
      firstPicture();
    },

    bannerWidth: function (text) {
      scratch.font = BANNER_FONT;
      return Math.ceil(scratch.measureText(text).width);
    },
    // White on red in the canvas's 24-bit rows (blue, green, red), clipped to
    // the canvas's 3000 x 2400 pixels; returns the rows it covers.
    bannerDraw: function (heap, canvas, x, y, text) {
      var w = api.bannerWidth(text);
      if (w <= 0) return 0;
      var c = document.createElement('canvas');
      c.width = w;
      c.height = BANNER_HGT;
      var g = c.getContext('2d', { willReadFrequently: true });
      g.fillStyle = '#ff0000';
      g.fillRect(0, 0, w, BANNER_HGT);
      g.font = BANNER_FONT;
      g.fillStyle = '#ffffff';
      g.textBaseline = 'alphabetic';
      g.fillText(text, 0, 13);
      var px = g.getImageData(0, 0, w, BANNER_HGT).data;
      for (var row = 0; row < BANNER_HGT; row++) {
        var cy = y + row;
        if (cy < 0 || cy >= 2400) continue;
        for (var col = 0; col < w; col++) {
          var cx = x + col;
          if (cx < 0 || cx >= 3000) continue;
          var s = (row * w + col) * 4, d = canvas + cy * 9000 + cx * 3;
          heap[d] = px[s + 2];
          heap[d + 1] = px[s + 1];
          heap[d + 2] = px[s];
        }
      }
      return BANNER_HGT;
    },

    splashCreate: function (x, y, w, h) {
      var r = run;
      if (!r.splash) {
        var c = r.splash = document.createElement('canvas');
        c.id = 'splash';
        c.style.zIndex = 1;
        c.addEventListener('mousedown', function (e) { if (e.button === 0) call(run, 'qv_splash_click'); });
        screenEl.append(c);
        r.splashCtx = c.getContext('2d');
      }
      var s = r.splash;
      s.width = w;
      s.height = h;
      s.style.width = css(w);
      s.style.height = css(h);
      s.style.left = css(x);
      s.style.top = css(y);
      s.style.display = 'block';
    },
    splashHide: function () { if (run.splash) run.splash.style.display = 'none'; },
    splashFill: function (w, h, c) {
      run.splashCtx.fillStyle = colour(c);
      run.splashCtx.fillRect(0, 0, w, h);
    },
    splashTextWidth: function (hgt, quality, text) {
      var g = run.splashCtx;
      splashFont(g, hgt);
      return Math.round(g.measureText(text).width);
    },
    // The text cell's top-left corner is at (x, y); an opaque cell is white.
    splashText: function (x, y, hgt, quality, c, opaque, text) {
      var g = run.splashCtx;
      var ascent = splashFont(g, hgt);
      if (opaque) {
        g.fillStyle = '#ffffff';
        g.fillRect(x, y, Math.round(g.measureText(text).width), hgt);
      }
      g.fillStyle = colour(c);
      g.textBaseline = 'alphabetic';
      g.fillText(text, x, y + ascent);
    }
  };

  // When the page's first picture of the movie was drawn, in ms from the
  // page's opening (for the benchmarks).
  function firstPicture() {
    if (api.firstPictureMs === null) api.firstPictureMs = performance.now();
  }

  function imageOver(r, key, heap, ptr, w, h) {
    var img = r[key];
    if (!img || img.data.buffer !== heap.buffer || r[key + 'Ptr'] !== ptr || img.width !== w || img.height !== h) {
      img = r[key] = new ImageData(new Uint8ClampedArray(heap.buffer, ptr, w * h * 4), w, h);
      r[key + 'Ptr'] = ptr;
    }
    return img;
  }

  // A font whose cell (ascent and descent) is hgt pixels, as the splash's fonts
  // are asked for by cell height; returns its ascent.
  var cellRatio = null;
  function splashFont(g, hgt) {
    if (!cellRatio) {
      g.font = '900 100px ' + SPLASH_FACE;
      var m = g.measureText('Hg');
      var cell = (m.fontBoundingBoxAscent + m.fontBoundingBoxDescent) || 115;
      cellRatio = { size: 100 / cell, ascent: (m.fontBoundingBoxAscent || 92) / cell };
    }
    g.font = '900 ' + (hgt * cellRatio.size).toFixed(2) + 'px ' + SPLASH_FACE;
    return Math.round(hgt * cellRatio.ascent);
  }

  // --- the page's events ------------------------------------------------------------

  window.addEventListener('keydown', function (e) {
    var id = KEYS[e.key];
    if (id === undefined || !run || run.ended || !run.mod) return;
    // The browser's own use of these keys (help, scrolling) is the movie's now.
    e.preventDefault();
    call(run, run.shown ? 'qv_key' : 'qv_splash_key', id);
  });
  window.addEventListener('focus', function () { focused = true; call(run, 'qv_activation'); });
  window.addEventListener('blur', function () { focused = false; call(run, 'qv_activation'); });
  var relayout = 0;
  window.addEventListener('resize', function () {
    if (relayout) return;
    relayout = requestAnimationFrame(function () { relayout = 0; call(run, 'qv_relayout'); });
  });
  $('again').addEventListener('click', function () { start(); });

  // --- the viewer: a movie opened or dropped onto the page ---------------------------

  var viewerMode = false;

  function byName(list, test) {
    for (var i = 0; i < list.length; i++) if (test(list[i].name.toLowerCase())) return list[i];
    return null;
  }

  // What the player would find beside itself: a player with its movie, else
  // one movie file, else the flow and stack pair (or whatever was given, for
  // the player to refuse as it would).
  function chooseFiles(list) {
    var exe = byName(list, function (n) { return /\.exe$/.test(n); });
    if (exe) return { files: [exe], module: exe.name };
    var qvm = byName(list, function (n) { return /\.qvm$/.test(n); });
    return { files: qvm ? [qvm] : list, module: null };
  }

  async function openFiles(fileList) {
    var list = await Promise.all(Array.prototype.map.call(fileList, async function (f) {
      return { name: f.name.replace(/[\/\\]/g, '_'), bytes: new Uint8Array(await f.arrayBuffer()) };
    }));
    if (!list.length) return;
    var chosen = chooseFiles(list);
    movieFiles = chosen.files;
    moduleName = chosen.module;
    start();
  }

  function showViewer() {
    viewerMode = true;
    screenEl.textContent = '';
    $('end').className = 'panel';
    $('viewer').className = 'panel on';
  }

  function wireViewer() {
    var drop = $('drop');
    ['dragenter', 'dragover'].forEach(function (t) {
      window.addEventListener(t, function (e) { e.preventDefault(); drop.className = 'over'; });
    });
    window.addEventListener('dragleave', function () { drop.className = ''; });
    window.addEventListener('drop', function (e) {
      e.preventDefault();
      drop.className = '';
      if (e.dataTransfer && e.dataTransfer.files.length) openFiles(e.dataTransfer.files);
    });
    $('files').addEventListener('change', function (e) { openFiles(e.target.files); });
    $('another').addEventListener('click', showViewer);
  }

  function decode64(text) {
    var bin = atob(text), bytes = new Uint8Array(bin.length);
    for (var i = 0; i < bin.length; i++) bytes[i] = bin.charCodeAt(i);
    return bytes;
  }

  // The embedded movie: "name:size" pairs in data-files, the gzip stream of
  // their bytes in the element's text.
  function boot() {
    wireViewer();
    var el = $('qv-movie');
    if (!el) return showViewer();
    movieFiles = {
      packed: decode64(el.textContent),
      list: el.getAttribute('data-files').split('/').map(function (f) {
        var colon = f.lastIndexOf(':');
        return { name: decodeURIComponent(f.slice(0, colon)), size: Number(f.slice(colon + 1)) };
      })
    };
    el.textContent = '';
    start().catch(function (e) { fault(run, e); });
  }

  // A movie handed over by a page that holds this player (the author page),
  // played as the viewer plays an opened one; go starts it as "#go" does.
  function play(files, go) {
    movieFiles = files;
    moduleName = null;
    return start().then(function () { if (go) call(run, 'qv_begin'); });
  }

  api.boot = boot;
  api.play = play;
  api.splashFont = splashFont;
  api.current = function () { return run; };
  return api;
})();
