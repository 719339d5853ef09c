// QV_MoviePlayer entry point. For now it finds the movie, reads its header
// settings and reports them; the player window comes next.
#include <cstdio>

#include "movie/locator.h"
#include "movie/settings.h"
#include "platform/failure.h"

int main(int, char**) {
  MovieSource movie = LocateMovie();
  PlayerSettings s = ReadSettings(movie);
  Say("Movie: flow=%s stack=%s FirstFlowByte=%d LastFlowByte=%d FirstStackByte=%d "
      "StackWid=%d MaxFrameHgt=%d\n",
      movie.flow_path, movie.stack_path, movie.FirstFlowByte, movie.LastFlowByte,
      movie.FirstStackByte, movie.StackWid, movie.MaxFrameHgt);
  Say("Settings: WindowText=\"%s\" TitleBarHeight=%d CloseRightEdge=%d Inactive=%d,%d,%d,%d "
      "HelpOn=%d CoverTaskBarOk=%d ScreenFill=%d WindowRoundingStyle=%d\n",
      s.WindowText, s.TitleBarHeight, s.CloseRightEdge, s.inactive_x, s.inactive_y,
      s.inactive_wid, s.inactive_hgt, s.HelpOn, s.CoverTaskBarOk, s.ScreenFill,
      s.WindowRoundingStyle);
  return kExitNormal;
}
