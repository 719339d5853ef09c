// The web platform's calls into the page: each forwards to the page runtime
// (Module.qvPage, made by page/runtime.js), which owns the DOM.
mergeInto(LibraryManager.library, {
  qv_js_exit__deps: ['$FS'],
  qv_js_exit: function (code) {
    // A tag is written without a line end; it is the movie's last line.
    var stdout = FS.getStream(1);
    if (stdout && stdout.tty) stdout.tty.ops.flush(stdout.tty);
    if (Module.qvOutputLine) out(Module.qvOutputLine);
    Module.qvOutputLine = '';
    Module.qvPage.exit(code);
    // Nothing of the movie may run on: the exception unwinds every C++ frame
    // up to the runtime's entry, which knows it by name.
    throw 'unwind';
  },
  qv_js_message_box: function (text, caption, failure) {
    Module.qvPage.messageBox(UTF8ToString(text), UTF8ToString(caption), failure);
  },
  qv_js_set_timer: function (id, ms) { Module.qvPage.setTimer(id, ms); },
  qv_js_post_show_frame: function (n) { Module.qvPage.postShowFrame(n); },
  qv_js_now_ms: function () { return performance.now(); },
  qv_js_screen: function (w, h) {
    var s = Module.qvPage.screen();
    HEAP32[w >> 2] = s.width;
    HEAP32[h >> 2] = s.height;
  },
  qv_js_create_window: function (title, x, y, w, h, rounded) {
    Module.qvPage.createWindow(UTF8ToString(title), x, y, w, h, rounded);
  },
  qv_js_show_window: function () { Module.qvPage.showWindow(); },
  qv_js_resize_window: function (w, h) { Module.qvPage.resizeWindow(w, h); },
  qv_js_place_window: function (x, y) { Module.qvPage.placeWindow(x, y); },
  qv_js_is_foreground: function () { return Module.qvPage.isForeground() ? 1 : 0; },
  qv_js_set_cursor: function (wait) { Module.qvPage.setCursor(wait); },
  // Whole lines go to the console; a line not yet ended waits for the rest.
  qv_js_write_output: function (text) {
    var lines = ((Module.qvOutputLine || '') + UTF8ToString(text)).split('\n');
    Module.qvOutputLine = lines.pop();
    lines.forEach(function (line) { out(line); });
  },
  qv_js_put: function (pixels, w, h, x, y, top, rows) {
    Module.qvPage.put(HEAPU8, pixels, w, h, x, y, top, rows);
  },
  qv_js_banner_width: function (text) { return Module.qvPage.bannerWidth(UTF8ToString(text)); },
  qv_js_banner_draw: function (canvas, x, y, text) {
    return Module.qvPage.bannerDraw(HEAPU8, canvas, x, y, UTF8ToString(text));
  },
  qv_js_splash_create: function (x, y, w, h) { Module.qvPage.splashCreate(x, y, w, h); },
  qv_js_splash_hide: function () { Module.qvPage.splashHide(); },
  qv_js_splash_fill: function (w, h, colour) { Module.qvPage.splashFill(w, h, colour); },
  qv_js_splash_text_width: function (hgt, quality, text) {
    return Module.qvPage.splashTextWidth(hgt, quality, UTF8ToString(text));
  },
  qv_js_splash_text: function (x, y, hgt, quality, colour, opaque, text) {
    Module.qvPage.splashText(x, y, hgt, quality, colour, opaque, UTF8ToString(text));
  },
});
