// The web platform, part three: canvases and drawing. Canvases are plain
// memory of the module. A picture reaches the page as 32-bit RGBA rows put
// into a page canvas. Every canvas keeps a mark for each row that changed
// since the page was last given it: a copy writes only the rows that differ
// and marks them, and a draw converts and puts only the marked rows, since a
// screen movie changes few rows from one frame to the next.
#include <wasm_simd128.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "platform/web/bridge.h"
#include "platform/web/web_shell.h"

namespace {

constexpr int32_t kRowBytes = platform::kCanvasWid * 3;

int32_t Clip(int32_t v, int32_t limit) { return v < 0 ? 0 : v > limit ? limit : v; }

// The C library's memcmp compares byte by byte here; rows are compared 64
// bytes at a time with the vector instructions instead, as every browser
// that inflates the page's movie has them.
bool SameBytes(const uint8_t* a, const uint8_t* b, size_t n) {
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    v128_t d = wasm_v128_xor(wasm_v128_load(a + i), wasm_v128_load(b + i));
    d = wasm_v128_or(d, wasm_v128_xor(wasm_v128_load(a + i + 16), wasm_v128_load(b + i + 16)));
    d = wasm_v128_or(d, wasm_v128_xor(wasm_v128_load(a + i + 32), wasm_v128_load(b + i + 32)));
    d = wasm_v128_or(d, wasm_v128_xor(wasm_v128_load(a + i + 48), wasm_v128_load(b + i + 48)));
    if (wasm_v128_any_true(d)) return false;
  }
  for (; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// The shell's side of a canvas (its handle): which rows changed since the
// page last took them. The core also writes pixels directly, into canvases
// that are only ever copied from (the frame and the inactive picture), never
// into one that is drawn.
struct Marks {
  bool changed[platform::kCanvasHgt];
  void all() {
    for (bool& c : changed) c = true;
  }
};

Marks* MarksOf(platform::Canvas c) { return static_cast<Marks*>(c.handle); }

// Four pixels at a time: a 16-byte load of which 12 bytes are used, so the
// vector loop stops while a full load still lies inside the row.
void Expand(const uint8_t* bgr, uint32_t* to, int32_t w) {
  const v128_t opaque = wasm_i32x4_splat(int32_t(0xFF000000u));
  int32_t x = 0;
  for (; x + 6 <= w; x += 4, bgr += 12) {
    const v128_t v = wasm_v128_load(bgr);
    const v128_t rgb = wasm_i8x16_shuffle(v, v, 2, 1, 0, 3, 5, 4, 3, 6, 8, 7, 6, 9, 11, 10, 9, 12);
    wasm_v128_store(to + x, wasm_v128_or(wasm_v128_and(rgb, wasm_i32x4_splat(0x00FFFFFF)), opaque));
  }
  for (; x < w; ++x, bgr += 3) {
    to[x] = 0xFF000000u | uint32_t(bgr[2]) | uint32_t(bgr[1]) << 8 | uint32_t(bgr[0]) << 16;
  }
}

// What one page canvas shows: the RGBA form of a canvas's top-left w x h
// pixels, as the page last put them.
class Surface {
 public:
  // Converts the changed rows of src (all of them after a forget or a new
  // size); returns them as [*top, *top + *rows).
  void take(platform::Canvas src, int32_t w, int32_t h, int32_t* top, int32_t* rows) {
    Marks* marks = MarksOf(src);
    if (w != w_ || h != h_ || src.pixels != from_) {
      w_ = w, h_ = h, from_ = src.pixels;
      rgba_.assign(size_t(w) * h * 4, 0);
      valid_ = false;
    }
    int32_t first = -1, last = -1;
    for (int32_t y = 0; y < h; ++y) {
      if (valid_ && !marks->changed[y]) continue;
      Expand(src.pixels + size_t(y) * kRowBytes, reinterpret_cast<uint32_t*>(rgba_.data() + size_t(y) * w * 4), w);
      if (first < 0) first = y;
      last = y;
    }
    // The marks are this surface's: each canvas is drawn through one surface.
    for (int32_t y = 0; y < h; ++y) marks->changed[y] = false;
    valid_ = true;
    *top = first < 0 ? 0 : first;
    *rows = first < 0 ? 0 : last - first + 1;
  }
  // The page canvas was cleared or moved: every row is put again.
  void forget() { valid_ = false; }
  const uint8_t* rgba() const { return rgba_.data(); }

 private:
  int32_t w_ = -1, h_ = -1;
  const uint8_t* from_ = nullptr;
  bool valid_ = false;
  std::vector<uint8_t> rgba_;
};

Surface g_window;   // the 1:1 picture, put straight into the window
int32_t g_window_x = -1, g_window_y = -1;
// The window's own picture, which the core scales frames into, and its RGBA
// form for the page.
std::vector<uint8_t> g_window_bgrx, g_window_rgba;
int32_t g_window_wid = 0, g_window_hgt = 0;

}  // namespace

namespace web {

void ForgetWindowPicture() { g_window.forget(); }

}  // namespace web

namespace platform {

Canvas create_canvas() {
  auto* pixels = static_cast<uint8_t*>(std::calloc(size_t(kCanvasHgt), size_t(kRowBytes)));
  auto* marks = new Marks;
  marks->all();
  return {pixels, marks};
}

// Rows that already hold what is copied are left alone and unmarked.
void copy_canvas(Canvas dst, Canvas src, int32_t x, int32_t y, int32_t w, int32_t h) {
  const int32_t x0 = Clip(x, kCanvasWid), x1 = Clip(x + w, kCanvasWid);
  const int32_t y0 = Clip(y, kCanvasHgt), y1 = Clip(y + h, kCanvasHgt);
  if (x1 <= x0) return;
  const size_t bytes = size_t(x1 - x0) * 3;
  Marks* marks = MarksOf(dst);
  for (int32_t row = y0; row < y1; ++row) {
    const size_t at = size_t(row) * kRowBytes + size_t(x0) * 3;
    if (SameBytes(dst.pixels + at, src.pixels + at, bytes)) continue;
    std::memcpy(dst.pixels + at, src.pixels + at, bytes);
    marks->changed[row] = true;
  }
}

int32_t banner_text_width(Canvas, const char* text) { return qv_js_banner_width(text); }

void draw_banner_text(Canvas canvas, int32_t x, int32_t y, const char* text) {
  int32_t rows = qv_js_banner_draw(canvas.pixels, x, y, text);
  for (int32_t row = Clip(y, kCanvasHgt); row < Clip(y + rows, kCanvasHgt); ++row) {
    MarksOf(canvas)->changed[row] = true;
  }
}

void draw_to_window(Canvas src, int32_t x, int32_t y, int32_t w, int32_t h) {
  w = Clip(w, kCanvasWid), h = Clip(h, kCanvasHgt);
  if (w == 0 || h == 0) return;
  if (x != g_window_x || y != g_window_y) g_window.forget();
  g_window_x = x, g_window_y = y;
  int32_t top, rows;
  g_window.take(src, w, h, &top, &rows);
  if (rows > 0) qv_js_put(g_window.rgba(), w, h, x, y, top, rows);
}

// As large as a canvas or the browser window, whichever is larger; a window
// grown beyond it makes it anew, and the core then scales every row again.
WindowPixels window_pixels() {
  int32_t w, h;
  screen_size(&w, &h);
  if (w > g_window_wid || h > g_window_hgt || g_window_bgrx.empty()) {
    g_window_wid = w > kCanvasWid ? w : kCanvasWid;
    g_window_hgt = h > kCanvasHgt ? h : kCanvasHgt;
    g_window_bgrx.assign(size_t(g_window_wid) * g_window_hgt * 4, 0);
  }
  return {g_window_bgrx.data(), g_window_wid * 4, g_window_wid, g_window_hgt};
}

void draw_window_pixels(int32_t x, int32_t y, int32_t w, int32_t h) {
  w = Clip(w, g_window_wid), h = Clip(h, g_window_hgt);
  if (w == 0 || h == 0) return;
  g_window_rgba.resize(size_t(w) * h * 4);
  for (int32_t row = 0; row < h; ++row) {
    const uint8_t* from = g_window_bgrx.data() + size_t(row) * g_window_wid * 4;
    uint8_t* to = g_window_rgba.data() + size_t(row) * w * 4;
    for (int32_t i = 0; i < w; ++i, from += 4, to += 4) {
      to[0] = from[2], to[1] = from[1], to[2] = from[0], to[3] = 0xFF;
    }
  }
  g_window.forget();
  qv_js_put(g_window_rgba.data(), w, h, x, y, 0, h);
}

}  // namespace platform
