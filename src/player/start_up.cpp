#include "player/start_up.h"

#include <sys/stat.h>

#include "movie/locator.h"
#include "platform/failure.h"
#include "platform/platform.h"
#include "player/geometry.h"
#include "player/movie_readers.h"
#include "player/show_frame.h"

void TakeStartChoices(Player& p) {
  const MovieSource& m = p.movie;
  struct stat st;
  if (stat("noNotes.txt", &st) == 0) p.StopAtEnd = 0;
  p.HelpOn = p.settings.HelpOn;
  Say("Scale=%d  StackWid=%d  MaxFrameHgt=%d \n", p.geometry.Scale, m.StackWid, m.MaxFrameHgt);
  // The layout reader has refused offsets beyond 32 bits.
  Say("FirstFlowByte=%d   LastFlowByte=%d ", int(m.FirstFlowByte), int(m.LastFlowByte));
  Say("FirstStackByte=%d\n", int(m.FirstStackByte));
  Say("Help=%d   Notes=%d ", p.HelpOn.load(), p.StopAtEnd.load());
}

void StartUp(Player& p) {
  p.movie = LocateMovie();
  TakeSettings(p);
  p.geometry = ComputeGeometry(p.movie, p.settings);
  TakeStartChoices(p);
  const platform::Point at = PlacePlayerWindow(platform::work_area(), p.geometry);
  platform::create_player_window(p.settings.WindowText, at.x, at.y, p.geometry.WindowWid,
                                 p.geometry.WindowHgt, p.settings.WindowRoundingStyle);
  platform::start_splash();
  p.canvases = CreateCanvases();
  IndexMovie(p);
  p.CurrentFrame = 0;
  platform::invite_splash();
}

void BeginPlaying(Player& p) {
  if (p.playing_begun) return;
  p.playing_begun = true;
  platform::show_player_window();
  ShowFrame(p, 0);
}
