// The viewer's keys and clicks: the step rule, the moves that only work while
// paused, the looping toggle, the title strip and click regions, in movie
// pixels of the picture whatever the fill mode.
#include <gtest/gtest.h>

#include "player/input.h"
#include "player/show_frame.h"
#include "support/fake_platform.h"
#include "support/movie_maker.h"
#include "support/player_fixture.h"

namespace {

using namespace platform;  // the keys

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    dir_ = TempDir("input");
    MoviePlan plan = SmallMovie(250, 994, 3);
    plan.header = {"TitleBarHeight 24", "CloseRightEdge 24"};
    plan.frames[5] = {plan.frames[5].picture, 0, true, {100, 200, 300, 400}};
    p_ = MakePlayer(dir_, EncodeMovie(plan));
    Quiet([&] { ShowFrame(*p_, 0); });
  }
  template <typename F>
  std::string Quiet(F f) {
    return Console(f, &exit_code_);
  }
  std::string Key(platform::Key key) {
    return Quiet([&] { OnKey(*p_, key); });
  }
  std::string dir_;
  std::unique_ptr<Player> p_;
  int exit_code_ = -1;
};

TEST_F(InputTest, SpaceAndEnterStepNeverPastTheEnd) {
  EXPECT_EQ(Key(kKeySpace), "Frame 1: 000001\n");
  EXPECT_EQ(p_->Playing, 0);
  EXPECT_EQ(Key(kKeyReturn), "");  // paused: Enter does nothing
  EXPECT_EQ(Key(kKeySpace), "Frame 2: 000002\n");
  EXPECT_EQ(p_->Playing, 1);
  EXPECT_EQ(Key(kKeyReturn), "Frame 3: 000003\n");
  p_->CurrentFrame = 249;
  EXPECT_EQ(Key(kKeySpace), "Frame 249: 000249\n");
  EXPECT_EQ(p_->CurrentFrame, 249);
}

TEST_F(InputTest, MovesWorkOnlyWhilePaused) {
  p_->CurrentFrame = 40;
  for (platform::Key key : {kKeyLeft, kKeyRight, kKeyPageUp, kKeyPageDown}) EXPECT_EQ(Key(key), "");
  p_->Playing = 0;
  EXPECT_EQ(Key(kKeyRight), "Frame 41: 000041\n");
  EXPECT_EQ(Key(kKeyLeft), "Frame 40: 000040\n");
  EXPECT_EQ(Key(kKeyPageUp), "Frame 0: 000000\n");
  EXPECT_EQ(Key(kKeyLeft), "");  // frame -1: nothing
  EXPECT_EQ(p_->CurrentFrame, 0);
  EXPECT_EQ(Key(kKeyPageDown), "Frame 100: 000100\n");
  p_->CurrentFrame = 219;
  EXPECT_EQ(Key(kKeyPageDown), "Frame 249: 000249\n");
  EXPECT_EQ(Key(kKeyRight), "Frame 250: NoFrame\n");
  EXPECT_EQ(Key(kKeyHome), "Frame 0: 000000\n");
}

TEST_F(InputTest, F1TogglesTheBannerOnTheSameFrame) {
  p_->CurrentFrame = 7;
  Key(kKeyF1);
  EXPECT_EQ(p_->HelpOn, 1);
  EXPECT_EQ(fake::state().posts, std::vector<int32_t>{7});
  Key(kKeyF1);
  EXPECT_EQ(p_->HelpOn, 0);
}

TEST_F(InputTest, F2TogglesLoopingAndRestartsOnlyWhilePlaying) {
  p_->CurrentFrame = 9;
  EXPECT_EQ(Key(kKeyF2), "Frame 0: 000000\n");
  EXPECT_EQ(p_->StopAtEnd, 0);
  EXPECT_EQ(Key(kKeyF2), "");
  EXPECT_EQ(p_->StopAtEnd, 1);
  p_->Playing = 0;
  p_->CurrentFrame = 9;
  EXPECT_EQ(Key(kKeyF2), "");
  EXPECT_EQ(p_->CurrentFrame, 9);
  // Each press asked for a notice, the restart's 100 ms after frame 0; the
  // last one reports looping on.
  auto notices = fake::state().timers;
  notices.erase(std::remove_if(notices.begin(), notices.end(),
                               [](auto& t) { return t.routine != LoopingNotice; }),
                notices.end());
  ASSERT_EQ(notices.size(), 3u);
  EXPECT_EQ(notices[0].ms, 100);
  EXPECT_EQ(notices[1].ms, 0);
  notices.back().routine(notices.back().arg, 0);
  ASSERT_EQ(fake::state().boxes.size(), 1u);
  EXPECT_EQ(fake::state().boxes[0].text, "Looping is ON");
  EXPECT_EQ(fake::state().boxes[0].caption, "QV_MoviePlayer");
  EXPECT_EQ(fake::state().boxes[0].style, platform::kBoxOk);
  p_->StopAtEnd = 1;
  notices.back().routine(notices.back().arg, 0);
  EXPECT_EQ(fake::state().boxes.back().text, "Looping is OFF");
}

TEST_F(InputTest, EscapeEndsNormally) {
  Key(kKeyEscape);
  EXPECT_EQ(exit_code_, 0);
}

TEST_F(InputTest, TitleStripAreasAtOneToOne) {
  // CloseRightEdge 24 on a 994-pixel picture: close from 971, minimise from 923.
  EXPECT_EQ(HitTest(*p_, 921, 10), HitArea::kDragStrip);
  EXPECT_EQ(HitTest(*p_, 922, 10), HitArea::kClient);
  EXPECT_EQ(HitTest(*p_, 100, 24), HitArea::kClient);
  Quiet([&] { OnClick(*p_, 940, 10); });
  EXPECT_EQ(fake::state().minimized, 1);
  Quiet([&] { OnClick(*p_, 922, 10); });
  EXPECT_EQ(fake::state().minimized, 1);
  EXPECT_EQ(exit_code_, -1);
  Quiet([&] { OnClick(*p_, 980, 10); });
  EXPECT_EQ(exit_code_, 0);
}

TEST_F(InputTest, ClickRegionBoundsAreInclusive) {
  Quiet([&] { OnClick(*p_, 150, 250); });  // a timed frame ignores clicks
  EXPECT_TRUE(fake::state().posts.empty());
  Quiet([&] { ShowFrame(*p_, 5); });
  for (auto point : {std::pair{99, 250}, {150, 401}, {301, 200}}) {
    Quiet([&] { OnClick(*p_, point.first, point.second); });
  }
  EXPECT_TRUE(fake::state().posts.empty());
  Quiet([&] { OnClick(*p_, 300, 400); });
  Quiet([&] { OnClick(*p_, 100, 200); });
  EXPECT_EQ(fake::state().posts, std::vector<int32_t>({6, 6}));
}

TEST_F(InputTest, ClicksLandOnTheButtonInAnEnlargedCentredPicture) {
  // Fill mode 2 on 1920 x 1040: Scale 1440, picture at (244, 0).
  p_->settings.ScreenFill = 2;
  p_->geometry = {1440, 1920, 1040, 244, 0, 994, 722};
  Quiet([&] { ShowFrame(*p_, 5); });
  // The button's top-left corner (100, 200) is drawn at 244 + 144, 288.
  Quiet([&] { OnClick(*p_, 244 + 144 - 1, 288); });
  EXPECT_TRUE(fake::state().posts.empty());
  Quiet([&] { OnClick(*p_, 244 + 144, 288); });
  Quiet([&] { OnClick(*p_, 244 + 432, 576); });  // (300, 400) on screen
  EXPECT_EQ(fake::state().posts, std::vector<int32_t>({6, 6}));
  // The close area sits at the picture's right edge, not the window's.
  const int32_t right = 244 + 994 * 1440 / 1000;
  EXPECT_EQ(HitTest(*p_, right - 3 * 24 * 1440 / 1000 - 3, 10), HitArea::kDragStrip);
  EXPECT_EQ(HitTest(*p_, right - 3 * 24 * 1440 / 1000 + 3, 10), HitArea::kClient);
  Quiet([&] { OnClick(*p_, right - 60, 10); });
  EXPECT_EQ(fake::state().minimized, 1);
  Quiet([&] { OnClick(*p_, right - 5, 10); });
  EXPECT_EQ(exit_code_, 0);
}

TEST_F(InputTest, CursorFollowsPlayback) {
  OnMouseMove(*p_);
  EXPECT_EQ(fake::state().cursors.back(), platform::kCursorWait);
  p_->Playing = 0;
  OnMouseMove(*p_);
  EXPECT_EQ(fake::state().cursors.back(), platform::kCursorArrow);
  p_->Playing = 1;
  p_->StepDelay = -1;
  OnMouseMove(*p_);
  EXPECT_EQ(fake::state().cursors.back(), platform::kCursorArrow);
}

}  // namespace
