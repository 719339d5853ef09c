// The real platform, part two: canvases. Each canvas is a top-down 24-bit DIB
// section selected into a memory drawing context compatible with the screen;
// the core writes the bits, the window system copies and writes text through
// the context. Canvases live until the process ends.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/gdi_handles.h"

namespace platform {

namespace {

HDC DcOf(Canvas canvas) { return static_cast<HDC>(canvas.handle); }

BITMAPINFO CanvasBitmapInfo() {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kCanvasWid;
  info.bmiHeader.biHeight = -kCanvasHgt;  // negative: row 0 is the top row
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

}  // namespace

Canvas create_canvas() {
  win32::WindowDc screen;
  win32::MemoryDc dc(CreateCompatibleDC(screen.get()));
  if (!dc.get()) return {};
  const BITMAPINFO info = CanvasBitmapInfo();
  void* bits = nullptr;
  win32::GdiObject bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap.get() || !bits) return {};
  SelectObject(dc.get(), bitmap.get());
  // From here the canvas owns both for the rest of the process.
  bitmap.release();
  return {static_cast<uint8_t*>(bits), dc.release()};
}

void copy_canvas(Canvas dst, Canvas src, int32_t x, int32_t y, int32_t w, int32_t h) {
  BitBlt(DcOf(dst), x, y, w, h, DcOf(src), x, y, SRCCOPY);
}

int32_t banner_text_width(Canvas canvas, const char* text) {
  SIZE size = {};
  GetTextExtentPoint32A(DcOf(canvas), text, lstrlenA(text), &size);
  return size.cx;
}

void draw_banner_text(Canvas canvas, int32_t x, int32_t y, const char* text) {
  HDC dc = DcOf(canvas);
  SetBkColor(dc, RGB(0xFF, 0x00, 0x00));
  SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
  SetBkMode(dc, OPAQUE);
  TextOutA(dc, x, y, text, lstrlenA(text));
}

}  // namespace platform
