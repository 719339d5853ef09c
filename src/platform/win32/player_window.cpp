// The real platform, part three: the player window's life. Creation (class,
// title, size, place, outline), the window procedure, which only turns
// messages into calls of the process's player's handlers, and the main
// thread's message loop, which runs from the end of start-up on.
#include "platform/win32/player_window.h"

#include <windowsx.h>

#include "platform/failure.h"
#include "platform/platform.h"
#include "platform/win32/gdi_handles.h"
#include "platform/win32/system_values.h"
#include "player/input.h"
#include "player/show_frame.h"
#include "player/start_up.h"

namespace win32 {

std::atomic<HWND> g_player_window{nullptr};

namespace {

constexpr char kClassName[] = "QV_MoviePlayer";

// The window procedure runs on the main thread only, as does everything that
// touches the drawing context. Its messages go to the process's player.
HDC g_player_dc = nullptr;

// --- one handler per message ---------------------------------------------------

void OnDestroy() { PostQuitMessage(0); }

[[noreturn]] void OnClose(HWND hwnd) {
  DestroyWindow(hwnd);
  platform::exit_process(kExitNormal);
}

// lParam holds the pointer's screen position, signed on a multi-screen desktop.
bool InDragStrip(HWND hwnd, LPARAM lp) {
  RECT r = {};
  GetWindowRect(hwnd, &r);
  return HitTest(ThePlayer(), GET_X_LPARAM(lp) - r.left, GET_Y_LPARAM(lp) - r.top) ==
         HitArea::kDragStrip;
}

// The frame is presented again so it takes its active or inactive look.
void OnActivationChange(HWND hwnd) {
  if (IsWindowVisible(hwnd)) ShowFrame(ThePlayer(), ThePlayer().CurrentFrame);
}

// No copy of the window's picture is kept: a repaint fetches the frame again.
void OnPaint() {
  WindowPictureLost();
  ShowFrame(ThePlayer(), ThePlayer().CurrentFrame);
}

void OnKeyDown(WPARAM key) { OnKey(ThePlayer(), KeyOf(key)); }

void OnPointerMove() { OnMouseMove(ThePlayer()); }

void OnLeftButtonDown(LPARAM lp) { OnClick(ThePlayer(), GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); }

void OnShowFrame(WPARAM frame) { ShowFrame(ThePlayer(), static_cast<int32_t>(frame)); }

void OnSplashGone() { BeginPlaying(ThePlayer()); }

LRESULT CALLBACK PlayerWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_DESTROY:
      OnDestroy();
      break;
    case WM_CLOSE:
      OnClose(hwnd);
    case WM_NCHITTEST:
      // The one answer that bypasses the default procedure: the title strip
      // drags the window.
      if (InDragStrip(hwnd, lp)) return HTCAPTION;
      break;
    case WM_NCACTIVATE:
      OnActivationChange(hwnd);
      break;
    case WM_PAINT:
      OnPaint();  // the default procedure then validates the window
      break;
    case WM_KEYDOWN:
      OnKeyDown(wp);
      break;
    case WM_MOUSEMOVE:
      OnPointerMove();
      break;
    case WM_LBUTTONDOWN:
      OnLeftButtonDown(lp);
      break;
    case kMsgShowFrame:
      OnShowFrame(wp);
      break;
    case kMsgSplashGone:
      OnSplashGone();
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// --- creation ------------------------------------------------------------------

void RegisterPlayerClass() {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = 0;
  wc.lpfnWndProc = PlayerWindowProc;
  // No class cursor: the player sets the cursor itself for each frame.
  wc.hbrBackground = CreateSolidBrush(RGB(0, 0, 0));
  wc.lpszClassName = kClassName;
  if (!RegisterClassExA(&wc)) FailBox("ClassReg Failed", "Exiting", platform::kBoxOk);
}

HWND CreatePlayerWindow(const char* title, int x, int y, int w, int h) {
  // WS_POPUP alone: no border, no caption, and hidden until start-up shows it.
  HWND hwnd = CreateWindowExA(0, kClassName, title, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, w, h,
                              nullptr, nullptr, nullptr, nullptr);
  if (!hwnd) FailBox("CreateWin Failed", "Exiting", platform::kBoxOk);
  // Made at the default place and then moved, as it always was: made in place,
  // the window did not take the foreground from the splash under Wine, and the
  // keys meant for the player went to the splash.
  SetWindowPos(hwnd, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
  return hwnd;
}

// Style 1 rounds only the top corners: the rounded rectangle reaches 99
// pixels below the window, so its bottom corners are cut away. The region is
// made once; a later resize keeps it.
void GiveOutline(HWND hwnd, int w, int h, int32_t rounding_style) {
  GdiObject region(rounding_style == 1
                       ? CreateRoundRectRgn(0, 0, w + 1, h + 99, 11, 11)
                       : CreateRectRgn(0, 0, w + 1, h));
  // On success the window owns the region.
  if (SetWindowRgn(hwnd, static_cast<HRGN>(region.get()), FALSE)) region.release();
}

// The context is taken as soon as the window exists, not when it is first
// shown: showing it activates and paints it, and both present the current
// frame, so a frame can be drawn before ShowWindow returns.
void TakeDrawingContext(HWND hwnd) {
  g_player_dc = GetDC(hwnd);
}

}  // namespace

HDC PlayerDc() { return g_player_dc; }

}  // namespace win32

namespace platform {

void create_player_window(const char* title, int32_t x, int32_t y, int32_t w, int32_t h,
                          int32_t rounding_style) {
  win32::RegisterPlayerClass();
  HWND hwnd = win32::CreatePlayerWindow(title, x, y, w, h);
  win32::g_player_window = hwnd;
  win32::GiveOutline(hwnd, w, h, rounding_style);
  win32::TakeDrawingContext(hwnd);
}

void show_player_window() {
  HWND hwnd = win32::g_player_window;
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  SetForegroundWindow(hwnd);
}

namespace {

void Dispatch(MSG* msg) {
  TranslateMessage(msg);
  DispatchMessageA(msg);
}

// The queue hands out posted messages before the keyboard and the mouse, and
// when frames cost more than their delays a clock's request is always there:
// the viewer's input waiting behind a request is handled before it.
void InputFirst() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
         PeekMessageA(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    Dispatch(&msg);
  }
}

}  // namespace

int run_player() {
  MSG msg;
  // A result of -1 (a bad message) is not an end: only the quit message is.
  while (GetMessageA(&msg, nullptr, 0, 0) != 0) {
    if (msg.message == win32::kMsgShowFrame) InputFirst();
    Dispatch(&msg);
  }
  return kExitNormal;
}

}  // namespace platform
