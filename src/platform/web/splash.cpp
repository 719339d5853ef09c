// The web platform, part five: the splash window, a canvas of its own, and the
// splash painting operations. The splash is made at once when it starts, and
// painted again once the index is built.
#include "platform/platform.h"
#include "platform/web/bridge.h"
#include "platform/web/web_shell.h"
#include "player/player.h"
#include "splash/splash.h"

namespace {

bool g_visible = false;

}  // namespace

namespace web {

void PaintSplashWindow() {
  const Player& p = ThePlayer();
  if (g_visible) PaintSplash(p.movie, p.index.IndexingDone);
}

void PlaceSplashWindow() {
  if (!g_visible) return;
  const platform::Point at = PlaceSplash(platform::work_area());
  qv_js_splash_create(at.x, at.y, kSplashWid, kSplashHgt);
  PaintSplashWindow();
}

bool SplashShown() { return g_visible; }

void HideSplash() {
  g_visible = false;
  qv_js_splash_hide();
}

}  // namespace web

namespace platform {

void start_splash() {
  g_visible = true;
  web::PlaceSplashWindow();
}

void invite_splash() { web::PaintSplashWindow(); }

void splash_fill(int32_t w, int32_t h, uint32_t colour) { qv_js_splash_fill(w, h, colour); }

int32_t splash_text_width(int32_t font_hgt, int32_t quality, const char* text) {
  return qv_js_splash_text_width(font_hgt, quality, text);
}

void splash_draw_text(int32_t x, int32_t y, int32_t font_hgt, int32_t quality, uint32_t colour,
                      bool opaque, const char* text) {
  qv_js_splash_text(x, y, font_hgt, quality, colour, opaque ? 1 : 0, text);
}

}  // namespace platform
