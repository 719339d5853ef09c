// The web platform, part three: canvases and drawing. Canvases are plain
// memory of the module. A picture reaches the page as 32-bit RGBA rows put
// into a page canvas; the core says which rows changed since the last draw,
// and only those are converted and put, a band of rows at a time.
#include <emscripten/emscripten.h>
#include <wasm_simd128.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/pixel_rows.h"
#include "platform/platform.h"
#include "platform/web/web_shell.h"

// Rows top .. top + rows - 1 of an RGBA picture of w x h at pixels, put at
// (x, y) of the window canvas (page/drawing.js).
EM_JS(void, qv_js_put, (const uint8_t* pixels, int32_t w, int32_t h, int32_t x, int32_t y, int32_t top, int32_t rows), {
  Module.qvPage.drawing.put(HEAPU8, pixels, w, h, x, y, top, rows);
});
// The banner's text: its width, and its picture, white on red, as RGBA rows
// of that width and kBannerHgt rows into rgba.
EM_JS(int32_t, qv_js_banner_width, (const char* text), {
  return Module.qvPage.drawing.bannerWidth(UTF8ToString(text));
});
EM_JS(void, qv_js_banner_render, (uint8_t* rgba, int32_t w, int32_t h, const char* text), {
  Module.qvPage.drawing.bannerRender(HEAPU8, rgba, w, h, UTF8ToString(text));
});

namespace {

constexpr int32_t kRowBytes = platform::kCanvasWid * 3;
constexpr int32_t kBannerHgt = 16;

int32_t Clip(int32_t v, int32_t limit) { return v < 0 ? 0 : v > limit ? limit : v; }

// Four pixels from a 16-byte load of which 12 bytes are used: the swizzle
// zeroes the alpha bytes (an index beyond the vector), which are then set.
v128_t FourPixels(const uint8_t* bgr, v128_t opaque) {
  const v128_t order = wasm_i8x16_make(2, 1, 0, -128, 5, 4, 3, -128, 8, 7, 6, -128, 11, 10, 9, -128);
  return wasm_v128_or(wasm_i8x16_swizzle(wasm_v128_load(bgr), order), opaque);
}

// Sixteen pixels a turn while a full load still lies inside the row, then
// one at a time.
void Expand(const uint8_t* bgr, uint32_t* to, int32_t w) {
  const v128_t opaque = wasm_i32x4_splat(int32_t(0xFF000000u));
  int32_t x = 0;
  for (; x + 18 <= w; x += 16, bgr += 48) {
    wasm_v128_store(to + x, FourPixels(bgr, opaque));
    wasm_v128_store(to + x + 4, FourPixels(bgr + 12, opaque));
    wasm_v128_store(to + x + 8, FourPixels(bgr + 24, opaque));
    wasm_v128_store(to + x + 12, FourPixels(bgr + 36, opaque));
  }
  for (; x < w; ++x, bgr += 3) {
    to[x] = 0xFF000000u | uint32_t(bgr[2]) | uint32_t(bgr[1]) << 8 | uint32_t(bgr[0]) << 16;
  }
}

// What the page's player canvas shows: RGBA rows of w x h pixels at (x, y),
// from the canvas or from the window's scaled picture, and whether it still
// shows them (a canvas that is cleared does not).
class Surface {
 public:
  // Converts the changed rows with expand(top, rows) and puts them, a band
  // at a time; every row when anything but the rows has changed.
  template <typename Expand>
  void put(int32_t x, int32_t y, int32_t w, int32_t h, bool scaled, const uint8_t* changed_rows,
           Expand expand) {
    if (w != w_ || h != h_) rgba_.assign(size_t(w) * h * 4, 0);
    if (!valid_ || x != x_ || y != y_ || w != w_ || h != h_ || scaled != scaled_) {
      changed_rows = nullptr;
    }
    x_ = x, y_ = y, w_ = w, h_ = h, scaled_ = scaled, valid_ = true;
    ForEachChangedRun(changed_rows, h, [&](int32_t top, int32_t rows) {
      expand(top, rows);
      qv_js_put(rgba_.data(), w, h, x, y, top, rows);
    });
  }
  void forget() { valid_ = false; }
  uint8_t* rgba() { return rgba_.data(); }

 private:
  int32_t x_ = -1, y_ = -1, w_ = -1, h_ = -1;
  bool scaled_ = false;
  bool valid_ = false;
  std::vector<uint8_t> rgba_;
};

Surface g_window;  // the page's player canvas
// The window's own picture, which the core scales frames into.
std::vector<uint8_t> g_window_bgrx;
int32_t g_window_wid = 0, g_window_hgt = 0;

}  // namespace

namespace web {

void ForgetWindowPicture() { g_window.forget(); }

}  // namespace web

namespace platform {

// A canvas is memory beyond the allocator's break, which nothing has used
// yet: the module's memory is zero when it grows, and the break never moves
// back, so the canvas is black without being cleared. Clearing three of them
// (65 MB) cost a quarter of a second of the page's start-up. The player keeps
// its canvases to the end.
Canvas create_canvas() {
  void* pixels = sbrk(intptr_t(kCanvasHgt) * kRowBytes);
  if (pixels == reinterpret_cast<void*>(-1)) {
    pixels = std::calloc(size_t(kCanvasHgt), size_t(kRowBytes));
  }
  return {static_cast<uint8_t*>(pixels), nullptr};
}

void copy_canvas(Canvas dst, Canvas src, int32_t x, int32_t y, int32_t w, int32_t h) {
  CopyCanvasBlock(dst.pixels, src.pixels, x, y, w, h);
}

int32_t banner_text_width(Canvas, const char* text) { return qv_js_banner_width(text); }

// The page draws the text; its pixels are clipped to the canvas here.
int32_t draw_banner_text(Canvas canvas, int32_t x, int32_t y, const char* text) {
  const int32_t w = qv_js_banner_width(text);
  if (w <= 0) return 0;
  std::vector<uint8_t> rgba(size_t(w) * kBannerHgt * 4);
  qv_js_banner_render(rgba.data(), w, kBannerHgt, text);
  const int32_t x0 = Clip(x, kCanvasWid), x1 = Clip(x + w, kCanvasWid);
  for (int32_t row = 0; row < kBannerHgt; ++row) {
    const int32_t cy = y + row;
    if (cy < 0 || cy >= kCanvasHgt) continue;
    for (int32_t cx = x0; cx < x1; ++cx) {
      const uint8_t* s = rgba.data() + (size_t(row) * w + (cx - x)) * 4;
      uint8_t* d = canvas.pixels + size_t(cy) * kRowBytes + size_t(cx) * 3;
      d[0] = s[2], d[1] = s[1], d[2] = s[0];
    }
  }
  return kBannerHgt;
}

void draw_to_window(Canvas src, int32_t x, int32_t y, int32_t w, int32_t h,
                    const uint8_t* changed_rows) {
  w = Clip(w, kCanvasWid), h = Clip(h, kCanvasHgt);
  if (w == 0 || h == 0) return;
  g_window.put(x, y, w, h, false, changed_rows, [&](int32_t top, int32_t rows) {
    for (int32_t row = top; row < top + rows; ++row) {
      Expand(src.pixels + size_t(row) * kRowBytes,
             reinterpret_cast<uint32_t*>(g_window.rgba() + size_t(row) * w * 4), w);
    }
  });
}

// As large as the browser window (a scaled window fits in it); a window
// grown beyond it makes it anew, and the core then scales every row again.
// Not the canvas's 3000 x 2400: that would be 29 MB a small page never uses.
WindowPixels window_pixels() {
  int32_t w, h;
  screen_size(&w, &h);
  w = w > 1 ? w : 1, h = h > 1 ? h : 1;
  if (w > g_window_wid || h > g_window_hgt || g_window_bgrx.empty()) {
    g_window_wid = w > g_window_wid ? w : g_window_wid;
    g_window_hgt = h > g_window_hgt ? h : g_window_hgt;
    g_window_bgrx.assign(size_t(g_window_wid) * g_window_hgt * 4, 0);
  }
  return {g_window_bgrx.data(), g_window_wid * 4, g_window_wid, g_window_hgt};
}

void draw_window_pixels(int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* changed_rows) {
  w = Clip(w, g_window_wid), h = Clip(h, g_window_hgt);
  if (w == 0 || h == 0) return;
  g_window.put(x, y, w, h, true, changed_rows, [&](int32_t top, int32_t rows) {
    for (int32_t row = top; row < top + rows; ++row) {
      const uint8_t* from = g_window_bgrx.data() + size_t(row) * g_window_wid * 4;
      uint8_t* to = g_window.rgba() + size_t(row) * w * 4;
      const v128_t order = wasm_i8x16_make(2, 1, 0, -128, 6, 5, 4, -128, 10, 9, 8, -128, 14, 13, 12, -128);
      const v128_t opaque = wasm_i32x4_splat(int32_t(0xFF000000u));
      int32_t i = 0;
      for (; i + 4 <= w; i += 4, from += 16, to += 16) {
        wasm_v128_store(to, wasm_v128_or(wasm_i8x16_swizzle(wasm_v128_load(from), order), opaque));
      }
      for (; i < w; ++i, from += 4, to += 4) {
        to[0] = from[2], to[1] = from[1], to[2] = from[0], to[3] = 0xFF;
      }
    }
  });
}

}  // namespace platform
