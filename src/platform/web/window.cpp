// The web platform, part four: the player window, a canvas on the page's black
// screen. Creating, showing and resizing it, the cursor, the foreground test
// and the request for a frame, which the page delivers on a later turn of its
// event loop as a posted message would be.
#include <emscripten/emscripten.h>

#include "platform/platform.h"
#include "platform/web/web_shell.h"
#include "player/player.h"

// The player window is a canvas on the page's black screen (page/drawing.js).
EM_JS(void, qv_js_create_window, (const char* title, int32_t x, int32_t y, int32_t w, int32_t h, int rounded), {
  Module.qvPage.drawing.createWindow(UTF8ToString(title), x, y, w, h, rounded);
});
EM_JS(void, qv_js_show_window, (), { Module.qvPage.drawing.showWindow(); });
EM_JS(void, qv_js_resize_window, (int32_t w, int32_t h), { Module.qvPage.drawing.resizeWindow(w, h); });
EM_JS(void, qv_js_place_window, (int32_t x, int32_t y), { Module.qvPage.drawing.placeWindow(x, y); });
EM_JS(int, qv_js_is_foreground, (), { return Module.qvPage.focused() ? 1 : 0; });
EM_JS(void, qv_js_set_cursor, (int wait), { Module.qvPage.drawing.setCursor(wait); });
EM_JS(void, qv_js_post_show_frame, (int32_t n), { Module.qvPage.later("qv_deliver_frame", n); });

namespace {

bool g_shown = false;

// The page centres the window in its area, as it has no desktop to place it
// on; a window larger than the area starts at its top-left corner.
platform::Point CentreIn(const platform::Rect& area, const DisplayGeometry& g) {
  const int32_t x = (area.right - area.left - g.WindowWid) / 2;
  const int32_t y = (area.bottom - area.top - g.WindowHgt) / 2;
  return {x > 0 ? x : 0, y > 0 ? y : 0};
}

}  // namespace

namespace web {

bool PlayerWindowShown() { return g_shown; }

void PlacePlayerWindow(const Player& p) {
  const platform::Point at = CentreIn(platform::work_area(), p.geometry);
  qv_js_place_window(at.x, at.y);
  qv_js_resize_window(p.geometry.WindowWid, p.geometry.WindowHgt);
  ForgetWindowPicture();
}

}  // namespace web

namespace platform {

// The desktop's place for the window is not the page's: it is centred.
void create_player_window(const char* title, int32_t, int32_t, int32_t w, int32_t h,
                          int32_t rounding_style) {
  const platform::Point at = CentreIn(work_area(), ThePlayer().geometry);
  qv_js_create_window(title, at.x, at.y, w, h, rounding_style == 1);
}

void show_player_window() {
  g_shown = true;
  qv_js_show_window();
}

// A canvas that changes size is cleared: the next picture is put whole.
void resize_player_window(int32_t w, int32_t h) {
  qv_js_resize_window(w, h);
  web::ForgetWindowPicture();
}

bool player_window_is_foreground() { return g_shown && qv_js_is_foreground(); }

void post_show_frame(int32_t n) { qv_js_post_show_frame(n); }

void set_cursor(Cursor cursor) { qv_js_set_cursor(cursor == kCursorWait); }

// A page cannot be minimised: the area does nothing.
void minimize_player_window() {}

}  // namespace platform
