// What the player window's files share: its handle, which clock threads and
// the splash read to post to it, and the drawing context every frame is drawn
// through.
#pragma once
#include <windows.h>

#include <atomic>

namespace win32 {

// The player window's private messages: show frame wParam; the splash is gone.
constexpr UINT kMsgShowFrame = WM_USER + 4;
constexpr UINT kMsgSplashGone = WM_USER + 5;

// Null until the window exists; then it never changes.
extern std::atomic<HWND> g_player_window;

// The window's drawing context, kept for the life of the process. Null until
// the window exists. Main thread only.
HDC PlayerDc();

// The window no longer shows what was drawn (it was uncovered): the next
// draw copies the whole picture.
void WindowPictureLost();

}  // namespace win32
