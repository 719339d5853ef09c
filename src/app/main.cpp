// QV_MoviePlayer entry point: the start-up stages, the wait for the viewer to
// click the splash away, then the player window's message loop on this, the
// main thread. Every stage ends the process itself on its own failures.
#include "platform/platform.h"
#include "player/player.h"
#include "player/start_up.h"

namespace {

void WaitForSplashDismissed() {
  while (platform::splash_window_visible()) platform::sleep_ms(50);
}

}  // namespace

int main(int argc, char**) {
  Player& p = ThePlayer();
  StartUp(p);
  // Started with any argument, the player does not wait for the viewer to
  // click the splash away.
  if (argc == 1) WaitForSplashDismissed();
  return BeginPlaying(p);
}
