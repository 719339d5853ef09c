// The splash window's shell: the KTDsplash class, the splash thread with its
// waits and message loop, and the drawing context behind the splash painting
// operations. What is drawn and what a key does is decided in src/splash.
#include <windows.h>
#include <process.h>

#include <cstdint>
#include <cstring>

#include "platform/failure.h"
#include "platform/platform.h"
#include "platform/win32/gdi_handles.h"
#include "platform/win32/player_window.h"
#include "platform/win32/system_values.h"
#include "player/player.h"
#include "splash/splash.h"

namespace {

constexpr char kClassName[] = "KTDsplash";
constexpr int32_t kDotMs = 50;
constexpr int32_t kHideLingerMs = 900;

// Set by the splash thread once it has tried to make its window; set by
// invite_splash once the index is built. They last as long as the process.
HANDLE g_window_tried = nullptr;
HANDLE g_invited = nullptr;
// The drawing context of the paint in progress. Splash thread only.
HDC g_paint_dc = nullptr;

HFONT MakeFont(int32_t height, int32_t quality, int weight) {
  return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, static_cast<DWORD>(quality), DEFAULT_PITCH | FF_DONTCARE,
                     "Trebuchet MS");
}

// The weight a font of this face actually gets for a requested weight; 0 when
// no font is made.
LONG DeliveredWeight(HDC dc, int requested) {
  win32::GdiObject font(MakeFont(25, 0, requested));
  if (!font.get()) return 0;
  HGDIOBJ old = SelectObject(dc, font.get());
  TEXTMETRICA metrics = {};
  LONG weight = GetTextMetricsA(dc, &metrics) ? metrics.tmWeight : 0;
  SelectObject(dc, old);
  return weight;
}

// The splash asks for weight 2000, past the 0 to 1000 the font system
// documents. Where 2000 is refused (no font is made, or a mapper that takes it
// for "don't care" gives a lighter font than FW_HEAVY does), FW_HEAVY, the
// heaviest named weight, is used instead. Under Wine both requests get the
// face's heaviest weight, so 2000 stays. Decided once, on the first paint.
int FontWeight(HDC dc) {
  static int weight = 0;  // splash thread only
  if (weight == 0) {
    LONG heavy = DeliveredWeight(dc, FW_HEAVY);
    LONG asked = DeliveredWeight(dc, 2000);
    weight = (asked > 0 && asked >= heavy) ? 2000 : FW_HEAVY;
  }
  return weight;
}

// A font made for one measurement or one text and selected for as long as the
// scope lasts; deselected before it is deleted.
class SelectedFont {
 public:
  SelectedFont(HDC dc, int32_t height, int32_t quality)
      : dc_(dc), font_(MakeFont(height, quality, FontWeight(dc))) {
    if (font_.get()) old_ = SelectObject(dc_, font_.get());
  }
  ~SelectedFont() {
    if (old_) SelectObject(dc_, old_);
  }
  SelectedFont(const SelectedFont&) = delete;
  SelectedFont& operator=(const SelectedFont&) = delete;

 private:
  HDC dc_;
  win32::GdiObject font_;
  HGDIOBJ old_ = nullptr;
};

void Paint(HWND hwnd) {
  win32::WindowDc dc(hwnd);
  g_paint_dc = dc.get();
  const Player& p = ThePlayer();
  PaintSplash(p.movie, p.index.IndexingDone);
  g_paint_dc = nullptr;
}

LRESULT CALLBACK SplashProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      Paint(hwnd);  // the default procedure then validates the window
      break;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

bool RegisterSplashClass() {
  // The class keeps its brush for the life of the process.
  win32::GdiObject brush(CreateSolidBrush(kSplashBackground));
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = 0;
  wc.lpfnWndProc = SplashProc;
  wc.hbrBackground = static_cast<HBRUSH>(brush.get());
  wc.lpszClassName = kClassName;
  if (!RegisterClassExA(&wc)) return false;
  brush.release();
  return true;
}

// Returns true when the viewer dismissed the splash, false when the quit
// message (the window was destroyed) ended the loop.
bool WaitForViewer(HWND hwnd) {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) != 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    platform::set_cursor(platform::kCursorArrow);
    switch (msg.message) {
      case WM_PAINT:
        // The window procedure painted already, but the default procedure's
        // erase may have covered it with the class brush since.
        Paint(hwnd);
        break;
      case WM_LBUTTONDOWN:
        return true;
      case WM_KEYDOWN:
        if (OnSplashKey(win32::KeyOf(msg.wParam))) return true;
        break;
    }
  }
  return false;
}

// The main thread begins playing when the splash is gone, let go or closed.
void SplashGone() { PostMessageA(win32::g_player_window, win32::kMsgSplashGone, 0, 0); }

void SplashThread(void*) {
  if (!RegisterSplashClass()) FailBox("ClassReg Failed", "Exiting", platform::kBoxOk);
  const platform::Point at = PlaceSplash(platform::work_area());
  HWND hwnd = CreateWindowExA(0, kClassName, "Zebrik Demo", WS_POPUPWINDOW, at.x, at.y,
                              kSplashWid, kSplashHgt, nullptr, nullptr, nullptr, nullptr);
  if (!hwnd) {
    SetEvent(g_window_tried);  // start-up goes on; this thread ends the process
    FailBox("CreateWinS Failed", "Exiting", platform::kBoxOk);
  }
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  // Start-up goes on only once the window is up and painted, so the splash,
  // which takes the activation as it comes up, never comes up over the player.
  SetEvent(g_window_tried);
  // No messages are handled while the index is built: a click or key made now
  // stays queued and takes effect once the invitation is on screen.
  WaitForSingleObject(g_invited, INFINITE);
  Paint(hwnd);
  if (!WaitForViewer(hwnd)) {
    SplashGone();
    return;
  }
  // Hidden, not destroyed: the window goes away with its thread.
  ShowWindow(hwnd, SW_HIDE);
  SplashGone();
  Sleep(kHideLingerMs);
  ExitThread(0);
}

}  // namespace

namespace platform {

// The dots show the wait on a redirected console; none when the window is up
// at the first look.
void start_splash() {
  g_window_tried = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  g_invited = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // A thread of its own, not one from the pool: it runs a message loop and
  // ends itself with ExitThread.
  _beginthread(SplashThread, 0, nullptr);
  while (WaitForSingleObject(g_window_tried, 0) == WAIT_TIMEOUT) {
    write_output(".");
    WaitForSingleObject(g_window_tried, kDotMs);
  }
}

void invite_splash() { SetEvent(g_invited); }

// --- splash painting: only inside Paint, on the splash thread ----------------

void splash_fill(int32_t w, int32_t h, uint32_t colour) {
  win32::GdiObject brush(CreateSolidBrush(colour));
  RECT r = {0, 0, w, h};
  FillRect(g_paint_dc, &r, static_cast<HBRUSH>(brush.get()));
}

int32_t splash_text_width(int32_t font_hgt, int32_t quality, const char* text) {
  SelectedFont font(g_paint_dc, font_hgt, quality);
  SIZE size = {};
  GetTextExtentPoint32A(g_paint_dc, text, static_cast<int>(std::strlen(text)), &size);
  return size.cx;
}

void splash_draw_text(int32_t x, int32_t y, int32_t font_hgt, int32_t quality, uint32_t colour,
                      bool opaque, const char* text) {
  SelectedFont font(g_paint_dc, font_hgt, quality);
  SetBkMode(g_paint_dc, opaque ? OPAQUE : TRANSPARENT);
  SetTextColor(g_paint_dc, colour);
  TextOutA(g_paint_dc, x, y, text, static_cast<int>(std::strlen(text)));
}

}  // namespace platform
