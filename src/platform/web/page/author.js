// The author page: a movie opened, edited and saved, all inside the page. The
// core (compiled to WebAssembly, the same module as the page's player) reads
// the movie, gives its pictures, writes and bundles it and paints the splash;
// this file keeps the edits and carries out what the author does with the
// pointer and the keys. An edit never changes a picture, only which pictures
// the frames show and how, so every state the undo list keeps stays valid.
var QvAuthor = (function () {
  'use strict';

  var $ = function (id) { return document.getElementById(id); };
  var mod = null;        // the core, for the author's own calls
  var doc = null;        // { header: [lines], frames: [{ p, delay, click, box }], inactive }
  var undoList = [], redoList = [];
  var at = 0, from = 0;  // the chosen frame and the other end of the selection
  var width = 0;
  var baseName = 'movie';
  var thumbs = [];       // small canvases by picture
  var drag = null;

  // --- the core ------------------------------------------------------------------

  // The core's splash painting lands in the preview; nothing else of the
  // player runs in this module, so its other operations have nothing to do.
  var preview = null;
  function nothing() { return 0; }
  var painter = {
    exit: nothing, messageBox: nothing, after: nothing, later: nothing,
    focused: function () { return true; }, screen: function () { return { width: 1024, height: 768 }; },
    drawing: Object.assign({ setCursor: nothing }, QvPage.splashPainter(function () { return preview; }))
  };

  function text(fn) {
    var raw = Array.prototype.slice.call(arguments, 1);
    var args = raw.map(function (a) { return typeof a === 'string' ? mod.allocateUTF8(a) : a; });
    try {
      return mod.UTF8ToString(mod['_' + fn].apply(null, args));
    } finally {
      args.forEach(function (a, i) { if (typeof raw[i] === 'string') mod._free(a); });
    }
  }
  function withString(s, fn) {
    var p = mod.allocateUTF8(s);
    try { return fn(p); } finally { mod._free(p); }
  }
  function withBytes(bytes, fn) {
    var p = mod._malloc(Math.max(bytes.length, 1));
    mod.HEAPU8.set(bytes, p);
    try { return fn(p); } finally { mod._free(p); }
  }
  function numbers(count, fn) {
    var p = mod._malloc(4 * count);
    try {
      var r = fn(p);
      return { result: r, values: Array.from(mod.HEAP32.subarray(p >> 2, (p >> 2) + count)) };
    } finally { mod._free(p); }
  }
  function resultBytes(ptr) {
    if (!ptr) throw new Error(mod.UTF8ToString(mod._qa_error()));
    return mod.HEAPU8.slice(ptr, ptr + mod._qa_result_size());
  }

  function headerText(header) { return header.map(function (l) { return l + '\r\n'; }).join(''); }

  function settings(header) {
    var r = numbers(10, function (p) { return withString(headerText(header), function (h) { return mod._qa_settings(h, p); }); });
    var v = r.values;
    return { title: mod.UTF8ToString(r.result), stripHeight: v[0], closeWidth: v[1], live: v.slice(2, 6),
             helpOn: v[6], cover: v[7], fill: v[8], rounded: v[9] };
  }

  // The movie file of a state: the core writes it as qvm build does.
  function movieBytes(d, first) {
    var frames = d.frames.slice(first || 0);
    var plan = new Int32Array(frames.length * 7);
    frames.forEach(function (f, i) {
      plan.set([f.p, f.click ? -1 : f.delay, f.click ? 1 : 0].concat(f.box || [0, 0, 0, 0]), i * 7);
    });
    return withString(headerText(d.header), function (h) {
      return withBytes(new Uint8Array(plan.buffer), function (p) {
        return resultBytes(mod._qa_write(h, frames.length, p, d.inactive));
      });
    });
  }

  // --- opening --------------------------------------------------------------------

  function status(message, bad) {
    $('status').textContent = message;
    $('status').className = bad ? 'bad' : '';
  }

  async function readAll(fileList) {
    return Promise.all(Array.prototype.map.call(fileList, async function (f) {
      return { name: f.name.replace(/[\/\\]/g, '_'), bytes: new Uint8Array(await f.arrayBuffer()) };
    }));
  }

  function find(list, re) {
    for (var i = 0; i < list.length; i++) if (re.test(list[i].name)) return list[i];
    return null;
  }

  // How long the last open and save took, in ms (for the benchmarks).
  var timings = { open: null, save: null, video: null };

  // A file of the core's file system over bytes in its own memory, read by
  // the core's file calls without a copy into the file system, as the page
  // player gives the player its movie.
  function place(path, bytes) {
    var ptr = mod._malloc(Math.max(bytes.length, 1));
    if (!ptr) throw new Error('not enough memory for ' + path);
    mod.HEAPU8.set(bytes, ptr);
    var node = mod.FS.createFile('/', path.slice(1), {}, true, false);
    Object.defineProperty(node, 'contents', {
      get: function () { return mod.HEAPU8.subarray(ptr, ptr + bytes.length); },
      set: function () {},
      configurable: true
    });
    node.usedBytes = bytes.length;
    node.timestamp = Date.now();
    return { path: path, ptr: ptr };
  }

  async function open(fileList) {
    var t0 = performance.now();
    // A recording is read as it is decoded, never whole.
    var video = find(Array.from(fileList), /\.(mp4|m4v|webm|mkv|mov)$/i);
    if (video) return importVideo(video);
    var list = await readAll(fileList);
    if (!list.length) return;
    status('Opening…');
    var pngs = list.filter(function (f) { return /\.png$/i.test(f.name); });
    if (pngs.length === list.length) return importPngs(pngs);
    // As the player finds a movie: a player with its movie, else a movie
    // file, else the flow and stack pair.
    var exe = find(list, /\.exe$/i), qvm = find(list, /\.qvm$/i);
    var flow = find(list, /^demoflow\.txt$/i), stack = find(list, /^demostack\.kts$/i);
    var kind, files;
    if (exe) kind = 0, files = [exe, exe];
    else if (qvm) kind = 1, files = [qvm, qvm];
    else if (flow && stack) kind = 2, files = [flow, stack];
    else return refused(list, 'Open a .QVM, a handed-out .exe, demoFlow.txt with demoStack.kts, PNG frames or a recording.');
    var placed = [place('/open-flow', files[0].bytes)];
    if (files[1] !== files[0]) placed.push(place('/open-stack', files[1].bytes));
    var fault = text('qa_open', kind, '/open-flow', files[1] !== files[0] ? '/open-stack' : '/open-flow');
    placed.forEach(function (f) { mod.FS.unlink(f.path); mod._free(f.ptr); });
    if (fault) return refused(kind === 2 ? [flow, stack] : [files[0]], fault);
    baseName = kind === 2 ? 'movie' : files[0].name.replace(/\.[^.]*$/, '');
    loadDraft();
    timings.open = performance.now() - t0;
    status(files[0].name + ': ' + doc.frames.length + ' frames of ' + width + ' pixels wide');
  }

  // --- pictures coming in -----------------------------------------------------------

  function progress(done, total) {
    var bar = $('progress');
    bar.style.display = done < total ? 'inline-block' : 'none';
    bar.value = total ? done / total : 0;
  }

  // Each picture's RGBA rows go to the core, which keeps only their unique
  // rows; the page holds one picture at a time.
  function importPicture(rgba, w, h) {
    var n = withBytes(rgba, function (p) { return mod._qa_import_picture(p, w, h); });
    if (n < 0) throw new Error(mod.UTF8ToString(mod._qa_error()));
    return n;
  }

  // PNG frames, ordered by name, each shown for the default delay. The
  // browser decodes them with no colour management, so the pixels are the
  // file's own, as qvm build reads them.
  async function importPngs(files) {
    files.sort(function (a, b) { return a.name < b.name ? -1 : a.name > b.name ? 1 : 0; });
    var delay = Math.max(0, parseInt($('png-delay').value, 10) || 0), frames = [];
    var canvas = document.createElement('canvas'), g = null;
    for (var i = 0; i < files.length; i++) {
      var bitmap = await createImageBitmap(new Blob([files[i].bytes]),
                                           { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
      if (i === 0) {
        mod._qa_import_begin(bitmap.width, 0);
        canvas.width = bitmap.width;
        canvas.height = bitmap.height;
        g = canvas.getContext('2d', { willReadFrequently: true });
      }
      if (canvas.height !== bitmap.height) canvas.height = bitmap.height;
      // A picture with transparency lies over black, as qvm build lays it.
      g.fillStyle = '#000';
      g.fillRect(0, 0, canvas.width, canvas.height);
      g.drawImage(bitmap, 0, 0);
      var w = bitmap.width, h = bitmap.height;
      bitmap.close();
      var rgba = w === canvas.width ? g.getImageData(0, 0, w, h).data : new Uint8Array(0);
      try {
        frames.push({ p: importPicture(new Uint8Array(rgba.buffer), w, h), delay: delay, click: false, box: null });
      } catch (e) {
        // The core's draft is the new movie's now: what was open is gone.
        mod._qa_import_end();
        doc = null;
        $('strip').textContent = '';
        $('view').textContent = '';
        $('panel').hidden = true;
        refresh();
        throw new Error(files[i].name + ': ' + e.message);
      }
      progress(i + 1, files.length);
      status('Reading ' + files[i].name);
    }
    mod._qa_import_end();
    startDraft(frames, [], -1, 'movie');
    status(files.length + ' PNG frames of ' + width + ' pixels wide');
  }

  // Lossy video never repeats a row exactly: rows within 6 levels share, as
  // qvm build --video shares them by default.
  var VIDEO_TOLERANCE = 6;

  // A recording (a File), decoded picture by picture by the browser's
  // VideoDecoder from the demuxer's packets. Each picture goes to the core
  // at once, so the page holds the unique rows and a few pictures, not the
  // recording.
  async function importVideo(file) {
    if (typeof VideoDecoder === 'undefined') throw new Error('this browser cannot decode recordings (no WebCodecs)');
    var t0 = performance.now();
    var input = QvDemux.open(file);
    var track = await input.getPrimaryVideoTrack();
    if (!track) throw new Error(file.name + ' holds no video');
    var config = await track.getDecoderConfig();
    if (!config || !(await VideoDecoder.isConfigSupported(config)).supported) {
      throw new Error(file.name + ': this browser cannot decode its ' + track.codec + ' video');
    }
    var duration = await track.computeDuration();
    var w = track.displayWidth, h = track.displayHeight;
    var canvas = document.createElement('canvas');
    canvas.width = w;
    canvas.height = h;
    var g = canvas.getContext('2d', { willReadFrequently: true });
    var failure = null, pictures = 0, lastMs = 0, lastDuration = 0;
    mod._qa_video_begin(w, VIDEO_TOLERANCE);
    // One picture's room in the core's memory, written by the browser's own
    // conversion to RGBA where it has one, else through a canvas.
    var room = mod._malloc(w * h * 4), direct = true;
    // Pictures are taken one at a time, in the order they come.
    var outputs = Promise.resolve(), waiting = 0;
    var decoder = new VideoDecoder({
      output: function (frame) {
        waiting++;
        outputs = outputs.then(function () { return take(frame); }).finally(function () { waiting--; });
      },
      error: function (e) { failure = failure || e; }
    });
    async function take(frame) {
      try {
        if (failure) return;
        lastMs = frame.timestamp / 1000;
        lastDuration = (frame.duration || 0) / 1000;
        var copied = false;
        if (direct && frame.displayWidth === w && frame.displayHeight === h) {
          try {
            await frame.copyTo(mod.HEAPU8.subarray(room, room + w * h * 4), { format: 'RGBA' });
            copied = true;
          } catch (e) {
            direct = false;
          }
        }
        if (!copied) {
          g.drawImage(frame, 0, 0, w, h);
          mod.HEAPU8.set(g.getImageData(0, 0, w, h).data, room);
        }
        if (mod._qa_video_picture(room, w, h, lastMs) < 0) failure = new Error(mod.UTF8ToString(mod._qa_error()));
        pictures++;
      } finally {
        frame.close();
      }
    }
    decoder.configure(config);
    for await (var packet of QvDemux.packets(track)) {
      if (failure) break;
      decoder.decode(packet.toEncodedVideoChunk());
      // A few pictures in flight at most: memory stays with the unique rows.
      while (decoder.decodeQueueSize > 4) await new Promise(function (r) { decoder.addEventListener('dequeue', r, { once: true }); });
      while (waiting > 4) await outputs;
      progress(packet.timestamp, duration);
    }
    if (!failure) await decoder.flush().catch(function (e) { failure = failure || e; });
    decoder.close();
    await outputs;
    mod._free(room);
    var count = failure ? -1 : mod._qa_video_end(lastMs + (lastDuration || (pictures > 1 ? 0 : 100)));
    mod._qa_import_end();
    progress(1, 1);
    if (count < 0 || !pictures) {
      doc = null;
      $('strip').textContent = '';
      $('view').textContent = '';
      $('panel').hidden = true;
      refresh();
      throw new Error(file.name + ': ' + (failure ? failure.message || failure : pictures ? mod.UTF8ToString(mod._qa_error()) : 'no picture could be decoded'));
    }
    var list = mod.HEAP32.subarray(mod._qa_video_frames() >> 2, (mod._qa_video_frames() >> 2) + 2 * count), frames = [];
    for (var n = 0; n < count; n++) frames.push({ p: list[2 * n], delay: list[2 * n + 1], click: false, box: null });
    startDraft(frames, [], -1, file.name.replace(/\.[^.]*$/, ''));
    timings.video = { ms: performance.now() - t0, pictures: pictures, rows: mod._qa_stack_rows() };
    status(file.name + ': ' + pictures + ' pictures, ' + count + ' frames of ' + width + ' pixels wide');
  }

  // A file that is no movie: the player says why, as it would when started on it.
  function refused(files, fault) {
    status(fault, true);
    var chosen = find(files, /\.exe$/i) || find(files, /\.qvm$/i);
    play(chosen ? [chosen] : files, false);
  }

  // The draft the core read, as the first state of the edits.
  function loadDraft() {
    var frames = [];
    for (var n = 0, count = mod._qa_frame_count(); n < count; n++) {
      var r = numbers(6, function (p) { return mod._qa_frame(n, p); });
      var v = r.values;
      frames.push({ p: r.result, delay: v[1] ? 0 : v[0], click: !!v[1], box: v[1] ? v.slice(2, 6) : null });
    }
    var header = text('qa_header').split('\n');
    header.pop();
    startDraft(frames, header, mod._qa_inactive(), baseName);
  }

  function startDraft(frames, header, inactive, name) {
    width = mod._qa_width();
    thumbs = [];
    shown = -1;
    baseName = name;
    undoList = [];
    redoList = [];
    doc = { header: header, frames: frames, inactive: inactive };
    at = from = 0;
    $('hint').hidden = true;
    $('panel').hidden = false;
    refresh();
    makeThumbs();
  }

  // --- the edits --------------------------------------------------------------------

  // The movie becomes next; the chosen frames stay within it.
  function become(next) {
    doc = next;
    at = Math.min(at, doc.frames.length - 1);
    from = Math.min(from, doc.frames.length - 1);
    refresh();
  }
  function commit(next) {
    undoList.push(doc);
    redoList = [];
    become(next);
  }
  function undo() {
    if (!undoList.length) return;
    redoList.push(doc);
    become(undoList.pop());
  }
  function redo() {
    if (!redoList.length) return;
    undoList.push(doc);
    become(redoList.pop());
  }
  function withFrames(frames) { return { header: doc.header, frames: frames, inactive: doc.inactive }; }
  function withHeader(header) { return { header: header, frames: doc.frames, inactive: doc.inactive }; }

  function selection() { return [Math.min(at, from), Math.max(at, from)]; }

  // Changes the chosen frame, or each selected one.
  function changeFrames(change, all) {
    var s = all ? selection() : [at, at];
    commit(withFrames(doc.frames.map(function (f, n) {
      if (n < s[0] || n > s[1]) return f;
      var g = Object.assign({}, f);
      change(g);
      return g;
    })));
  }

  function cut(keep) {
    var s = selection();
    var left = doc.frames.filter(function (f, n) { return (n >= s[0] && n <= s[1]) === keep; });
    if (!left.length) return status('A movie keeps at least one frame.', true);
    at = from = keep ? 0 : Math.min(s[0], left.length - 1);
    commit(withFrames(left));
  }

  // Neighbours that show the same rows become one frame shown for both
  // delays; a frame that waits for a click stays as it is.
  function mergeIdentical() {
    var out = [];
    doc.frames.forEach(function (f) {
      var last = out[out.length - 1];
      if (last && !last.click && !f.click && mod._qa_same_picture(last.p, f.p)) {
        out[out.length - 1] = Object.assign({}, last, { delay: last.delay + f.delay });
      } else {
        out.push(f);
      }
    });
    if (out.length === doc.frames.length) return status('No neighbours are identical.');
    status((doc.frames.length - out.length) + ' frames merged into their neighbours.');
    commit(withFrames(out));
  }

  function pictureHeight(p) { return mod._qa_picture_rows(p); }

  // The rectangle clipped to the picture, its edges in order.
  function clipBox(box, p) {
    var h = pictureHeight(p);
    var l = Math.min(box[0], box[2]), r = Math.max(box[0], box[2]);
    var t = Math.min(box[1], box[3]), b = Math.max(box[1], box[3]);
    var clip = function (v, hi) { return Math.max(0, Math.min(hi, Math.round(v))); };
    return [clip(l, width - 1), clip(t, h - 1), clip(r, width - 1), clip(b, h - 1)];
  }

  // Header lines: a directive is replaced where it stands, or added at the end.
  function keyword(line, k) { return line.slice(0, k.length) === k; }
  function setDirective(k, line) {
    var header = [], placed = false;
    doc.header.forEach(function (l) {
      if (!keyword(l, k)) return header.push(l);
      if (line !== null && !placed) header.push(line);
      placed = true;
    });
    if (line !== null && !placed) header.push(line);
    commit(withHeader(header));
  }

  function splashBlock(header) {
    var start = header.indexOf('SplashText'), end = header.indexOf('EndSplashText');
    return start >= 0 && end > start ? { start: start, end: end } : null;
  }
  function setSplash(lines) {
    var header = doc.header.slice(), block = splashBlock(header);
    var body = lines.length ? ['SplashText'].concat(lines, ['EndSplashText']) : [];
    if (block) header.splice(block.start, block.end - block.start + 1, ...body);
    else header = body.concat(header);
    commit(withHeader(header));
  }

  // --- drawing ------------------------------------------------------------------------

  function pictureImage(p) {
    var rows = pictureHeight(p);
    var ptr = mod._qa_picture_rgba(p);
    return new ImageData(new Uint8ClampedArray(mod.HEAPU8.buffer, ptr, width * rows * 4).slice(), width, rows);
  }

  var big = document.createElement('canvas');
  function thumb(p) {
    if (thumbs[p]) return thumbs[p];
    var img = pictureImage(p);
    big.width = img.width;
    big.height = img.height;
    big.getContext('2d').putImageData(img, 0, 0);
    var t = document.createElement('canvas');
    t.width = 136;
    t.height = Math.max(1, Math.round(img.height * 136 / img.width));
    var g = t.getContext('2d');
    g.imageSmoothingQuality = 'high';
    g.drawImage(big, 0, 0, t.width, t.height);
    return (thumbs[p] = t);
  }

  // Thumbnails are drawn after the movie is editable, a few at a time.
  var thumbRun = 0;
  function makeThumbs() {
    var run = ++thumbRun, n = 0;
    (function step() {
      if (run !== thumbRun || !doc) return;
      var end = Date.now() + 12;
      while (n < doc.frames.length && Date.now() < end) {
        var item = $('strip').children[n];
        if (item && !item.dataset.drawn) {
          drawThumb(item.firstChild, doc.frames[n].p);
          item.dataset.drawn = 1;
        }
        n++;
      }
      if (n < doc.frames.length) setTimeout(step, 0);
    })();
  }
  function drawThumb(c, p) {
    var t = thumb(p);
    c.width = t.width;
    c.height = t.height;
    c.getContext('2d').drawImage(t, 0, 0);
  }

  function refresh() {
    $('undo').disabled = !undoList.length;
    $('redo').disabled = !redoList.length;
    $('play').disabled = !doc;
    document.querySelectorAll('.save').forEach(function (b) { b.disabled = !doc; });
    if (!doc) return;
    drawStrip();
    drawStage();
    fillPanel();
    paintSplashSoon();
  }

  function drawStrip() {
    var strip = $('strip'), s = selection();
    while (strip.children.length > doc.frames.length) strip.lastChild.remove();
    doc.frames.forEach(function (f, n) {
      var item = strip.children[n];
      if (!item) {
        item = document.createElement('div');
        item.className = 'item';
        item.append(document.createElement('canvas'), document.createElement('div'));
        item.addEventListener('click', function (e) { choose(Array.prototype.indexOf.call(strip.children, item), e.shiftKey); });
        strip.append(item);
      }
      // The frames around the chosen one get their pictures at once; the
      // others as makeThumbs comes to them.
      var near = Math.abs(n - at) <= 8;
      if (item.dataset.p !== String(f.p) || (near && !item.dataset.drawn)) {
        item.dataset.p = f.p;
        if (thumbs[f.p] || near) {
          drawThumb(item.firstChild, f.p);
          item.dataset.drawn = 1;
        } else {
          item.firstChild.width = item.firstChild.width;  // clears a stale picture
          delete item.dataset.drawn;
        }
      }
      item.classList.toggle('at', n === at);
      item.classList.toggle('in', n >= s[0] && n <= s[1]);
      var label = '#' + n + ' · ' + (f.click ? 'click' : f.delay + ' ms');
      var line = item.children[1];
      if (line.textContent !== label) line.textContent = label;
      var mark = item.querySelector('.click');
      if (f.click && !mark) {
        mark = document.createElement('span');
        mark.className = 'click';
        mark.textContent = 'click';
        item.append(mark);
      } else if (!f.click && mark) {
        mark.remove();
      }
    });
  }

  function choose(n, extend) {
    at = n;
    if (!extend) from = n;
    refresh();
    var item = $('strip').children[n];
    if (item && item.scrollIntoViewIfNeeded) item.scrollIntoViewIfNeeded(false);
  }

  var shown = -1;  // the picture on the stage's canvas
  function stagePicture() { return $('drag-live').checked && doc.inactive >= 0 ? doc.inactive : doc.frames[at].p; }

  function drawStage() {
    var view = $('view'), c = $('frame');
    if (!c) {
      c = document.createElement('canvas');
      c.id = 'frame';
      view.append(c);
      c.addEventListener('pointerdown', function (e) { startDrag(e, 'new'); });
    }
    var p = stagePicture();
    if (shown !== p || c.width !== width) {
      var img = pictureImage(p);
      c.width = img.width;
      c.height = img.height;
      c.getContext('2d').putImageData(img, 0, 0);
      shown = p;
    }
    $('stage').className = $('zoom').checked ? '' : 'fit';
    view.querySelectorAll('.rect').forEach(function (r) { r.remove(); });
    if ($('drag-live').checked) {
      var live = settings(doc.header).live;
      if (live[0] >= 0 || live[2] > 0) drawRect([live[0], live[1], live[0] + live[2] - 1, live[1] + live[3] - 1], true);
    } else if (doc.frames[at].click) {
      drawRect(doc.frames[at].box, false);
    }
  }

  function scale() { var c = $('frame'); return c.clientWidth / c.width || 1; }

  function drawRect(box, live) {
    var k = scale(), r = document.createElement('div');
    r.className = live ? 'rect live' : 'rect';
    r.style.left = box[0] * k + 'px';
    r.style.top = box[1] * k + 'px';
    r.style.width = (box[2] - box[0] + 1) * k + 'px';
    r.style.height = (box[3] - box[1] + 1) * k + 'px';
    var grip = document.createElement('div');
    grip.className = 'grip';
    r.append(grip);
    if (!live) {
      var x = document.createElement('div');
      x.className = 'remove';
      x.textContent = '×';
      x.title = 'Remove the click box';
      x.addEventListener('pointerdown', function (e) {
        e.stopPropagation();
        changeFrames(function (f) { f.click = false; f.box = null; f.delay = f.delay || 100; });
      });
      r.append(x);
    }
    r.addEventListener('pointerdown', function (e) { startDrag(e, e.target === grip ? 'resize' : 'move', box); });
    $('view').append(r);
  }

  // A drag draws a new box, moves the box or resizes it; the edit is made
  // once, when the pointer is let go.
  function moviePoint(e) {
    var b = $('frame').getBoundingClientRect(), k = scale();
    return [Math.floor((e.clientX - b.left) / k), Math.floor((e.clientY - b.top) / k)];
  }
  function startDrag(e, how, box) {
    if (e.button !== 0) return;
    e.preventDefault();
    e.stopPropagation();
    drag = { how: how, start: moviePoint(e), box: box ? box.slice() : null, now: null };
    window.addEventListener('pointermove', moveDrag);
    window.addEventListener('pointerup', endDrag, { once: true });
  }
  function dragBox() {
    var s = drag.start, n = drag.now || s, dx = n[0] - s[0], dy = n[1] - s[1], b = drag.box;
    if (drag.how === 'new') return [s[0], s[1], n[0], n[1]];
    if (drag.how === 'resize') return [b[0], b[1], b[2] + dx, b[3] + dy];
    return [b[0] + dx, b[1] + dy, b[2] + dx, b[3] + dy];
  }
  function moveDrag(e) {
    drag.now = moviePoint(e);
    $('view').querySelectorAll('.rect').forEach(function (r) { r.remove(); });
    drawRect(clipBox(dragBox(), stagePicture()), $('drag-live').checked);
  }
  function endDrag(e) {
    window.removeEventListener('pointermove', moveDrag);
    drag.now = moviePoint(e);
    var box = clipBox(dragBox(), stagePicture());
    var moved = drag.now[0] !== drag.start[0] || drag.now[1] !== drag.start[1];
    drag = null;
    if (!moved) return drawStage();
    if ($('drag-live').checked) return setLive(box);
    changeFrames(function (f) { f.click = true; f.box = box; });
  }

  function setLive(box) {
    var header = doc.header.filter(function (l) { return !keyword(l, 'InactiveUpperLeft ') && !keyword(l, 'InactiveWidHeight '); });
    header.push('InactiveUpperLeft ' + box[0] + ' ' + box[1], 'InactiveWidHeight ' + (box[2] - box[0] + 1) + ' ' + (box[3] - box[1] + 1));
    commit(withHeader(header));
  }

  function fillPanel() {
    var f = doc.frames[at], s = selection(), set = settings(doc.header);
    $('frame-title').textContent = 'Frame ' + at + ' of ' + doc.frames.length +
      (s[1] > s[0] ? ' (frames ' + s[0] + ' to ' + s[1] + ' selected)' : '');
    setValue('delay', f.click ? '' : f.delay);
    $('delay-note').textContent = s[1] > s[0] ? 'for the selection' : '';
    $('waits').checked = f.click;
    ['box-l', 'box-t', 'box-r', 'box-b'].forEach(function (id, i) { setValue(id, f.click ? f.box[i] : ''); });
    setValue('title', set.title);
    var block = splashBlock(doc.header);
    setValue('splash', block ? doc.header.slice(block.start + 1, block.end).join('\n') : '');
    setValue('fill', String(set.fill));
    $('rounded').checked = set.rounded === 1;
    $('banner').checked = set.helpOn === 1;
    $('cover').checked = set.cover === 1;
    setValue('strip-h', set.stripHeight);
    setValue('close-w', set.closeWidth);
    var live = set.live;
    ['live-x', 'live-y', 'live-w', 'live-h'].forEach(function (id, i) { setValue(id, live[i] >= 0 ? live[i] : ''); });
    $('inactive-note').textContent = doc.inactive >= 0 ? 'set' : 'none';
  }
  function setValue(id, v) { if (document.activeElement !== $(id)) $(id).value = v; }

  var splashTimer = 0;
  function paintSplashSoon() {
    clearTimeout(splashTimer);
    splashTimer = setTimeout(function () {
      preview = $('splash-preview').getContext('2d');
      try {
        withString(headerText(doc.header), function (h) { mod._qa_paint_splash(h); });
      } catch (e) {
        if (e !== 'unwind') throw e;
      }
    }, 60);
  }

  // --- playing ---------------------------------------------------------------------------

  function play(files, go) {
    document.body.classList.add('playing');
    QvPage.viewer.play(files, go).catch(function (e) { status(String(e), true); });
  }
  function backToEditing() {
    QvPage.call('qv_key', 'Escape');
    document.body.classList.remove('playing');
    $('end').className = 'panel';
    $('screen').textContent = '';
  }

  // --- saving -------------------------------------------------------------------------------

  // The page template and the Windows player, kept compressed as the loader
  // keeps the page's code.
  function unpack(id) {
    return qvInflated(id).arrayBuffer().then(function (b) { return new Uint8Array(b); });
  }
  async function squeeze(bytes, format) {
    var stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream(format));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }
  function base64(bytes) {
    var s = '';
    for (var i = 0; i < bytes.length; i += 0x8000) s += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(s);
  }
  function escaped(t) { return t.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;'); }

  // The movie's page, as qvm html fills the page template.
  async function moviePage(movie, title) {
    var page = new TextDecoder().decode(await unpack('qv-page'));
    var name = baseName + '.QVM';
    var element = '<script id="qv-movie" type="application/octet-stream" data-files="' +
      encodeURIComponent(name).replace(/[!'()*~]/g, function (c) { return '%' + c.charCodeAt(0).toString(16).toUpperCase(); }) +
      ':' + movie.length + '">' + base64(await squeeze(movie, 'gzip')) + '</' + 'script>';
    return page.replace('@QV_TITLE@', function () { return escaped(title); })
               .replace('<!--@QV_MOVIE@-->', function () { return element; });
  }

  async function exeBytes(movie) {
    var player = await unpack('qv-exe');
    if (!player.length) throw new Error('this page holds no Windows player (made without one)');
    return withBytes(player, function (p) {
      return withBytes(movie, function (m) { return resultBytes(mod._qa_bundle(p, player.length, m, movie.length)); });
    });
  }

  var CRC = new Int32Array(256).map(function (_, n) {
    for (var k = 0; k < 8; k++) n = n & 1 ? 0xedb88320 ^ (n >>> 1) : n >>> 1;
    return n;
  });
  function crc32(bytes) {
    var c = -1;
    for (var i = 0; i < bytes.length; i++) c = CRC[(c ^ bytes[i]) & 255] ^ (c >>> 8);
    return (c ^ -1) >>> 0;
  }

  // A zip of deflated entries [{ name, bytes, program }]; a program keeps the
  // Unix mode that lets it be started once unpacked, as qvm bundle --zip writes.
  async function zip(entries) {
    var parts = [], central = [], offset = 0, now = new Date();
    var time = (now.getHours() << 11) | (now.getMinutes() << 5) | (now.getSeconds() >> 1);
    var date = ((now.getFullYear() - 1980) << 9) | ((now.getMonth() + 1) << 5) | now.getDate();
    for (var e of entries) {
      var name = new TextEncoder().encode(e.name), packed = await squeeze(e.bytes, 'deflate-raw');
      var head = new DataView(new ArrayBuffer(30));
      [[0, 0x04034b50, 4], [4, 20, 2], [6, 0x800, 2], [8, 8, 2], [10, time, 2], [12, date, 2], [14, crc32(e.bytes), 4],
       [18, packed.length, 4], [22, e.bytes.length, 4], [26, name.length, 2], [28, 0, 2]].forEach(function (f) {
        if (f[2] === 4) head.setUint32(f[0], f[1], true); else head.setUint16(f[0], f[1], true);
      });
      var dir = new DataView(new ArrayBuffer(46));
      [[0, 0x02014b50, 4], [4, 0x0314, 2], [6, 20, 2], [8, 0x800, 2], [10, 8, 2], [12, time, 2], [14, date, 2],
       [16, crc32(e.bytes), 4], [20, packed.length, 4], [24, e.bytes.length, 4], [28, name.length, 2],
       [38, (e.program ? 0o100755 : 0o100644) * 65536, 4], [42, offset, 4]].forEach(function (f) {
        if (f[2] === 4) dir.setUint32(f[0], f[1] >>> 0, true); else dir.setUint16(f[0], f[1], true);
      });
      parts.push(new Uint8Array(head.buffer), name, packed);
      central.push(new Uint8Array(dir.buffer), name);
      offset += 30 + name.length + packed.length;
    }
    var size = central.reduce(function (s, c) { return s + c.length; }, 0);
    var end = new DataView(new ArrayBuffer(22));
    [[0, 0x06054b50, 4], [8, entries.length, 2], [10, entries.length, 2], [12, size, 4], [16, offset, 4]].forEach(function (f) {
      if (f[2] === 4) end.setUint32(f[0], f[1], true); else end.setUint16(f[0], f[1], true);
    });
    return new Blob(parts.concat(central, [new Uint8Array(end.buffer)]));
  }

  function download(name, data) {
    var a = document.createElement('a');
    a.href = URL.createObjectURL(data instanceof Blob ? data : new Blob([data]));
    a.download = name;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(function () { URL.revokeObjectURL(a.href); }, 60000);
  }

  async function save(as) {
    var t0 = performance.now();
    var movie = movieBytes(doc), title = settings(doc.header).title;
    if (as === 'qvm') {
      download(baseName + '.QVM', movie);
      timings.save = performance.now() - t0;
      return;
    }
    if (as === 'exe') return download(baseName + '.exe', await exeBytes(movie));
    if (as === 'zip') return download(baseName + '.zip', await zip([{ name: baseName + '.exe', bytes: await exeBytes(movie), program: true }]));
    var page = await moviePage(movie, title);
    if (as === 'html') return download(baseName + '.html', new TextEncoder().encode(page));
    var manifest = withString(title, function (t) { return mod.UTF8ToString(mod._qa_course_manifest(t)); });
    var course = withString(page, function (p) { return mod.UTF8ToString(mod._qa_course_page(p, doc.frames.length - 1)); });
    return download(baseName + '-course.zip', await zip([
      { name: 'imsmanifest.xml', bytes: new TextEncoder().encode(manifest) },
      { name: 'index.html', bytes: new TextEncoder().encode(course) }]));
  }

  // --- wiring -----------------------------------------------------------------------------

  function numberOf(id) { var v = parseInt($(id).value, 10); return isNaN(v) || v < 0 ? 0 : v; }

  function wire() {
    $('files').addEventListener('change', function (e) { open(e.target.files).catch(fail); e.target.value = ''; });
    ['dragenter', 'dragover'].forEach(function (t) {
      window.addEventListener(t, function (e) { e.preventDefault(); document.body.classList.add('over'); });
    });
    window.addEventListener('dragleave', function () { document.body.classList.remove('over'); });
    window.addEventListener('drop', function (e) {
      e.preventDefault();
      document.body.classList.remove('over');
      if (e.dataTransfer && e.dataTransfer.files.length) open(e.dataTransfer.files).catch(fail);
    });
    $('undo').onclick = undo;
    $('redo').onclick = redo;
    $('play').onclick = function () {
      play([{ name: baseName + '.QVM', bytes: movieBytes(doc, at) }], true);
    };
    $('back').onclick = backToEditing;
    document.querySelectorAll('.save').forEach(function (b) {
      b.onclick = function () {
        status('Saving…');
        save(b.dataset.as).then(function () { status('Saved.'); }, fail);
      };
    });
    $('delay').onchange = function () {
      var ms = numberOf('delay');
      changeFrames(function (f) { f.delay = ms; f.click = false; f.box = null; }, true);
    };
    $('waits').onchange = function () {
      var on = $('waits').checked, p = doc.frames[at].p, h = pictureHeight(p);
      changeFrames(function (f) {
        f.click = on;
        f.box = on ? clipBox([width / 2 - 20, h / 2 - 15, width / 2 + 19, h / 2 + 14], p) : null;
        if (!on) f.delay = f.delay || 100;
      });
    };
    ['box-l', 'box-t', 'box-r', 'box-b'].forEach(function (id) {
      $(id).onchange = function () {
        var box = clipBox(['box-l', 'box-t', 'box-r', 'box-b'].map(numberOf), doc.frames[at].p);
        changeFrames(function (f) { f.click = true; f.box = box; });
      };
    });
    $('zoom').onchange = drawStage;
    $('drag-live').onchange = function () { shown = -1; drawStage(); };
    $('cut').onclick = function () { cut(false); };
    $('keep').onclick = function () { cut(true); };
    $('merge').onclick = mergeIdentical;
    $('title').onchange = function () { setDirective('WindowText', 'WindowText "' + $('title').value.replace(/"/g, '') + '"'); };
    $('splash').onchange = function () {
      setSplash($('splash').value.split('\n').map(function (l) { return l.replace(/\s+$/, ''); }).filter(Boolean));
    };
    $('fill').onchange = function () { setDirective('ScreenFill=', 'ScreenFill=' + $('fill').value); };
    $('rounded').onchange = function () { setDirective('WindowRoundingStyle=', $('rounded').checked ? 'WindowRoundingStyle=1' : null); };
    $('banner').onchange = function () { setDirective('HelpOn', $('banner').checked ? 'HelpOn' : null); };
    $('cover').onchange = function () { setDirective('CoverTaskBarOk', $('cover').checked ? 'CoverTaskBarOk' : null); };
    $('strip-h').onchange = function () { setDirective('TitleBarHeight ', 'TitleBarHeight ' + Math.min(99, numberOf('strip-h'))); };
    $('close-w').onchange = function () { setDirective('CloseRightEdge ', 'CloseRightEdge ' + Math.min(99, numberOf('close-w'))); };
    ['live-x', 'live-y', 'live-w', 'live-h'].forEach(function (id) {
      $(id).onchange = function () {
        var v = ['live-x', 'live-y', 'live-w', 'live-h'].map(numberOf);
        setLive([v[0], v[1], v[0] + Math.max(v[2], 1) - 1, v[1] + Math.max(v[3], 1) - 1]);
      };
    });
    $('inactive-set').onclick = function () { commit({ header: doc.header, frames: doc.frames, inactive: doc.frames[at].p }); };
    $('inactive-none').onclick = function () { commit({ header: doc.header, frames: doc.frames, inactive: -1 }); };
    window.addEventListener('keydown', function (e) {
      if (!doc || document.body.classList.contains('playing')) return;
      var typing = /^(INPUT|TEXTAREA|SELECT)$/.test(document.activeElement.tagName);
      var key = e.key.toLowerCase();
      if ((e.ctrlKey || e.metaKey) && key === 'z') { e.preventDefault(); return e.shiftKey ? redo() : undo(); }
      if ((e.ctrlKey || e.metaKey) && key === 'y') { e.preventDefault(); return redo(); }
      if (typing) return;
      if (e.key === 'ArrowDown' || e.key === 'ArrowRight') choose(Math.min(at + 1, doc.frames.length - 1), e.shiftKey);
      else if (e.key === 'ArrowUp' || e.key === 'ArrowLeft') choose(Math.max(at - 1, 0), e.shiftKey);
      else if (e.key === 'Delete') cut(false);
      else return;
      e.preventDefault();
    });
    window.addEventListener('resize', function () { if (doc) drawStage(); });
  }

  function fail(e) {
    console.error(e);
    status(String(e.message || e), true);
  }

  async function boot() {
    wire();
    mod = await createQvPlayer({ qvPage: painter, print: function () {}, printErr: function () {} });
    status('Ready.');
  }

  return {
    boot: boot,
    open: open,
    // For the tests: the state of the edits, and the edits as the panel makes them.
    timings: timings,
    state: function () { return { doc: doc, at: at, from: from, undo: undoList.length, redo: redoList.length }; },
    choose: choose,
    core: function () { return mod; }
  };
})();
