// The real platform, part four: what frame presentation and the viewer's input
// ask of the player window. All but post_show_frame run on the main thread.
#include "platform/pixel_rows.h"
#include "platform/platform.h"
#include "platform/win32/gdi_handles.h"
#include "platform/win32/player_window.h"

namespace platform {

using win32::DcOf;

namespace {
// The window's own pixel layout, 32 bits a pixel, for as large a picture as a
// canvas holds. Made at the first draw; empty when the screen holds another
// depth or the bitmap cannot be made.
Canvas MakeWindowCopy() {
  if (GetDeviceCaps(win32::PlayerDc(), BITSPIXEL) != 32) return {};
  return win32::CanvasSizedBitmap(32);
}
}  // namespace

// Copying a 24-bit canvas to a 32-bit screen makes the system convert every
// pixel on the way, and that conversion costs most of a frame under Wine
// (2.4 ms of 3.5 for 994 x 722). Widening the rows here first is a tenth of
// that, and the copy of same-layout pixels that follows is a plain move.
void draw_to_window(Canvas src, int32_t x, int32_t y, int32_t w, int32_t h) {
  static const Canvas copy = MakeWindowCopy();
  if (!copy.pixels) {
    BitBlt(win32::PlayerDc(), x, y, w, h, DcOf(src), 0, 0, SRCCOPY);
    return;
  }
  if (w > kCanvasWid) w = kCanvasWid;
  if (h > kCanvasHgt) h = kCanvasHgt;
  if (w <= 0 || h <= 0) return;
  GdiFlush();  // the compose and the banner text must be in memory
  ExpandRows24To32(src.pixels, kCanvasWid * 3, copy.pixels, kCanvasWid * 4, w, h);
  BitBlt(win32::PlayerDc(), x, y, w, h, DcOf(copy), 0, 0, SRCCOPY);
}

// The window's context stretches in HALFTONE mode, set when it was taken.
void stretch_to_window(Canvas src, int32_t src_w, int32_t src_h, int32_t x, int32_t y,
                       int32_t w, int32_t h) {
  StretchBlt(win32::PlayerDc(), x, y, w, h, DcOf(src), 0, 0, src_w, src_h, SRCCOPY);
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
