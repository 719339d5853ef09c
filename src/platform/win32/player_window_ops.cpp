// The real platform, part four: what frame presentation and the viewer's input
// ask of the player window. All but post_show_frame run on the main thread.
#include <algorithm>

#include "platform/pixel_rows.h"
#include "platform/platform.h"
#include "platform/win32/gdi_handles.h"
#include "platform/win32/player_window.h"

namespace platform {

using win32::DcOf;

namespace {
// Set when the window must be drawn whole: it was uncovered or made anew.
bool g_window_lost = true;

// The window's own picture, 32 bits a pixel, as large as a canvas or the
// screen, whichever is larger. Made at the first draw; empty when the bitmap
// cannot be made.
struct WindowCopy {
  Canvas bitmap;
  WindowPixels pixels;
};

const WindowCopy& TheWindowCopy() {
  static const WindowCopy copy = [] {
    const int32_t wid = std::max(kCanvasWid, int32_t(GetSystemMetrics(SM_CXSCREEN)));
    const int32_t hgt = std::max(kCanvasHgt, int32_t(GetSystemMetrics(SM_CYSCREEN)));
    WindowCopy c;
    c.bitmap = win32::SizedBitmap(wid, hgt, 32);
    if (c.bitmap.pixels) c.pixels = {c.bitmap.pixels, wid * 4, wid, hgt};
    return c;
  }();
  return copy;
}
}  // namespace

// Copying a 24-bit canvas to a 32-bit screen makes the system convert every
// pixel on the way, and that conversion costs most of a frame under Wine
// (2.4 ms of 3.5 for 994 x 722). Widening the rows here first is a tenth of
// that, and the copy of same-layout pixels that follows is a plain move.
// A screen of another depth takes the canvas as it is.
// Every row is copied: a 1:1 frame costs little, and a repaint needs it all.
void draw_to_window(Canvas src, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t*) {
  static const bool widen = GetDeviceCaps(win32::PlayerDc(), BITSPIXEL) == 32;
  const WindowCopy& copy = TheWindowCopy();
  if (!widen || !copy.bitmap.pixels) {
    BitBlt(win32::PlayerDc(), x, y, w, h, DcOf(src), 0, 0, SRCCOPY);
    return;
  }
  if (w > kCanvasWid) w = kCanvasWid;
  if (h > kCanvasHgt) h = kCanvasHgt;
  if (w <= 0 || h <= 0) return;
  GdiFlush();  // the compose and the banner text must be in memory
  ExpandRows24To32(src.pixels, kCanvasWid * 3, copy.pixels.pixels, copy.pixels.stride, w, h);
  BitBlt(win32::PlayerDc(), x, y, w, h, DcOf(copy.bitmap), 0, 0, SRCCOPY);
}

// The core writes the rows after the compose and the banner text, which must
// be in memory by then.
WindowPixels window_pixels() {
  GdiFlush();
  return TheWindowCopy().pixels;
}

// A scaled picture is copied a band of changed rows at a time (an enlarged
// frame is several times a 1:1 frame's bytes), and whole after a repaint.
void draw_window_pixels(int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* changed_rows) {
  const WindowCopy& copy = TheWindowCopy();
  if (!copy.bitmap.pixels) return;
  if (g_window_lost) changed_rows = nullptr;
  g_window_lost = false;
  ForEachChangedRun(changed_rows, h, [&](int32_t top, int32_t rows) {
    BitBlt(win32::PlayerDc(), x, y + top, w, rows, DcOf(copy.bitmap), 0, top, SRCCOPY);
  });
}

// Only the size changes; without SWP_NOZORDER and SWP_NOACTIVATE the window is
// also raised and activated, as the viewer expects of a frame of a new size.
void resize_player_window(int32_t w, int32_t h) {
  SetWindowPos(win32::g_player_window, HWND_TOP, 0, 0, w, h, SWP_NOMOVE);
}

bool player_window_is_foreground() { return GetForegroundWindow() == win32::g_player_window; }

// Clock threads call this: the window's handle is read atomically and the
// frame is handed to the main thread as a posted message.
void post_show_frame(int32_t n) {
  PostMessageA(win32::g_player_window, win32::kMsgShowFrame, static_cast<WPARAM>(n), 0);
}

// Every presentation sets the cursor; the two system cursors are looked up once.
void set_cursor(Cursor cursor) {
  static const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  static const HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  SetCursor(cursor == kCursorWait ? wait : arrow);
}

void minimize_player_window() { ShowWindow(win32::g_player_window, SW_MINIMIZE); }

}  // namespace platform

namespace win32 {

void WindowPictureLost() { platform::g_window_lost = true; }

}  // namespace win32
