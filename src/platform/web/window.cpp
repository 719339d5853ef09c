// The web platform, part four: the player window, a canvas on the page's black
// screen. Creating, showing and resizing it, the cursor, the foreground test
// and the request for a frame, which the page delivers on a later turn of its
// event loop as a posted message would be.
#include "platform/platform.h"
#include "platform/web/bridge.h"
#include "platform/web/web_shell.h"
#include "player/geometry.h"
#include "player/player.h"

namespace {

bool g_shown = false;

}  // namespace

namespace web {

bool PlayerWindowShown() { return g_shown; }

void PlacePlayerWindow(const Player& p) {
  const platform::Point at = ::PlacePlayerWindow(platform::work_area(), p.geometry);
  qv_js_place_window(at.x, at.y);
  qv_js_resize_window(p.geometry.WindowWid, p.geometry.WindowHgt);
  ForgetWindowPicture();
}

}  // namespace web

namespace platform {

void create_player_window(const char* title, int32_t x, int32_t y, int32_t w, int32_t h,
                          int32_t rounding_style) {
  qv_js_create_window(title, x, y, w, h, rounding_style == 1);
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
