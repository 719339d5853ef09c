// Laying the movie out on the screen in each fill mode, screens of no size
// included, and the start-up around it: its summary, its choices and the
// order of its window operations.
#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "player/geometry.h"
#include "player/start_up.h"
#include "support/fake_platform.h"
#include "support/movie_maker.h"
#include "support/player_fixture.h"

namespace {

DisplayGeometry Lay(int32_t fill, platform::Rect work, int32_t wid, int32_t hgt, int32_t cover) {
  fake::Reset();
  fake::state().work = work;
  MovieSource m;
  m.StackWid = wid;
  m.MaxFrameHgt = hgt;
  PlayerSettings s;
  s.ScreenFill = fill;
  s.CoverTaskBarOk = cover;
  return ComputeGeometry(m, s);
}

// The fake's canvases are plain arrays; a start-up's own are not shared.
void FreeCanvases(Player& p) {
  for (platform::Canvas c : {p.canvases.FrameCanvas, p.canvases.ComposeCanvas,
                             p.canvases.InactiveCanvas}) {
    delete[] c.pixels;
  }
  p.canvases = {};
}

}  // namespace

TEST(Geometry, EachFillModeOnEachScreen) {
  struct Row {
    int32_t fill, area_wid, area_hgt, wid, hgt, cover;
    DisplayGeometry g;  // Scale, window, picture offset
  };
  const Row rows[] = {
      // Fit without enlarging; the area counts a pixel more each way.
      {0, 1920, 1040, 994, 722, 0, {1000, 994, 722, 0, 0}},
      {0, 800, 560, 994, 722, 0, {777, 772, 560, 0, 0}},
      {0, 1920, 1040, 1921, 722, 0, {1000, 1921, 722, 0, 0}},
      // The whole area and a pixel more at 1:1, centred.
      {1, 1920, 1040, 994, 722, 0, {1000, 1921, 1041, 463, 159}},
      {1, 800, 560, 994, 722, 0, {1000, 801, 561, 0, 0}},
      // The whole area, scaled and centred; with CoverTaskBarOk the screen
      // (1920 x 1080) counts, not the work area.
      {2, 1920, 1040, 994, 722, 0, {1440, 1920, 1040, 244, 0}},
      {2, 800, 560, 994, 722, 0, {775, 800, 560, 15, 0}},
      {2, 800, 560, 994, 722, 1, {1495, 1920, 1080, 217, 0}},
      // A page in a hidden frame hands in no screen at all, or asks before
      // the movie is read: a Scale and a window of at least one.
      {0, 0, 0, 994, 722, 0, {1, 1, 1, 0, 0}},
      {0, 1, 1, 994, 722, 0, {2, 1, 1, 0, 0}},
      {1, 0, 0, 994, 722, 0, {1000, 1, 1, 0, 0}},
      {1, 1, 1, 994, 722, 0, {1000, 2, 2, 0, 0}},
      {2, 0, 0, 994, 722, 0, {1, 1, 1, 0, 0}},
      {2, 1, 1, 994, 722, 0, {1, 1, 1, 0, 0}},
      {2, 0, 0, 3000, 2400, 0, {1, 1, 1, 0, 0}},
      {0, 1920, 1040, 0, 0, 0, {1000, 1, 1, 0, 0}},
      {2, 1920, 1040, 0, 0, 0, {1040000, 1920, 1040, 440, 0}},
  };
  for (const Row& r : rows) {
    const DisplayGeometry g = Lay(r.fill, {0, 0, r.area_wid, r.area_hgt}, r.wid, r.hgt, r.cover);
    EXPECT_EQ(std::make_tuple(g.Scale, g.WindowWid, g.WindowHgt, g.PictureX, g.PictureY),
              std::make_tuple(r.g.Scale, r.g.WindowWid, r.g.WindowHgt, r.g.PictureX, r.g.PictureY))
        << "fill " << r.fill << " on " << r.area_wid << " x " << r.area_hgt << ", movie " << r.wid
        << " x " << r.hgt;
    EXPECT_EQ(std::make_pair(g.ShownWid, g.ShownHgt), std::make_pair(r.wid, r.hgt));
  }
}

TEST(Geometry, PlayerWindowGoes40PixelsInWhereItFits) {
  const DisplayGeometry g = {1000, 994, 722};  // a window of 994 x 722
  // Fits just, both ways; too wide; too high; the area's left and top do not count.
  for (auto [area, x, y] : std::vector<std::tuple<platform::Rect, int32_t, int32_t>>{
           {{0, 0, 1034, 762}, 40, 40}, {{0, 0, 1033, 1040}, 0, 40}, {{0, 0, 1920, 761}, 40, 0},
           {{300, 200, 1034, 762}, 40, 40}}) {
    const platform::Point at = PlacePlayerWindow(area, g);
    EXPECT_EQ(std::make_pair(at.x, at.y), std::make_pair(x, y)) << area.right << "x" << area.bottom;
  }
}

// The stages in order up to the splash's invitation; the player begins once,
// however often its splash or an argument asks.
TEST(StartUp, SummaryChoicesAndWindowsInOrder) {
  fake::Reset();
  const std::string dir = TempDir("start");
  InDir in(dir);
  MoviePlan plan = SmallMovie(3, 50, 40);
  plan.header = {"HelpOn"};
  const MovieBytes movie = EncodeMovie(plan);
  const std::string image = "MZ player image";
  ASSERT_TRUE(WriteFile(dir + "/QV_MoviePlayer.exe", image + AppendedBytes(movie)));
  auto p = std::make_unique<Player>();
  const auto start = [&] {
    FreeCanvases(*p);
    return Console([&] { StartUp(*p); });
  };
  const int32_t first = int32_t(image.size() + 94), last = first + 2 + int32_t(movie.flow.size());
  char summary[200];
  // The settings reader's own line, then the summary.
  std::snprintf(summary, sizeof summary,
                "\nHelpOn\nScale=1000  StackWid=50  MaxFrameHgt=40 \n"
                "FirstFlowByte=%d   LastFlowByte=%d FirstStackByte=%d\n"
                "Help=1   Notes=1 ",
                first, last, last + 3);
  EXPECT_EQ(start(), summary);
  EXPECT_EQ(p->StopAtEnd, 1);
  // The marker file turns looping on.
  ASSERT_TRUE(WriteFile(dir + "/noNotes.txt", ""));
  const std::string with_marker = start();
  EXPECT_EQ(with_marker.substr(with_marker.size() - 17), "Help=1   Notes=0 ");
  EXPECT_EQ(p->StopAtEnd, 0);
  EXPECT_EQ(p->index.LastFrame, 2);
  const std::vector<std::string> twice = {"create 50x40 at 40,40", "splash", "invite",
                                          "create 50x40 at 40,40", "splash", "invite"};
  EXPECT_EQ(fake::state().windows, twice);
  EXPECT_EQ(Console([&] {
              BeginPlaying(*p);
              BeginPlaying(*p);
            }),
            "Frame 0: 000000\n");
  EXPECT_EQ(fake::state().windows.back(), "show");
  EXPECT_EQ(fake::state().windows.size(), twice.size() + 1);
  FreeCanvases(*p);
}
