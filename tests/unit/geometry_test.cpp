// Laying the movie out on the screen in each fill mode, with the summary the
// player writes.
#include <gtest/gtest.h>

#include <tuple>

#include "player/geometry.h"
#include "support/fake_platform.h"
#include "support/movie_maker.h"

namespace {

struct Laid {
  DisplayGeometry g;
  std::string text;
  int32_t stop_at_end;
};

Laid Lay(int32_t fill, platform::Rect work, int32_t wid = 994, int32_t hgt = 722, int32_t cover = 0) {
  fake::Reset();
  fake::state().work = work;
  auto p = std::make_unique<Player>();
  p->movie.StackWid = wid;
  p->movie.MaxFrameHgt = hgt;
  p->movie.FirstFlowByte = 30302;
  p->movie.LastFlowByte = 5419363;
  p->movie.FirstStackByte = 5419366;
  p->settings.ScreenFill = fill;
  p->settings.CoverTaskBarOk = cover;
  testing::internal::CaptureStdout();
  ComputeGeometry(p.get());
  return {p->geometry, testing::internal::GetCapturedStdout(), p->StopAtEnd};
}

void ExpectLayout(const Laid& l, int32_t scale, int32_t w, int32_t h, int32_t x, int32_t y) {
  EXPECT_EQ(l.g.Scale, scale);
  EXPECT_EQ(l.g.WindowWid, w);
  EXPECT_EQ(l.g.WindowHgt, h);
  EXPECT_EQ(l.g.PictureX, x);
  EXPECT_EQ(l.g.PictureY, y);
}

}  // namespace

TEST(Geometry, FitWithoutEnlarging) {
  Laid l = Lay(0, {0, 0, 1920, 1040});
  ExpectLayout(l, 1000, 994, 722, 0, 0);
  EXPECT_EQ(l.text,
            "Scale=1000  StackWid=994  MaxFrameHgt=722 \n"
            "FirstFlowByte=30302   LastFlowByte=5419363 FirstStackByte=5419366\n"
            "Help=0   Notes=1 ");
  ExpectLayout(Lay(0, {0, 0, 800, 560}), 777, 772, 560, 0, 0);
  ExpectLayout(Lay(0, {0, 0, 1920, 1040}, 1921, 722), 1000, 1921, 722, 0, 0);
  EXPECT_EQ(Lay(0, {0, 0, 800, 560}).g.ShownWid, 994);
}

TEST(Geometry, WholeAreaAtOneToOne) {
  ExpectLayout(Lay(1, {0, 0, 1920, 1040}), 1000, 1921, 1041, 463, 159);
  ExpectLayout(Lay(1, {0, 0, 800, 560}), 1000, 801, 561, 0, 0);
}

TEST(Geometry, WholeAreaScaled) {
  ExpectLayout(Lay(2, {0, 0, 1920, 1040}), 1440, 1920, 1040, 244, 0);
  ExpectLayout(Lay(2, {0, 0, 800, 560}), 775, 800, 560, 15, 0);
}

TEST(Geometry, CoverTaskBarTakesTheWholeScreen) {
  // The work area would shrink the picture; the screen (1920 x 1080) does not.
  ExpectLayout(Lay(2, {0, 0, 800, 560}, 994, 722, 1), 1495, 1920, 1080, 217, 0);
}

TEST(Geometry, NoNotesMarkerTurnsLoopingOn) {
  std::string dir = TempDir("notes");
  InDir in(dir);
  EXPECT_EQ(Lay(0, {0, 0, 1920, 1040}).stop_at_end, 1);
  ASSERT_TRUE(WriteFile(dir + "/noNotes.txt", ""));
  Laid l = Lay(1, {0, 0, 1920, 1040});
  EXPECT_EQ(l.stop_at_end, 0);
  EXPECT_EQ(l.text.substr(l.text.size() - 17), "Help=0   Notes=0 ");
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
