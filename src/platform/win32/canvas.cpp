// The real platform, part two: canvases. Each canvas is a top-down 24-bit DIB
// section selected into a memory drawing context compatible with the screen;
// the core writes the bits, the window system copies and writes text through
// the context. Canvases live until the process ends.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/gdi_handles.h"

namespace platform {

using win32::DcOf;

Canvas create_canvas() { return win32::SizedBitmap(kCanvasWid, kCanvasHgt, 24); }

void copy_canvas(Canvas dst, Canvas src, int32_t x, int32_t y, int32_t w, int32_t h) {
  BitBlt(DcOf(dst), x, y, w, h, DcOf(src), x, y, SRCCOPY);
}

int32_t banner_text_width(Canvas canvas, const char* text) {
  SIZE size = {};
  GetTextExtentPoint32A(DcOf(canvas), text, lstrlenA(text), &size);
  return size.cx;
}

int32_t draw_banner_text(Canvas canvas, int32_t x, int32_t y, const char* text) {
  HDC dc = DcOf(canvas);
  SetBkColor(dc, RGB(0xFF, 0x00, 0x00));
  SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
  SetBkMode(dc, OPAQUE);
  TextOutA(dc, x, y, text, lstrlenA(text));
  SIZE size = {};
  GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
  return size.cy;
}

}  // namespace platform

namespace win32 {

platform::Canvas SizedBitmap(int32_t wid, int32_t hgt, int bits_per_pixel) {
  WindowDc screen;
  MemoryDc dc(CreateCompatibleDC(screen.get()));
  if (!dc.get()) return {};
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = wid;
  info.bmiHeader.biHeight = -hgt;  // negative: row 0 is the top row
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bits_per_pixel);
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  GdiObject bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap.get() || !bits) return {};
  SelectObject(dc.get(), bitmap.get());
  // From here the picture owns both for the rest of the process.
  bitmap.release();
  return {static_cast<uint8_t*>(bits), dc.release()};
}

}  // namespace win32
