// Where the splash window goes and what the viewer's keys do to it.
#include "platform/failure.h"
#include "platform/platform.h"
#include "splash/splash.h"

platform::Point PlaceSplash(const platform::Rect& work) {
  // Halves truncated toward zero, as the window has always been placed. 64-bit
  // sums so no work area, however odd, overflows.
  int64_t x = work.left + (int64_t{work.right} - work.left) / 2 - kSplashWid / 2;
  int64_t y = work.top + (int64_t{work.bottom} - work.top) / 2 - kSplashHgt / 2;
  return {static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

bool OnSplashKey(platform::Key key) {
  if (key == platform::kKeyEscape) platform::exit_process(kExitNormal);
  return key == platform::kKeyRight;
}
