// The page runtime, part three: the movie's files. The movie written into the
// page, files opened or dropped onto the viewer, or a movie fetched from the
// address after "#src=": all go into the module's folder /movie, where the
// player's locator finds the movie as it would beside the exe.
QvPage.viewer = (function (page) {
  'use strict';

  var $ = page.$;
  // [{name, bytes}], or the movie written into the page: {list: [{name, size}],
  // the sizes of its pieces, and a promise of each piece's {bytes, blob}}.
  var files = null;

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

  // The files one after another in one block of the module's memory.
  function place(mod, list) {
    var total = list.reduce(function (sum, f) { return sum + f.size; }, 0);
    var ptr = mod._malloc(Math.max(total, 1));
    if (!ptr) throw new Error('not enough memory for the movie');
    return list.map(function (f) {
      var t = { name: f.name, size: f.size, ptr: ptr };
      ptr += f.size;
      return t;
    });
  }

  // The movie written into the page: each piece copied into the module's
  // memory as the workers hand it over, and let go. Its progress shows on the
  // poster. The packed pieces are kept (as Blobs, outside the page's heap) to
  // play the movie again.
  async function inflateInto(mod, movie, targets) {
    var total = targets.reduce(function (sum, t) { return sum + t.size; }, 0), done = 0, blobs = [];
    // The pieces must fill the files exactly, or they would write past them.
    if (movie.sizes.reduce(function (a, b) { return a + b; }, 0) !== total) {
      throw new Error('the movie is damaged (its pieces do not fit its files)');
    }
    for (var i = 0; i < movie.sizes.length; i++) {
      var piece = await movie.pieces[i];
      movie.pieces[i] = null;
      mod.HEAPU8.set(piece.bytes, targets[0].ptr + done);
      blobs.push(piece.blob);
      done += movie.sizes[i];
      page.setProgress(done / total, 'Loading the movie');
    }
    movie.again = blobs;
  }

  // The pieces once more, from their Blobs, to play the movie again.
  function inflateAgain(movie) {
    var pieces = QvLoad.inflater();
    movie.pieces = movie.again.map(function (blob, i) { return pieces.add({ packed: blob, size: movie.sizes[i] }); });
    pieces.close();
  }

  var v = { dropping: false };

  // Puts the files into the module and names them to the player.
  v.putFiles = async function (r) {
    var mod = r.mod, targets;
    if (files.sizes) {
      targets = place(mod, files.list);
      if (files.again) inflateAgain(files);
      await inflateInto(mod, files, targets);
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

  // The movie written into the page, on its way since the page was read.
  v.boot = function () {
    wire();
    if (page.options.src) return fetchMovie(page.options.src);
    var movie = QvLoad.movie;
    if (!movie) return showViewer();
    files = { list: movie.files, sizes: movie.sizes, pieces: movie.pieces };
    QvLoad.movie = null;
    page.start().catch(page.fault);
  };
  return v;
})(QvPage);
