// The author's draft: a movie read from each of its three layouts and
// written again is the movie qvm writes, inactive picture and header
// included; frames cut from it keep their pictures, and rows no frame names
// any more are left out.
#include <gtest/gtest.h>

#include "author/movie_draft.h"
#include "movie/movie_layout.h"
#include "qvm/stack_order.h"
#include "tool/qvm_run.h"

namespace {

TEST(MovieDraft, EachLayoutReadsBackToTheMovieQvmWrites) {
  ScratchDir dir("draft");
  MoviePlan plan;
  plan.header = {"WindowText \"Draft\"", "SplashText", "040 Hello", "EndSplashText"};
  for (int32_t n = 0; n < 4; ++n) plan.frames.push_back({ScreenPicture(16, 10, n), {40 * n, false, {}}});
  plan.frames[2].timing.click = true;
  plan.frames[2].timing.region = {1, 2, 3, 4};
  plan.has_inactive = true;
  plan.inactive = MakePicture(16, 10, 0x808080);
  MovieBytes bytes = EncodeMovie(plan);
  ASSERT_TRUE(WriteFile(dir / "m.QVM", MovieFileBytes(bytes)));
  ASSERT_TRUE(ReorderStack(&bytes));
  const std::string sorted = MovieFileBytes(bytes);
  ASSERT_TRUE(WriteFile(dir / "player.exe", "MZ a player's bytes"));
  ASSERT_EQ(RunQvm({"bundle", dir / "player.exe", dir / "m.QVM", "-o", dir / "b.exe"}).exit_code, 0);
  ASSERT_EQ(RunQvm({"pair", dir / "m.QVM", dir / "."}).exit_code, 0);

  const struct {
    MovieKind kind;
    std::string flow, stack;
  } layouts[] = {{MovieKind::kMovieFile, dir / "m.QVM", dir / "m.QVM"},
                 {MovieKind::kAppended, dir / "b.exe", dir / "b.exe"},
                 {MovieKind::kExternalPair, dir / "demoFlow.txt", dir / "demoStack.kts"}};
  for (const auto& layout : layouts) {
    MovieSource movie;
    ASSERT_EQ(ReadLayout(layout.kind, layout.flow, layout.stack, &movie), LayoutFault::kNone) << layout.flow;
    MovieDraft draft;
    ASSERT_EQ(ReadDraft(movie, &draft), "") << layout.flow;
    EXPECT_EQ(draft.header, plan.header) << layout.flow;
    EXPECT_EQ(draft.frames.size(), 4u) << layout.flow;
    EXPECT_GE(draft.inactive, 0) << layout.flow;
    EXPECT_TRUE(DraftMovieFile(draft) == sorted) << layout.flow;
  }

  // Frames 0 and 3 cut, the inactive picture dropped: the rows only they
  // named go, and the frames left show what they showed.
  MovieSource movie;
  ASSERT_EQ(ReadLayout(MovieKind::kMovieFile, dir / "m.QVM", dir / "m.QVM", &movie), LayoutFault::kNone);
  MovieDraft draft;
  ASSERT_EQ(ReadDraft(movie, &draft), "");
  draft.frames = {draft.frames[1], draft.frames[2]};
  draft.inactive = -1;
  MoviePlan cut;
  cut.header = plan.header;
  cut.frames = {plan.frames[1], plan.frames[2]};
  MovieBytes expected = EncodeMovie(cut);
  ASSERT_TRUE(ReorderStack(&expected));
  EXPECT_TRUE(DraftMovieFile(draft) == MovieFileBytes(expected));
}

TEST(MovieDraft, AFlowThatNamesRowsBeyondTheStackIsRefused) {
  ScratchDir dir("draft-bad");
  MoviePlan plan;
  plan.frames.push_back({ScreenPicture(8, 4, 0)});
  std::string bytes = MovieFileBytes(EncodeMovie(plan));
  const size_t list = bytes.find('$');
  bytes[list + 1] = 'z';  // row 79 * 80^3 and up: past the stack
  ASSERT_TRUE(WriteFile(dir / "m.QVM", bytes));
  MovieSource movie;
  ASSERT_EQ(ReadLayout(MovieKind::kMovieFile, dir / "m.QVM", dir / "m.QVM", &movie), LayoutFault::kNone);
  MovieDraft draft;
  EXPECT_EQ(ReadDraft(movie, &draft), "a row list names a row beyond the stack (line 2 of the flow)");
}

}  // namespace
