// QV_MoviePlayer entry point: the start-up stages in their fixed order, then
// the player window's message loop on this, the main thread. Every stage ends
// the process itself on its own failures.
#include "movie/locator.h"
#include "platform/failure.h"
#include "platform/platform.h"
#include "player/geometry.h"
#include "player/movie_readers.h"
#include "player/player.h"

namespace {

// The splash thread makes its window while this thread waits; the dots show
// the wait on a redirected console. A splash that cannot make its window ends
// the process from its own thread.
void WaitForSplashWindow() {
  while (platform::splash_window_state() == -1) {
    Say(".");
    platform::sleep_ms(50);
  }
}

void WaitForSplashDismissed() {
  while (platform::splash_window_visible()) platform::sleep_ms(50);
}

}  // namespace

int main(int argc, char**) {
  Player* p = &ThePlayer();
  p->movie = LocateMovie();
  TakeSettings(*p);
  ComputeGeometry(p);
  const platform::Point at = PlacePlayerWindow(platform::work_area(), p->geometry);
  platform::create_player_window(p->settings.WindowText, at.x, at.y, p->geometry.WindowWid,
                                 p->geometry.WindowHgt, p->settings.WindowRoundingStyle);
  platform::start_splash(&p->movie, &p->index.IndexingDone);
  WaitForSplashWindow();
  p->canvases = CreateCanvases();
  IndexMovie(*p);
  p->CurrentFrame = 0;
  // Started with any argument, the player does not wait for the viewer to
  // click the splash away.
  if (argc == 1) WaitForSplashDismissed();
  platform::show_player_window();
  return platform::run_player();
}
