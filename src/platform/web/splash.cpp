// The web platform, part five: the splash window, a canvas of its own, and the
// splash painting operations. The splash is made at once when it starts, and
// painted again once the index is built.
#include <emscripten/emscripten.h>

#include "platform/platform.h"
#include "platform/web/web_shell.h"
#include "player/player.h"
#include "splash/splash.h"

// The splash window is a canvas of its own (page/drawing.js).
EM_JS(void, qv_js_splash_create, (int32_t w, int32_t h), { Module.qvPage.drawing.splashCreate(w, h); });
EM_JS(void, qv_js_splash_hide, (), { Module.qvPage.drawing.splashHide(); });
EM_JS(void, qv_js_splash_fill, (int32_t w, int32_t h, uint32_t colour), {
  Module.qvPage.drawing.splashFill(w, h, colour);
});
EM_JS(int32_t, qv_js_splash_text_width, (int32_t hgt, int32_t quality, const char* text), {
  return Module.qvPage.drawing.splashTextWidth(hgt, quality, UTF8ToString(text));
});
EM_JS(void, qv_js_splash_text, (int32_t x, int32_t y, int32_t hgt, int32_t quality, uint32_t colour, int opaque, const char* text), {
  Module.qvPage.drawing.splashText(x, y, hgt, quality, colour, opaque, UTF8ToString(text));
});

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
  // The page centres the splash in its area, scaled down where it is smaller.
  qv_js_splash_create(kSplashWid, kSplashHgt);
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
