// The page's entry points into the player. Each is called by the page runtime
// for one event (page/runtime.js) and only translates it: the decisions are
// the core's, as in the Windows shell's window procedures.
#include <emscripten/emscripten.h>

#include "platform/platform.h"
#include "platform/web/web_shell.h"
#include "player/geometry.h"
#include "player/input.h"
#include "player/player.h"
#include "player/show_frame.h"
#include "player/start_up.h"
#include "splash/splash.h"

namespace {

// The page names keys by their place in platform::Key.
platform::Key KeyOf(int32_t id) {
  return id >= 0 && id < platform::kKeyOther ? static_cast<platform::Key>(id) : platform::kKeyOther;
}

Player& P() { return ThePlayer(); }

void LetSplashGo() {
  web::HideSplash();
  BeginPlaying(P());
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void qv_add_file(const char* path, uint8_t* data, uint32_t size) {
  web::AddFile(path, data, size);
}

EMSCRIPTEN_KEEPALIVE void qv_set_module_file(const char* path) { web::SetModuleFile(path); }

// Start-up up to the index, which leaves the splash inviting the viewer's
// click, and the rows in play order.
EMSCRIPTEN_KEEPALIVE void qv_start() {
  StartUp(P());
  web::PutRowsInPlayOrder(P().movie);
}

// "#go", as an argument to the player: the window and frame 0 at once, the
// splash left where it is.
EMSCRIPTEN_KEEPALIVE void qv_begin() { BeginPlaying(P()); }

EMSCRIPTEN_KEEPALIVE void qv_splash_click() {
  if (web::SplashShown()) LetSplashGo();
}

EMSCRIPTEN_KEEPALIVE void qv_splash_key(int32_t id) {
  if (web::SplashShown() && OnSplashKey(KeyOf(id))) LetSplashGo();
}

EMSCRIPTEN_KEEPALIVE void qv_key(int32_t id) {
  OnKey(P(), KeyOf(id));
}

EMSCRIPTEN_KEEPALIVE void qv_click(int32_t x, int32_t y) { OnClick(P(), x, y); }

EMSCRIPTEN_KEEPALIVE void qv_mouse_move() { OnMouseMove(P()); }

// The page gained or lost the focus: the frame takes its active or inactive look.
EMSCRIPTEN_KEEPALIVE void qv_activation() {
  if (web::PlayerWindowShown()) ShowFrame(P(), P().CurrentFrame);
}

EMSCRIPTEN_KEEPALIVE void qv_deliver_frame(int32_t n) { ShowFrame(P(), n); }

EMSCRIPTEN_KEEPALIVE void qv_run_timer(int32_t id) { web::RunTimer(id); }

// The browser window changed size: the screen did. The layout is made again
// for it as at start-up.
EMSCRIPTEN_KEEPALIVE void qv_relayout() {
  Player& p = P();
  p.geometry = ComputeGeometry(p.movie, p.settings);
  web::PlacePlayerWindow(p);
  web::PlaceSplashWindow();
  if (web::PlayerWindowShown()) ShowFrame(p, p.CurrentFrame);
}

}  // extern "C"
