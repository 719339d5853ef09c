// The web platform, part four: the player window, a canvas on the page's black
// screen. Creating, showing and resizing it, the cursor, the foreground test
// and the request for a frame, which the page delivers on a later turn of its
// event loop as a posted message would be.
#include "platform/platform.h"
#include "platform/web/bridge.h"
#include "platform/web/web_shell.h"
#include "player/player.h"
#include "player/show_frame.h"

namespace {

bool g_shown = false;

// 40 pixels in from the screen's top-left corner when the window fits that
// way, else against the edge, as the Windows shell places it.
int32_t Inset(int32_t area_end, int32_t size) { return area_end - size >= 40 ? 40 : 0; }

}  // namespace

namespace web {

bool PlayerWindowShown() { return g_shown; }

void PlacePlayerWindow(const Player& p) {
  const platform::Rect area = platform::work_area();
  qv_js_place_window(Inset(area.right, p.geometry.WindowWid), Inset(area.bottom, p.geometry.WindowHgt));
  qv_js_resize_window(p.geometry.WindowWid, p.geometry.WindowHgt);
  ForgetWindowPicture();
}

}  // namespace web

namespace platform {

void create_player_window(Player* player) {
  const DisplayGeometry& g = player->geometry;
  const Rect area = work_area();
  qv_js_create_window(player->settings.WindowText, Inset(area.right, g.WindowWid),
                      Inset(area.bottom, g.WindowHgt), g.WindowWid, g.WindowHgt,
                      player->settings.WindowRoundingStyle == 1);
}

void show_player_window() {
  g_shown = true;
  qv_js_show_window();
}

// The first frame is asked for at once; the browser's event loop is the
// message loop, so nothing more runs here.
int run_player(Player* player) {
  ShowFrame(*player, 0);
  return 0;
}

// A canvas that changes size is cleared: the next picture is put whole.
void resize_player_window(int32_t w, int32_t h) {
  qv_js_resize_window(w, h);
  web::ForgetWindowPicture();
}

bool player_window_is_foreground() { return g_shown && qv_js_is_foreground(); }

void post_show_frame(int32_t n) { qv_js_post_show_frame(n); }

void set_cursor(int32_t cursor) { qv_js_set_cursor(cursor == kCursorWait); }

// A page cannot be minimised: the area does nothing.
void minimize_player_window() {}

}  // namespace platform
