// The page runtime, part two: drawing. The player window and the splash are
// canvases on the page's black screen; the player puts its rows into them and
// asks for the banner's and the splash's text, which the browser draws.
QvPage.drawing = (function (page) {
  'use strict';

  var BANNER_FONT = 'bold 13px Arial, Helvetica, sans-serif';
  var SPLASH_FACE = '"Trebuchet MS", "DejaVu Sans", Verdana, sans-serif';
  var scratch = document.createElement('canvas').getContext('2d');
  var screenEl = page.$('screen');
  var css = page.css;

  function colour(c) { return 'rgb(' + (c & 255) + ',' + ((c >> 8) & 255) + ',' + ((c >> 16) & 255) + ')'; }

  // An ImageData over the module's own memory: nothing is copied on the way
  // to the canvas. It is made again when the memory has grown.
  function imageOver(r, heap, ptr, w, h) {
    var img = r.image;
    if (!img || img.data.buffer !== heap.buffer || r.imagePtr !== ptr || img.width !== w || img.height !== h) {
      img = r.image = new ImageData(new Uint8ClampedArray(heap.buffer, ptr, w * h * 4), w, h);
      r.imagePtr = ptr;
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

  // The splash's painting on the 2-D context that context() gives: the
  // page's splash, or the author page's preview of it.
  function splashPainter(context) {
    return {
      splashFill: function (w, h, c) {
        var g = context();
        g.fillStyle = colour(c);
        g.fillRect(0, 0, w, h);
      },
      splashTextWidth: function (hgt, quality, text) {
        var g = context();
        splashFont(g, hgt);
        return Math.round(g.measureText(text).width);
      },
      // The text cell's top-left corner is at (x, y); an opaque cell is white.
      splashText: function (x, y, hgt, quality, c, opaque, text) {
        var g = context();
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
  }

  // The poster stands for the movie until the player shows its first window.
  function dropPoster() {
    var box = page.$('poster-box');
    if (box) box.remove();
  }

  var d = {
    createWindow: function (title, x, y, w, h, rounded) {
      document.title = title;
      var r = page.run;
      var c = r.window = document.createElement('canvas');
      c.id = 'player';
      c.style.display = 'none';
      c.style.zIndex = 2;
      c.style.background = '#000';  // the window class's brush
      if (rounded) c.style.borderRadius = css(5.5) + ' ' + css(5.5) + ' 0 0';
      c.setAttribute('role', 'img');
      c.setAttribute('aria-label', title || 'The movie');
      if (page.controls) page.controls.wirePicture(c);
      screenEl.append(c);
      r.ctx = c.getContext('2d');
      d.placeWindow(x, y);
      d.resizeWindow(w, h);
    },
    showWindow: function () {
      dropPoster();
      page.run.window.style.display = 'block';
    },
    placeWindow: function (x, y) { page.run.window.style.left = css(x); page.run.window.style.top = css(y); },
    resizeWindow: function (w, h) {
      var c = page.run.window;
      c.width = Math.max(w, 0);
      c.height = Math.max(h, 0);
      c.style.width = css(c.width);
      c.style.height = css(c.height);
    },
    setCursor: function (wait) {
      var cursor = wait ? 'wait' : 'default';
      if (document.body.style.cursor !== cursor) document.body.style.cursor = cursor;
    },
    put: function (heap, ptr, w, h, x, y, top, rows) {
      var r = page.run;
      r.ctx.putImageData(imageOver(r, heap, ptr, w, h), x, y, 0, top, w, rows);
      // When the page's first picture of the movie was drawn, in ms from the
      // page's opening (for the benchmarks).
      if (page.firstPictureMs === null) page.firstPictureMs = performance.now();
    },

    bannerWidth: function (text) {
      scratch.font = BANNER_FONT;
      return Math.ceil(scratch.measureText(text).width);
    },
    // White on red, as w x h RGBA pixels at rgba.
    bannerRender: function (heap, rgba, w, h, text) {
      var c = document.createElement('canvas');
      c.width = w;
      c.height = h;
      var g = c.getContext('2d', { willReadFrequently: true });
      g.fillStyle = '#ff0000';
      g.fillRect(0, 0, w, h);
      g.font = BANNER_FONT;
      g.fillStyle = '#ffffff';
      g.textBaseline = 'alphabetic';
      g.fillText(text, 0, 13);
      heap.set(g.getImageData(0, 0, w, h).data, rgba);
    },

    // The splash is centred in the page's area and scaled down where the area
    // is smaller: the same picture, drawn at its own size.
    splashCreate: function (w, h) {
      var r = page.run;
      if (!r.splash) {
        var c = r.splash = document.createElement('canvas');
        c.id = 'splash';
        c.style.zIndex = 1;
        c.setAttribute('role', 'button');
        c.setAttribute('aria-label', 'Start the movie');
        c.addEventListener('pointerdown', function (e) { if (e.button === 0) page.call('qv_splash_click'); });
        screenEl.append(c);
        r.splashCtx = c.getContext('2d');
      }
      var s = r.splash, area = page.area();
      var scale = Math.min(1, area.width * page.dpr() / w, area.height * page.dpr() / h);
      s.width = w;
      s.height = h;
      s.style.width = css(w * scale);
      s.style.height = css(h * scale);
      s.style.left = Math.max((area.width - w * scale / page.dpr()) / 2, 0) + 'px';
      s.style.top = Math.max((area.height - h * scale / page.dpr()) / 2, 0) + 'px';
      s.style.display = 'block';
      dropPoster();
    },
    splashHide: function () { if (page.run.splash) page.run.splash.style.display = 'none'; }
  };
  Object.assign(d, splashPainter(function () { return page.run.splashCtx; }));
  page.splashPainter = splashPainter;  // for the author page's splash preview
  return d;
})(QvPage);
