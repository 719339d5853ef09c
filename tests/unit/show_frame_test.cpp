// Frame presentation and the clock: the range rules, the frame-line check and
// re-index, composing, the banner, drawing, the fill-mode-0 resize, the next
// step, and a whole movie played through on the fake platform.
#include <gtest/gtest.h>

#include "player/clock.h"
#include "player/show_frame.h"
#include "support/fake_platform.h"
#include "support/movie_maker.h"
#include "support/player_fixture.h"

namespace {

class ShowFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    dir_ = TempDir("show");
  }
  void Load(const MoviePlan& plan) {
    plan_ = plan;
    bytes_ = EncodeMovie(plan);
    p_ = MakePlayer(dir_, bytes_);
  }
  std::string Show(int32_t n) {
    return Console([&] { ShowFrame(*p_, n); });
  }
  // Runs the clock threads started so far, as the window would: each post shows
  // the frame asked for.
  void RunClocks() {
    auto threads = fake::state().threads;
    fake::state().threads.clear();
    for (auto& t : threads) t.routine(t.arg);
  }
  Picture Frame(int32_t n) { return plan_.frames[n].picture; }
  // The picture in a canvas, as high as the layout made for the frame shown.
  Picture Shown(const platform::Canvas& c) {
    return CanvasPicture(c, p_->movie.StackWid, p_->geometry.ShownHgt);
  }

  std::string dir_;
  MoviePlan plan_;
  MovieBytes bytes_;
  std::unique_ptr<Player> p_;
};

TEST_F(ShowFrameTest, PlaysAWholeMovieFrameByFrame) {
  MoviePlan plan = SmallMovie(12, 9, 7);
  plan.frames[4].delay_ms = 0;
  Load(plan);
  std::string out = Show(0);
  int32_t shown = 0;
  while (!fake::state().threads.empty()) {
    EXPECT_EQ(p_->CurrentFrame, shown);
    EXPECT_EQ(Shown(p_->canvases.FrameCanvas).bgr, Frame(shown).bgr) << "frame " << shown;
    EXPECT_EQ(Shown(p_->canvases.ComposeCanvas).bgr, Frame(shown).bgr) << "frame " << shown;
    fake::state().posts.clear();
    RunClocks();
    ASSERT_EQ(fake::state().posts.size(), 1u);
    out += Show(fake::state().posts[0]);
    ++shown;
  }
  EXPECT_EQ(shown, 12);
  std::string expected;
  for (int n = 0; n < 12; ++n) expected += "Frame " + std::to_string(n) + ": " + FrameName(n) + "\n";
  EXPECT_EQ(out, expected + "Frame 12: NoFrame\n");
  // 100 ms less 25; frame 4's delay of 0 sleeps not at all.
  EXPECT_EQ(fake::state().sleeps, std::vector<int32_t>(11, 75));
  EXPECT_EQ(p_->CurrentFrame, 11);  // the last picture stays
}

TEST_F(ShowFrameTest, EndOfTheMovieWithLoopingOn) {
  Load(SmallMovie(3, 5, 4));
  p_->StopAtEnd = 0;
  EXPECT_EQ(Show(3), "Frame 0: 000000\n");
  EXPECT_EQ(p_->CurrentFrame, 0);
  EXPECT_EQ(Shown(p_->canvases.FrameCanvas).bgr, Frame(0).bgr);
  p_->index.LastFrame = -1;
  EXPECT_EQ(Show(5), "Frame 0: NoFrame\n");
}

TEST_F(ShowFrameTest, OutOfRangeChangesNothing) {
  Load(SmallMovie(3, 5, 4));
  Show(1);
  fake::State before = fake::state();
  EXPECT_EQ(Show(3), "Frame 3: NoFrame\n");
  EXPECT_EQ(Show(-1), "");
  EXPECT_EQ(p_->CurrentFrame, 1);
  EXPECT_EQ(fake::state().draws.size(), before.draws.size());
  EXPECT_EQ(fake::state().threads.size(), before.threads.size());
}

TEST_F(ShowFrameTest, StaleOffsetReindexesThenShows) {
  Load(SmallMovie(3, 5, 4));
  // The flow moves: a header line is put in front of it.
  bytes_.flow = "xMoved\r\n" + bytes_.flow;
  ASSERT_TRUE(WriteFile(p_->movie.flow_path, MovieFileBytes(bytes_)));
  p_->movie.LastFlowByte += 8;
  p_->movie.FirstStackByte += 8;
  EXPECT_EQ(Show(2), "Frame 2: 000002\nReloading Offsets... \n Done\n");
  EXPECT_EQ(p_->CurrentFrame, 0);
  EXPECT_TRUE(fake::state().draws.empty());
  EXPECT_EQ(Show(2), "Frame 2: 000002\n");
  EXPECT_EQ(Shown(p_->canvases.FrameCanvas).bgr, Frame(2).bgr);
}

TEST_F(ShowFrameTest, FrameLineWithoutRowListIsFormatError) {
  Load(SmallMovie(2, 5, 4));
  size_t at = bytes_.flow.find("~000001\r\n") + 9;
  bytes_.flow.replace(at, 1, "#");
  ASSERT_TRUE(WriteFile(p_->movie.flow_path, MovieFileBytes(bytes_)));
  int code;
  EXPECT_EQ(Console([&] { ShowFrame(*p_, 1); }, &code), "Frame 1: 000001\nFormatError24");
  EXPECT_EQ(code, 1);
}

TEST_F(ShowFrameTest, AFlowEndingInsideItsLastRecordLendsItNothingOfTheStack) {
  Load(SmallMovie(2, 5, 4));
  // Frame 1's record is cut after two whole codes and two characters of its
  // row list, and the stack's first row reads like a timing line and codes.
  size_t list = bytes_.flow.rfind('$');
  bytes_.flow.resize(list + 1 + 4 * 2 + 2);
  std::string row = " T 30000 ,1,2,3 ";
  bytes_.stack.replace(0, row.size(), row);
  bytes_.width = 0x0141;  // no zero byte in the width field either
  ASSERT_TRUE(WriteFile(p_->movie.flow_path, MovieFileBytes(bytes_)));
  p_->movie.LastFlowByte = int32_t(bytes_.flow.size());
  p_->movie.FirstStackByte = p_->movie.LastFlowByte + 3;
  EXPECT_EQ(Show(1), "Frame 1: 000001\n");
  EXPECT_EQ(fake::state().draws.back().h, 2);
  EXPECT_EQ(p_->StepDelay, 0);
}

TEST_F(ShowFrameTest, ClickFramesWaitAndTheCursorFollows) {
  MoviePlan plan = SmallMovie(3, 5, 4);
  plan.frames[1] = {plan.frames[1].picture, 0, true, {1, 2, 3, 4}};
  plan.frames[2] = {plan.frames[2].picture, 0, true, {0, 0, 4, 3}};
  Load(plan);
  Show(0);
  EXPECT_EQ(p_->StepDelay, 100);
  EXPECT_EQ(fake::state().cursors.back(), platform::kCursorWait);
  EXPECT_EQ(fake::state().threads.size(), 1u);
  Show(1);
  EXPECT_EQ(p_->StepDelay, -1);
  const ClickRegion& r = p_->click_region;
  EXPECT_EQ(std::vector<int32_t>({r.left, r.top, r.right, r.bottom}), std::vector<int32_t>({1, 2, 3, 4}));
  EXPECT_EQ(fake::state().cursors.back(), platform::kCursorArrow);
  EXPECT_EQ(fake::state().threads.size(), 1u);  // no clock for a click frame
  // The last frame waits too, unless the movie loops.
  Show(2);
  EXPECT_EQ(fake::state().threads.size(), 1u);
  p_->StopAtEnd = 0;
  Show(2);
  EXPECT_EQ(p_->StepDelay, 2000);
  EXPECT_EQ(fake::state().threads.size(), 2u);
  p_->Playing = 0;
  Show(0);
  EXPECT_EQ(fake::state().cursors.back(), platform::kCursorArrow);
}

TEST_F(ShowFrameTest, InactivePictureCoversAllButItsRectangle) {
  MoviePlan plan = SmallMovie(2, 8, 6);
  plan.header = {"InactiveUpperLeft 2 1", "InactiveWidHeight 3 2"};
  plan.has_inactive = true;
  plan.inactive = MakePicture(8, 6, 0x808080);
  Load(plan);
  fake::state().player_foreground = false;
  Show(1);
  Picture expected = plan.inactive;
  for (int32_t y = 1; y < 3; ++y) {
    for (int32_t x = 2; x < 5; ++x) {
      for (int c = 0; c < 3; ++c) expected.row(y)[3 * x + c] = Frame(1).row(y)[3 * x + c];
    }
  }
  EXPECT_EQ(Shown(p_->canvases.ComposeCanvas).bgr, expected.bgr);
  fake::state().player_foreground = true;
  Show(1);
  EXPECT_EQ(Shown(p_->canvases.ComposeCanvas).bgr, Frame(1).bgr);
}

TEST_F(ShowFrameTest, BannerTextsAndPlace) {
  MoviePlan plan = SmallMovie(3, 994, 2);
  plan.header = {"HelpOn"};  // the banner from the start
  Load(plan);
  Show(1);
  std::string playing = " Zebrik Demo - Playing - 000001 ";
  ASSERT_EQ(fake::state().banners.size(), 1u);
  EXPECT_EQ(fake::state().banners[0].text, playing);
  EXPECT_EQ(fake::state().banners[0].x, 994 - 80 - int32_t(playing.size()) * fake::kBannerCharWid);
  EXPECT_EQ(fake::state().banners[0].y, 4);
  Show(2);
  EXPECT_EQ(fake::state().banners.back().text, " Zebrik Demo - End - 000002 ");
  p_->StopAtEnd = 0;
  Show(2);
  EXPECT_EQ(fake::state().banners.back().text, " Zebrik Demo - Loop - 000002 ");
  p_->Playing = 0;
  Show(2);
  EXPECT_EQ(fake::state().banners.back().text, " Zebrik Demo - Paused - 000002 ");
  p_->settings.ScreenFill = 1;  // keeps the window, so ShownWid stays as set
  p_->geometry.ShownWid = 100;
  Show(0);
  EXPECT_EQ(fake::state().banners.back().x, 0);
  p_->HelpOn = 0;
  Show(0);
  EXPECT_EQ(fake::state().banners.size(), 5u);
}

TEST_F(ShowFrameTest, FillModeZeroFollowsTheFrameSize) {
  MoviePlan plan = SmallMovie(3, 994, 722);
  plan.frames[1].picture = MakePicture(994, 700, 0x112233);
  Load(plan);
  Show(0);
  EXPECT_TRUE(fake::state().resizes.empty());
  Show(1);
  ASSERT_EQ(fake::state().resizes.size(), 1u);
  EXPECT_EQ(fake::state().resizes[0], std::make_pair(994, 700));
  EXPECT_EQ(p_->geometry.WindowHgt, 700);
  EXPECT_EQ(p_->geometry.ShownHgt, 700);
  Show(2);
  EXPECT_EQ(fake::state().resizes.back(), std::make_pair(994, 722));
  EXPECT_EQ(p_->geometry.WindowHgt, 722);
  const auto& d = fake::state().draws.back();
  EXPECT_FALSE(d.stretched);
  EXPECT_EQ(d.w, 994);
  EXPECT_EQ(d.h, 722);
}

TEST_F(ShowFrameTest, StretchedDrawingAtOtherScales) {
  Load(SmallMovie(1, 994, 722));
  p_->geometry = {775, 800, 560, 15, 0, 994, 722};
  p_->settings.ScreenFill = 2;
  Show(0);
  auto d = fake::state().draws.back();
  EXPECT_TRUE(d.stretched);
  EXPECT_EQ(std::vector<int32_t>({d.src_w, d.src_h, d.x, d.y, d.w, d.h}),
            std::vector<int32_t>({994, 722, 15, 0, 770, 559}));
  p_->geometry = {777, 772, 560, 0, 0, 994, 722};
  p_->settings.ScreenFill = 0;
  Show(0);
  d = fake::state().draws.back();
  EXPECT_EQ(std::vector<int32_t>({d.src_w, d.src_h, d.x, d.y, d.w, d.h}),
            std::vector<int32_t>({994, 722, 0, 0, 772, 560}));
}

TEST(Clock, Compensation) {
  EXPECT_EQ(ClockCompensation(-1), 25);
  EXPECT_EQ(ClockCompensation(1840), 26);
  EXPECT_EQ(ClockCompensation(218749), 199);
  EXPECT_EQ(ClockCompensation(218750), 200);
  EXPECT_EQ(ClockCompensation(1000000), 200);
}

TEST(Clock, PostsOnlyWhenStillPlayingTheNotedFrame) {
  fake::Reset();
  auto p = std::make_unique<Player>();
  p->index.LastFrame = 1840;
  p->CurrentFrame = 7;
  p->StepDelay = 140;
  RunClock(*p);
  EXPECT_EQ(fake::state().sleeps, std::vector<int32_t>{114});
  EXPECT_EQ(fake::state().posts, std::vector<int32_t>{8});
  RunClock(*p);  // a second clock of frame 7 while that request is on its way
  EXPECT_EQ(fake::state().posts.size(), 1u);
  RequestArrived(*p, 8);
  fake::state().sleeps.clear();
  // The viewer pauses, or steps to another frame, while the clock sleeps.
  fake::state().on_sleep = [&] { p->Playing = 0; };
  RunClock(*p);
  EXPECT_EQ(fake::state().posts.size(), 1u);
  p->Playing = 1;
  fake::state().on_sleep = [&] { p->CurrentFrame = 9; };
  RunClock(*p);
  EXPECT_EQ(fake::state().posts.size(), 1u);
  fake::state().on_sleep = nullptr;
  fake::state().sleeps.clear();
  p->StepDelay = 20;
  RunClock(*p);
  EXPECT_TRUE(fake::state().sleeps.empty());  // no sleep for a short delay
  EXPECT_EQ(fake::state().posts.size(), 2u);
}

TEST_F(ShowFrameTest, ClocksOfOneFrameAskForTheNextFrameOnce) {
  Load(SmallMovie(3, 5, 4));
  Show(0);
  Show(0);  // the first paint and the first request both present frame 0
  ASSERT_EQ(fake::state().threads.size(), 2u);
  RunClocks();
  EXPECT_EQ(fake::state().posts, std::vector<int32_t>{1});
  Show(1);
  Show(1);  // a repaint while frame 1's clock sleeps
  RunClocks();
  EXPECT_EQ(fake::state().posts, std::vector<int32_t>({1, 2}));
  // A repaint after the request went out, before it arrived: no second request.
  Show(2);
  fake::state().threads.clear();
  fake::state().posts.clear();
  Show(0);
  Show(1);
  RunClocks();
  Show(1);
  RunClocks();
  EXPECT_EQ(fake::state().posts, std::vector<int32_t>{2});
  // A one-frame looping movie goes round and round.
  Load(SmallMovie(1, 5, 4));
  p_->StopAtEnd = 0;
  fake::state().posts.clear();
  Show(0);
  for (int i = 0; i < 3; ++i) {
    RunClocks();
    ASSERT_EQ(fake::state().posts.size(), size_t(i + 1));
    Show(fake::state().posts.back());
  }
}

}  // namespace
