// The web platform, part three: canvases and drawing. Canvases are plain
// memory of the module. A picture reaches the page as 32-bit RGBA rows put
// into a page canvas; only the rows that changed since the last picture are
// converted and put, since a screen movie changes few rows a frame.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "platform/web/bridge.h"
#include "platform/web/web_shell.h"

namespace {

constexpr int32_t kRowBytes = platform::kCanvasWid * 3;

int32_t Clip(int32_t v, int32_t limit) { return v < 0 ? 0 : v > limit ? limit : v; }

// What one page canvas shows: the 24-bit rows last converted, to find the
// rows that changed, and their RGBA form, which the page puts.
class Surface {
 public:
  // Converts what differs of w x h pixels of src; returns the changed rows as
  // [*top, *top + *rows).
  void take(const uint8_t* src, int32_t w, int32_t h, int32_t* top, int32_t* rows) {
    if (w != w_ || h != h_) {
      w_ = w, h_ = h;
      shown_.assign(size_t(w) * h * 3, 0);
      rgba_.assign(size_t(w) * h * 4, 0);
      valid_ = false;
    }
    int32_t first = -1, last = -1;
    const size_t line = size_t(w) * 3;
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* from = src + size_t(y) * kRowBytes;
      uint8_t* seen = shown_.data() + size_t(y) * line;
      if (valid_ && std::memcmp(from, seen, line) == 0) continue;
      std::memcpy(seen, from, line);
      Expand(from, reinterpret_cast<uint32_t*>(rgba_.data() + size_t(y) * w * 4), w);
      if (first < 0) first = y;
      last = y;
    }
    valid_ = true;
    *top = first < 0 ? 0 : first;
    *rows = first < 0 ? 0 : last - first + 1;
  }
  // The page canvas was cleared or moved: every row is put again.
  void forget() { valid_ = false; }
  const uint8_t* rgba() const { return rgba_.data(); }

 private:
  static void Expand(const uint8_t* bgr, uint32_t* to, int32_t w) {
    for (int32_t x = 0; x < w; ++x, bgr += 3) {
      to[x] = 0xFF000000u | uint32_t(bgr[2]) | uint32_t(bgr[1]) << 8 | uint32_t(bgr[0]) << 16;
    }
  }

  int32_t w_ = -1, h_ = -1;
  bool valid_ = false;
  std::vector<uint8_t> shown_, rgba_;
};

Surface g_window;   // the 1:1 picture, put straight into the window
Surface g_stretch;  // the picture before the page scales it into the window
int32_t g_window_x = -1, g_window_y = -1;

}  // namespace

namespace web {

void ForgetWindowPicture() {
  g_window.forget();
  g_stretch.forget();
}

}  // namespace web

namespace platform {

Canvas create_canvas() {
  auto* pixels = static_cast<uint8_t*>(std::calloc(size_t(kCanvasHgt), size_t(kRowBytes)));
  return {pixels, nullptr};
}

void copy_canvas(Canvas dst, Canvas src, int32_t x, int32_t y, int32_t w, int32_t h) {
  const int32_t x0 = Clip(x, kCanvasWid), x1 = Clip(x + w, kCanvasWid);
  const int32_t y0 = Clip(y, kCanvasHgt), y1 = Clip(y + h, kCanvasHgt);
  if (x1 <= x0) return;
  for (int32_t row = y0; row < y1; ++row) {
    const size_t at = size_t(row) * kRowBytes + size_t(x0) * 3;
    std::memcpy(dst.pixels + at, src.pixels + at, size_t(x1 - x0) * 3);
  }
}

int32_t banner_text_width(Canvas, const char* text) { return qv_js_banner_width(text); }

void draw_banner_text(Canvas canvas, int32_t x, int32_t y, const char* text) {
  qv_js_banner_draw(canvas.pixels, x, y, text);
}

void draw_to_window(Canvas src, int32_t x, int32_t y, int32_t w, int32_t h) {
  w = Clip(w, kCanvasWid), h = Clip(h, kCanvasHgt);
  if (x != g_window_x || y != g_window_y) g_window.forget();
  g_window_x = x, g_window_y = y;
  int32_t top, rows;
  g_window.take(src.pixels, w, h, &top, &rows);
  if (rows > 0) qv_js_put(g_window.rgba(), w, h, x, y, top, rows);
}

// The page scales with its own smoothing, as the window's context stretches
// in its halftone mode.
void stretch_to_window(Canvas src, int32_t src_w, int32_t src_h, int32_t x, int32_t y,
                       int32_t w, int32_t h) {
  src_w = Clip(src_w, kCanvasWid), src_h = Clip(src_h, kCanvasHgt);
  if (src_w == 0 || src_h == 0) return;
  int32_t top, rows;
  g_stretch.take(src.pixels, src_w, src_h, &top, &rows);
  qv_js_stretch(g_stretch.rgba(), src_w, src_h, top, rows, x, y, w, h);
}

}  // namespace platform
