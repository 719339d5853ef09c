// A resize of the player window activates it, and the window presents the
// current frame again from inside the resize. The outer presentation, its
// frame read whole before the resize, must still end with it, whole and right.
#include <gtest/gtest.h>

#include "player/show_frame.h"
#include "support/fake_platform.h"
#include "support/movie_maker.h"
#include "support/player_fixture.h"

namespace {

// Every timing line gets a tail whose characters read as a row code ("++++",
// stack row 0) wherever a row list would have one: a row list mistaken for
// such a line would copy the wrong row.
void AddRowCodeTails(std::string* flow) {
  const std::string plain = " -- 0,0";
  const std::string tail = " ++++++++";
  for (size_t at = flow->find(plain); at != std::string::npos; at = flow->find(plain, at)) {
    flow->replace(at, plain.size(), tail);
    at += tail.size();
  }
}

TEST(NestedPresentation, ResizeThatPresentsAgainLeavesTheFetchedFrame) {
  fake::Reset();
  MoviePlan plan = SmallMovie(2, 8, 6);
  plan.frames[1].picture = MakePicture(8, 9, 0x405060);
  plan.frames[1].timing.delay_ms = 140;
  MovieBytes bytes = EncodeMovie(plan);
  AddRowCodeTails(&bytes.flow);
  auto p = MakePlayer(TempDir("nested"), bytes);

  bool activated = false;
  const std::string out = Console([&] {
    ShowFrame(*p, 0);
    fake::state().on_resize = [&] {
      if (activated) return;  // an active window is not activated again
      activated = true;
      EXPECT_EQ(p->StepDelay, 140) << "the timing line is read before the window is laid out";
      ShowFrame(*p, p->CurrentFrame);
    };
    ShowFrame(*p, 1);
  });

  EXPECT_TRUE(activated);
  EXPECT_EQ(out, "Frame 0: 000000\nFrame 1: 000001\nFrame 1: 000001\n");
  // The inner presentation found the layout already made for frame 1.
  EXPECT_EQ(fake::state().resizes, (std::vector<std::pair<int32_t, int32_t>>{{8, 9}}));
  EXPECT_EQ(p->StepDelay, 140);
  EXPECT_EQ(CanvasPicture(p->canvases.FrameCanvas, 8, 9).bgr, plan.frames[1].picture.bgr);
  EXPECT_EQ(fake::state().window, plan.frames[1].picture.bgr);  // what the window shows
  const auto& last = fake::state().draws.back();
  EXPECT_EQ(std::make_pair(last.w, last.h), std::make_pair(8, 9));
}

}  // namespace
