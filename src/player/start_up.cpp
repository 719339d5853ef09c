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
  ComputeGeometry(&p);
  const platform::Point at = PlacePlayerWindow(platform::work_area(), p.geometry);
  platform::create_player_window(p.settings.WindowText, at.x, at.y, p.geometry.WindowWid,
                                 p.geometry.WindowHgt, p.settings.WindowRoundingStyle);
  platform::start_splash(&p.movie, &p.index.IndexingDone);
  WaitForSplashWindow();
  p.canvases = CreateCanvases();
  IndexMovie(p);
  p.CurrentFrame = 0;
}

int BeginPlaying(Player&) {
  platform::show_player_window();
  return platform::run_player();
}
