// Scoped owners for the drawing handles the shell creates, so none leaks on an
// early return (a handle kept for the life of the process is taken out with
// release()), and the canvas-sized pictures made with them.
#pragma once
#include <windows.h>

#include "platform/platform.h"

namespace win32 {

template <typename Handle, BOOL (WINAPI* Free)(Handle)>
class Owned {
 public:
  explicit Owned(Handle h = nullptr) : h_(h) {}
  ~Owned() {
    if (h_) Free(h_);
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;

  Handle get() const { return h_; }
  Handle release() {
    Handle h = h_;
    h_ = nullptr;
    return h;
  }

 private:
  Handle h_;
};

using MemoryDc = Owned<HDC, DeleteDC>;
using GdiObject = Owned<HGDIOBJ, DeleteObject>;

// A window's drawing context (the screen's for no window), borrowed for as
// long as the scope lasts.
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd = nullptr) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(hwnd_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// A canvas's drawing context, which the core holds as an opaque handle.
inline HDC DcOf(platform::Canvas canvas) { return static_cast<HDC>(canvas.handle); }

// A picture of wid x hgt pixels at the given depth (24 for the canvases),
// top-down, all black, selected into a memory drawing context; both live as
// long as the process. Empty when either cannot be made.
platform::Canvas SizedBitmap(int32_t wid, int32_t hgt, int bits_per_pixel);

}  // namespace win32
