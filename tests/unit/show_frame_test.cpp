// Frame presentation and the clock: the range rules, the frame-line check and
// re-index, composing, the banner, drawing, the fill-mode-0 resize, the next
// step, and a whole movie played through on the fake platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

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
  // Runs the clocks started so far, each at its due time, as the window would:
  // each post shows the frame asked for.
  void RunClocks() {
    auto timers = fake::state().timers;
    fake::state().timers.clear();
    for (auto& t : timers) {
      if (t.due_ms > fake::state().now_ms) fake::state().now_ms = t.due_ms;
      t.routine(t.arg, t.value);
    }
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
  plan.frames[4].timing.delay_ms = 0;
  Load(plan);
  std::string out = Show(0);
  int32_t shown = 0;
  std::vector<int32_t> waits;
  while (!fake::state().timers.empty()) {
    waits.push_back(fake::state().timers[0].ms);
    EXPECT_EQ(p_->CurrentFrame, shown);
    EXPECT_EQ(Shown(p_->canvases.FrameCanvas).bgr, Frame(shown).bgr) << "frame " << shown;
    // The window shows the whole frame, and only the rows that differ from
    // the frame before are drawn again.
    EXPECT_EQ(fake::state().window, Frame(shown).bgr) << "frame " << shown;
    int32_t differing = 0;
    for (int32_t y = 0; y < 7 && shown > 0; ++y) {
      Picture now = Frame(shown), before = Frame(shown - 1);
      differing += !std::equal(now.row(y), now.row(y) + 9 * 3, before.row(y));
    }
    EXPECT_EQ(fake::state().draws.back().rows, shown == 0 ? 7 : differing) << "frame " << shown;
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
  // Each frame's own delay (a presentation costs nothing here); frame 4's
  // delay of 0 is followed at once.
  std::vector<int32_t> delays(12, 100);
  delays[4] = 0;
  EXPECT_EQ(waits, delays);
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
  EXPECT_EQ(fake::state().timers.size(), before.timers.size());
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

// Another movie renamed over the one playing: its frame lines stand where the
// old ones stood, but its stack does not. The layout is read again before a
// row is fetched, and the frame it has beyond the old index is found.
TEST_F(ShowFrameTest, MovieRenamedOverThePlayingOne) {
  Load(SmallMovie(3, 5, 4));
  Show(1);
  MoviePlan longer = SmallMovie(4, 5, 4);
  const std::string next = dir_ + "/next.QVM";
  ASSERT_TRUE(WriteFile(next, MovieFileBytes(EncodeMovie(longer))));
  // std::rename keeps an existing target on Windows; this replaces it there
  // too. Windows replaces no file a reader holds open: there the player's
  // held flow lets go first, as it would had it seen the file change.
#if defined(_WIN32)
  p_->flow.close();
#endif
  std::error_code error;
  std::filesystem::rename(next, p_->movie.flow_path, error);
  ASSERT_FALSE(error) << error.message();
  EXPECT_EQ(Show(2), "Frame 2: 000002\n");
  EXPECT_EQ(p_->movie.LastFlowByte, int64_t(EncodeMovie(longer).flow.size()));
  EXPECT_EQ(Shown(p_->canvases.FrameCanvas).bgr, longer.frames[2].picture.bgr);
  EXPECT_EQ(Show(3), "Reloading Offsets... \n Done\nFrame 3: 000003\n");
  EXPECT_EQ(Shown(p_->canvases.FrameCanvas).bgr, longer.frames[3].picture.bgr);
}

// A movie copied over the playing one is read while half written: the index
// then holds no frame. Once the copy is complete, the next request looks again.
TEST_F(ShowFrameTest, MovieCopiedOverThePlayingOne) {
  Load(SmallMovie(3, 5, 4));
  MoviePlan none = SmallMovie(3, 5, 4);
  none.stop_reading_before = 0;
  ASSERT_TRUE(WriteFile(p_->movie.flow_path, MovieFileBytes(EncodeMovie(none))));
  EXPECT_EQ(Show(1), "Frame 1: 000001\nReloading Offsets... \n Done\n");
  EXPECT_EQ(p_->index.LastFrame, -1);
  EXPECT_EQ(Show(1), "Frame 1: NoFrame\n");
  MoviePlan other = SmallMovie(3, 5, 4);
  other.frames[1].picture = MakePicture(5, 4, 0x123456);
  ASSERT_TRUE(WriteFile(p_->movie.flow_path, MovieFileBytes(EncodeMovie(other))));
  EXPECT_EQ(Show(1), "Reloading Offsets... \n Done\nFrame 1: 000001\n");
  EXPECT_EQ(Shown(p_->canvases.FrameCanvas).bgr, other.frames[1].picture.bgr);
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
  EXPECT_EQ(fake::state().timers.size(), 1u);
  Show(1);
  EXPECT_EQ(p_->StepDelay, -1);
  const ClickRegion& r = p_->click_region;
  EXPECT_EQ(std::vector<int32_t>({r.left, r.top, r.right, r.bottom}), std::vector<int32_t>({1, 2, 3, 4}));
  EXPECT_EQ(fake::state().cursors.back(), platform::kCursorArrow);
  EXPECT_EQ(fake::state().timers.size(), 1u);  // no clock for a click frame
  // The last frame waits too, unless the movie loops.
  Show(2);
  EXPECT_EQ(fake::state().timers.size(), 1u);
  p_->StopAtEnd = 0;
  Show(2);
  EXPECT_EQ(p_->StepDelay, 2000);
  EXPECT_EQ(fake::state().timers.size(), 2u);
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
  Show(0);  // the rows of the rectangle follow the frame
  for (int32_t y = 1; y < 3; ++y) {
    for (int32_t x = 2; x < 5; ++x) {
      for (int c = 0; c < 3; ++c) expected.row(y)[3 * x + c] = Frame(0).row(y)[3 * x + c];
    }
  }
  EXPECT_EQ(fake::state().window, expected.bgr);
  fake::state().player_foreground = true;
  Show(1);
  EXPECT_EQ(fake::state().window, Frame(1).bgr);
}

TEST_F(ShowFrameTest, BannerTextsAndPlace) {
  MoviePlan plan = SmallMovie(3, 994, 24);
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
  EXPECT_NE(fake::state().window, Frame(2).bgr);
  EXPECT_EQ(fake::state().window, Shown(p_->canvases.ComposeCanvas).bgr);  // the new text
  // Switched off, the banner leaves nothing behind in the window.
  p_->HelpOn = 0;
  Show(2);
  EXPECT_EQ(fake::state().window, Frame(2).bgr);
  p_->HelpOn = 1;  // and switched on, it shows at once
  Show(2);
  EXPECT_EQ(fake::state().window, Shown(p_->canvases.ComposeCanvas).bgr);
  EXPECT_NE(fake::state().window, Frame(2).bgr);
  p_->settings.ScreenFill = 1;  // keeps the window, so ShownWid stays as set
  p_->geometry.ShownWid = 100;
  Show(0);
  EXPECT_EQ(fake::state().banners.back().x, 0);
  p_->HelpOn = 0;
  Show(0);
  EXPECT_EQ(fake::state().banners.size(), 6u);
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

// At another Scale the window gets our own scaled picture, placed as the
// fill mode says, and a frame after another is scaled as a whole one would be.
TEST_F(ShowFrameTest, ScaledDrawingAtOtherScales) {
  Load(SmallMovie(3, 994, 722));
  auto scaled = [&](int32_t n, int32_t w, int32_t h) {
    std::vector<uint8_t> wide(size_t(w) * h * 4);
    Scaler(994, 722, w, h).Scale(Frame(n).bgr.data(), 994 * 3, nullptr, wide.data(), w * 4);
    return wide;
  };
  auto window = [&](int32_t w, int32_t h) {
    const platform::WindowPixels out = platform::window_pixels();
    std::vector<uint8_t> rows;
    for (int32_t y = 0; y < h; ++y) {
      rows.insert(rows.end(), out.pixels + size_t(y) * out.stride,
                  out.pixels + size_t(y) * out.stride + size_t(w) * 4);
    }
    return rows;
  };
  p_->geometry = {775, 800, 560, 15, 0, 994, 722};
  p_->settings.ScreenFill = 2;
  for (int32_t n : {0, 1, 0, 2}) {
    Show(n);
    const auto& d = fake::state().draws.back();
    EXPECT_TRUE(d.stretched);
    EXPECT_EQ(std::vector<int32_t>({d.x, d.y, d.w, d.h}), std::vector<int32_t>({15, 0, 770, 559}));
    EXPECT_EQ(window(770, 559), scaled(n, 770, 559)) << "frame " << n;
    EXPECT_EQ(fake::state().window, scaled(n, 770, 559)) << "frame " << n;
  }
  p_->geometry = {1495, 1484, 1079, 0, 0, 994, 722};
  p_->settings.ScreenFill = 0;
  Show(1);
  const auto& d = fake::state().draws.back();
  EXPECT_EQ(std::vector<int32_t>({d.x, d.y, d.w, d.h}), std::vector<int32_t>({0, 0, 1486, 1079}));
  EXPECT_EQ(window(1486, 1079), scaled(1, 1486, 1079));
  Show(2);
  EXPECT_LT(fake::state().draws.back().rows, 1079);
  EXPECT_EQ(fake::state().window, scaled(2, 1486, 1079));
}

// The chain of due times on a scripted clock: each row presents a frame at
// `started`, done at `now`, and says how long the clock must wait.
TEST(Clock, DueTimesChainLessWhatAPresentationCosts) {
  fake::Reset();
  auto p = std::make_unique<Player>();
  p->index.LastFrame = 99;
  struct Row {
    const char* what;
    int32_t frame, delay_ms;
    double started, now;
    bool from_clock, viewer_acted;
    int32_t wait_ms;
  } rows[] = {
      {"the first frame starts the chain", 0, 40, 0, 2, false, false, 38},
      {"on time: due 42, next due 82, less 2", 1, 40, 40, 42, true, false, 38},
      {"a dearer presentation moves the ask earlier", 2, 40, 80, 90, true, false, 29},
      {"a repaint keeps the frame's due time", 2, 40, 100, 101, false, false, 18},
      {"late by less than a frame: the chain holds, so no drift", 3, 40, 150, 152, true, false, 7},
      {"behind by more than a frame: afresh from now", 4, 40, 300, 302, true, false, 37},
      {"the viewer acts: afresh from now", 4, 40, 400, 402, false, true, 37},
      {"a delay shorter than a presentation: at once", 5, 1, 439, 443, true, false, 0},
      {"a request not the clock's: afresh", 9, 100, 600, 602, false, false, 97},
  };
  for (const Row& r : rows) {
    if (r.viewer_acted) RestartTiming(*p);
    p->StepDelay = r.delay_ms;
    fake::state().now_ms = r.now;
    TimeFrame(*p, r.frame, r.started, r.from_clock);
    ASSERT_FALSE(fake::state().timers.empty()) << r.what;
    EXPECT_EQ(fake::state().timers.back().ms, r.wait_ms) << r.what;
    EXPECT_EQ(fake::state().timers.back().value, r.frame) << r.what;
  }
  // A frame that waits for a click starts no clock, unless it ends a looping movie.
  fake::state().timers.clear();
  fake::state().now_ms = 700;
  p->StepDelay = -1;
  TimeFrame(*p, 10, 700, false);
  EXPECT_TRUE(fake::state().timers.empty());
  p->StopAtEnd = 0;
  TimeFrame(*p, 99, 700, false);
  EXPECT_EQ(p->StepDelay, 2000);
  ASSERT_EQ(fake::state().timers.size(), 1u);
}

TEST(Clock, PostsOnlyWhenStillPlayingTheNotedFrame) {
  fake::Reset();
  auto p = std::make_unique<Player>();
  p->CurrentFrame = 7;
  ClockDue(*p, 7);
  EXPECT_EQ(fake::state().posts, std::vector<int32_t>{8});
  ClockDue(*p, 7);  // a second clock of frame 7 while that request is on its way
  EXPECT_EQ(fake::state().posts.size(), 1u);
  EXPECT_TRUE(RequestArrived(*p, 8));
  EXPECT_FALSE(RequestArrived(*p, 8));
  p->Playing = 0;  // the viewer paused meanwhile
  ClockDue(*p, 7);
  p->Playing = 1;
  p->CurrentFrame = 9;  // or moved to another frame
  ClockDue(*p, 7);
  EXPECT_EQ(fake::state().posts.size(), 1u);
}

TEST_F(ShowFrameTest, ClocksOfOneFrameAskForTheNextFrameOnce) {
  Load(SmallMovie(3, 5, 4));
  Show(0);
  Show(0);  // the first paint and the first request both present frame 0
  ASSERT_EQ(fake::state().timers.size(), 2u);
  RunClocks();
  EXPECT_EQ(fake::state().posts, std::vector<int32_t>{1});
  Show(1);
  Show(1);  // a repaint while frame 1's clock sleeps
  RunClocks();
  EXPECT_EQ(fake::state().posts, std::vector<int32_t>({1, 2}));
  // A repaint after the request went out, before it arrived: no second request.
  Show(2);
  fake::state().timers.clear();
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
