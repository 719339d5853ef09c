// The frame index: names and exact offsets for any line end, the records that
// stop or feed it, and the limits that keep it inside its tables.
#include <gtest/gtest.h>

#include "movie/frame_index.h"
#include "movie/movie_layout.h"
#include "player/movie_readers.h"
#include "support/fake_platform.h"
#include "support/movie_maker.h"
#include "support/player_fixture.h"

namespace {

class FrameIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    dir_ = TempDir("index");
  }
  // Builds the index over a movie; returns the exit code, or -1 when it returned.
  int Index(const MovieBytes& bytes) {
    p_ = std::make_unique<Player>();
    p_->movie = WriteMovieFile(dir_, bytes);
    p_->settings.inactive_x = 5;
    p_->settings.inactive_y = p_->settings.inactive_wid = p_->settings.inactive_hgt = 1;
    canvas_.assign(size_t(9000) * 2400, 0);
    p_->canvases.InactiveCanvas.pixels = canvas_.data();
    testing::internal::CaptureStdout();
    int code = -1;
    try {
      IndexMovie(*p_);
    } catch (const fake::Exited& e) {
      code = e.code;
    }
    out_ = testing::internal::GetCapturedStdout();
    return code;
  }
  std::string dir_, out_;
  std::unique_ptr<Player> p_;
  std::vector<uint8_t> canvas_;
};

TEST_F(FrameIndexTest, NamesAndExactOffsetsForCrLfAndLf) {
  for (const char* eol : {"\r\n", "\n"}) {
    MoviePlan plan = SmallMovie(3, 4, 6);
    plan.line_end = eol;
    plan.header = {"SplashText", "040 Hello", "EndSplashText"};
    MovieBytes bytes = EncodeMovie(plan);
    ASSERT_EQ(Index(bytes), -1);
    EXPECT_EQ(p_->index.LastFrame, 2);
    EXPECT_EQ(p_->index.IndexingDone, 2);
    for (int n = 0; n < 3; ++n) {
      std::string line = "~" + FrameName(n) + eol;
      EXPECT_STREQ(p_->index.names[n], FrameName(n).c_str());
      EXPECT_EQ(bytes.flow.compare(p_->index.offsets[n], line.size(), line), 0) << eol << n;
    }
    EXPECT_EQ(p_->settings.inactive_x, -1);  // no inactive record
  }
}

TEST_F(FrameIndexTest, StopReadingAndTheClosingLine) {
  MoviePlan plan = SmallMovie(4, 4, 2);
  plan.stop_reading_before = 2;
  ASSERT_EQ(Index(EncodeMovie(plan)), -1);
  EXPECT_EQ(p_->index.LastFrame, 1);

  plan.stop_reading_before = 0;
  ASSERT_EQ(Index(EncodeMovie(plan)), -1);
  EXPECT_EQ(p_->index.LastFrame, -1);

  // A frame line standing last, where the closing line belongs, is not indexed.
  MovieBytes bytes = EncodeMovie(SmallMovie(2, 4, 2));
  bytes.flow.resize(bytes.flow.size() - 7);
  bytes.flow += "~extra\r\n";
  ASSERT_EQ(Index(bytes), -1);
  EXPECT_EQ(p_->index.LastFrame, 1);
}

TEST_F(FrameIndexTest, InactiveRecordsLoadInTurn) {
  MoviePlan plan = SmallMovie(2, 4, 3);
  plan.has_inactive = true;
  plan.inactive = MakePicture(4, 3, 0x0000FF);
  plan.frames.push_back({MakePicture(4, 1, 0x00FF00)});  // puts a green row in the stack
  MovieBytes bytes = EncodeMovie(plan);
  // A second, one-row record after the frames paints over the first one's top row.
  std::string green_row = EncodeRowIndex(bytes.unique_rows - 1);
  bytes.flow.insert(bytes.flow.size() - 7, "InactiveFrame\r\n$" + green_row + "\r\n");
  ASSERT_EQ(Index(bytes), -1);
  EXPECT_EQ(p_->settings.inactive_x, 5);
  EXPECT_EQ(canvas_[0], 0x00);  // row 0 green
  EXPECT_EQ(canvas_[1], 0xFF);
  EXPECT_EQ(canvas_[9000], 0xFF);  // row 1 still blue from the first record
  EXPECT_EQ(canvas_[9001], 0x00);
}

TEST_F(FrameIndexTest, EmptyInactiveRecordKeepsTheOverlayOn) {
  MovieBytes bytes = EncodeMovie(SmallMovie(1, 4, 3));
  bytes.flow = "InactiveFrame\r\n$\r\n" + bytes.flow;
  ASSERT_EQ(Index(bytes), -1);
  EXPECT_EQ(p_->settings.inactive_x, 5);
}

TEST_F(FrameIndexTest, Failures) {
  MovieBytes bytes = EncodeMovie(SmallMovie(1, 4, 3));
  bytes.flow = "InactiveFrame\r\nnot a row list\r\n" + bytes.flow;
  EXPECT_EQ(Index(bytes), 1);
  EXPECT_EQ(out_, "GrayFrameErr1");

  bytes = EncodeMovie(SmallMovie(1, 4, 3));
  bytes.flow = "~" + std::string(49, 'n') + "\r\n" + bytes.flow;
  EXPECT_EQ(Index(bytes), 1);
  ASSERT_EQ(fake::state().boxes.size(), 1u);
  EXPECT_EQ(fake::state().boxes[0].caption, "Exiting...");
}

TEST_F(FrameIndexTest, NameOfFortyEightCharactersAndTheEmptyName) {
  MovieBytes bytes = EncodeMovie(SmallMovie(1, 4, 3));
  std::string name(48, 'n');
  bytes.flow = "~" + name + "\r\n$\r\nx\r\n~\r\n$\r\nx\r\n" + bytes.flow;
  ASSERT_EQ(Index(bytes), -1);
  EXPECT_EQ(p_->index.names[0], name);
  EXPECT_STREQ(p_->index.names[1], "");
  EXPECT_EQ(p_->index.LastFrame, 2);
}

TEST_F(FrameIndexTest, StopsAfterFiftyThousandFrames) {
  std::string flow;
  for (int n = 0; n <= kMaxFrames; ++n) flow += "~" + std::to_string(n) + "\r\n$\r\nt\r\n";
  MovieBytes bytes;
  bytes.flow = flow + "# -99\r\n";
  bytes.width = 4;
  ASSERT_EQ(Index(bytes), -1);
  EXPECT_EQ(p_->index.LastFrame, kMaxFrames - 1);
  EXPECT_EQ(out_, "Indexing stopped at 50000 frames\n");
}

TEST_F(FrameIndexTest, ExternalFlowIsMeasuredAnew) {
  MovieBytes bytes = EncodeMovie(SmallMovie(2, 4, 3));
  InDir in(dir_);
  ASSERT_TRUE(WriteFile("demoFlow.txt", bytes.flow));
  ASSERT_TRUE(WriteFile("demoStack.kts", MovieFileBytes(bytes).substr(bytes.flow.size() + 1)));
  p_ = std::make_unique<Player>();
  ReadLayout(MovieKind::kExternalPair, "demoFlow.txt", "demoStack.kts", &p_->movie);
  testing::internal::CaptureStdout();
  IndexMovie(*p_);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " Using 'demoFlow.txt'\n");
  EXPECT_EQ(p_->index.LastFrame, 1);
  // The flow grows; a re-index takes its new end from the layout read again.
  ASSERT_TRUE(WriteFile("demoFlow.txt", bytes.flow + "~late\r\n$\r\nt\r\n# -99\r\n"));
  testing::internal::CaptureStdout();
  Reindex(*p_);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Reloading Offsets... \n Using 'demoFlow.txt'\n Done\n");
  EXPECT_EQ(p_->index.LastFrame, 2);
  EXPECT_STREQ(p_->index.names[2], "late");
}

}  // namespace
