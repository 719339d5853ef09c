#include "player/start_up.h"

#include "movie/locator.h"
#include "platform/failure.h"
#include "platform/platform.h"
#include "player/geometry.h"
#include "player/movie_readers.h"

namespace {

// The splash makes its window while start-up waits; the dots show the wait on
// a redirected console. A splash that cannot make its window ends the
// process itself. Where the splash is made at once (the page) no dot is
// ever written.
void WaitForSplashWindow() {
  while (platform::splash_window_state() == -1) {
    Say(".");
    platform::sleep_ms(50);
  }
}

}  // namespace

void StartUp(Player& p) {
  p.movie = LocateMovie();
  TakeSettings(p);
  p.HelpOn = p.settings.HelpOn;
  ComputeGeometry(&p);
  platform::create_player_window(&p);
  platform::start_splash(&p);
  WaitForSplashWindow();
  p.canvases = CreateCanvases();
  IndexMovie(p);
  p.CurrentFrame = 0;
}

int BeginPlaying(Player& p) {
  platform::show_player_window();
  return platform::run_player(&p);
}
