// The page runtime, part three: the movie's files. The movie written into the
// page, files opened or dropped onto the viewer, or a movie fetched from the
// address after "#src=": all go into the module's folder /movie, where the
// player's locator finds the movie as it would beside the exe.
QvPage.viewer = (function (page) {
  'use strict';

  var $ = page.$;
  var files = null;  // [{name, bytes}] or, written into the page, {packed, list: [{name, size}]}

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

  // The movie written into the page: its files one after another in one gzip
  // stream, inflated straight into the module's memory.
  // Its progress shows on the poster.
  async function inflateInto(mod, packed, targets) {
    var stream = packed.pipeThrough(new DecompressionStream('gzip'));
    var reader = stream.getReader(), i = 0, at = 0, done = 0, total = 0;
    targets.forEach(function (t) { total += t.size; });
    for (;;) {
      var step = await reader.read();
      if (step.done) break;
      var v = step.value;
      // The bar moves in steps of a percent, not for every piece.
      if (total && Math.floor((done + v.length) * 100 / total) !== Math.floor(done * 100 / total)) {
        page.setProgress((done + v.length) / total, 'Loading the movie');
      }
      done += v.length;
      while (v.length && i < targets.length) {
        var n = Math.min(v.length, targets[i].size - at);
        mod.HEAPU8.set(v.subarray(0, n), targets[i].ptr + at);
        at += n;
        v = v.subarray(n);
        if (at === targets[i].size) { i++; at = 0; }
      }
    }
  }

  var v = { dropping: false };

  // Puts the files into the module and names them to the player.
  v.putFiles = async function (r) {
    var mod = r.mod, targets;
    if (files.packed) {
      targets = place(mod, files.list);
      await inflateInto(mod, await files.packed(), targets);
      $('progress').hidden = true;
    } else {
      targets = place(mod, files.map(function (f) { return { name: f.name, size: f.bytes.length }; }));
      files.forEach(function (f, i) { mod.HEAPU8.set(f.bytes, targets[i].ptr); });
    }
    targets.forEach(function (t) {
      var path = '/movie/' + t.name;
      addFile(mod, path, t.ptr, t.size);
      page.call('qv_add_file', path, t.ptr, t.size);
    });
  };

  function play(list) {
    files = list.map(function (f) { return { name: f.name.replace(/[\/\\]/g, '_'), bytes: f.bytes }; });
    return page.start().catch(page.fault);
  }

  // A movie handed over by a page that holds this player (the author page),
  // played as the viewer plays an opened one; go starts it as "#go" does.
  v.play = function (list, go) {
    return play(list).then(function () { if (go && !page.options.go) page.call('qv_begin'); });
  };

  async function openFiles(fileList) {
    var list = await Promise.all(Array.prototype.map.call(fileList, async function (f) {
      return { name: f.name, bytes: new Uint8Array(await f.arrayBuffer()) };
    }));
    if (list.length) play(list);
  }

  function showViewer() {
    v.dropping = true;
    $('screen').textContent = '';
    $('end').className = 'panel';
    $('viewer').className = 'panel on';
  }

  function wire() {
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

  // "#src=ADDRESS": the movie fetched, with its progress shown; a fetch that
  // fails says why.
  async function fetchMovie(src) {
    var url = new URL(src, location.href);
    var name = decodeURIComponent(url.pathname.split('/').pop() || 'movie.QVM');
    var progress = $('progress');
    progress.hidden = false;
    try {
      var response = await fetch(url);
      if (!response.ok) throw new Error('the server answered ' + response.status + ' ' + response.statusText);
      var total = Number(response.headers.get('Content-Length')) || 0, got = 0, parts = [];
      var reader = response.body.getReader();
      for (;;) {
        var step = await reader.read();
        if (step.done) break;
        parts.push(step.value);
        got += step.value.length;
        page.setProgress(total ? got / total : null, 'Loading the movie');
      }
      var bytes = new Uint8Array(got), at = 0;
      parts.forEach(function (p) { bytes.set(p, at); at += p.length; });
      progress.hidden = true;
      play([{ name: name, bytes: bytes }]);
    } catch (e) {
      progress.hidden = true;
      page.showEnd('The movie cannot be loaded', 'The movie at ' + url.href + ' cannot be loaded: ' +
                   (e && e.message || e) + '.', false);
    }
  }

  function decode64(text) {
    var bin = atob(text), bytes = new Uint8Array(bin.length);
    for (var i = 0; i < bin.length; i++) bytes[i] = bin.charCodeAt(i);
    return bytes;
  }

  // The movie written into the page: "name:size" pairs in data-files, the
  // gzip stream of their bytes in the element's text.
  v.boot = function () {
    wire();
    var el = $('qv-movie');
    if (page.options.src) return fetchMovie(page.options.src);
    if (!el) return showViewer();
    var packed = decode64(el.textContent);
    files = {
      packed: async function () { return new Blob([packed]).stream(); },
      list: el.getAttribute('data-files').split('/').map(function (f) {
        var colon = f.lastIndexOf(':');
        return { name: decodeURIComponent(f.slice(0, colon)), size: Number(f.slice(colon + 1)) };
      })
    };
    el.textContent = '';
    page.start().catch(page.fault);
  };
  return v;
})(QvPage);
