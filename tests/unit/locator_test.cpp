// Finding the movie: the three sources in their order, the marker search, the
// directory rules and every way the search can fail.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "movie/locator.h"
#include "qvm/movie_writer.h"
#include "support/fake_platform.h"
#include "support/movie_maker.h"
#if defined(_WIN32)
#include "platform/win32/system_values.h"
#endif

namespace {

const std::string kPlayer = "QV_MoviePlayer.exe";
const std::string kImage = std::string("MZ\x90\0program image\0", 19);

class LocatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    dir_ = TempDir("locate");
    in_dir_ = std::make_unique<InDir>(dir_);
    movie_ = EncodeMovie(SmallMovie(3, 5, 4));
  }
  void Write(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(WriteFile(dir_ + "/" + name, bytes));
  }
  // Runs the locator; returns the exit code, or -1 when it returned a movie.
  int Locate(MovieSource* m) {
    try {
      *m = LocateMovie();
      return -1;
    } catch (const fake::Exited& e) {
      return e.code;
    }
  }
  void ExpectBox(const char* text, const char* caption, platform::Box style) {
    ASSERT_EQ(fake::state().boxes.size(), 1u);
    EXPECT_EQ(fake::state().boxes[0].text, text);
    EXPECT_EQ(fake::state().boxes[0].caption, caption);
    EXPECT_EQ(fake::state().boxes[0].style, style);
  }

  std::string dir_;
  std::unique_ptr<InDir> in_dir_;
  MovieBytes movie_;
};

TEST_F(LocatorTest, AppendedMovieWinsOverEveryOtherSource) {
  Write(kPlayer, kImage + AppendedBytes(movie_));
  Write("a.QVM", MovieFileBytes(movie_));
  Write("demoFlow.txt", movie_.flow);
  fake::state().dir_files = {"a.QVM"};
  MovieSource m;
  ASSERT_EQ(Locate(&m), -1);
  EXPECT_EQ(m.flow_path, kPlayer.c_str());
  EXPECT_EQ(m.stack_path, kPlayer.c_str());
  EXPECT_EQ(m.FirstFlowByte, int32_t(kImage.size() + 94));
  EXPECT_EQ(m.LastFlowByte, int32_t(kImage.size() + 96 + movie_.flow.size()));
  EXPECT_EQ(m.FirstStackByte, m.LastFlowByte + 3);
  EXPECT_EQ(m.StackWid, 5);
  EXPECT_EQ(m.MaxFrameHgt, 4);
  EXPECT_TRUE(fake::state().searches.empty());
  EXPECT_TRUE(fake::state().boxes.empty());
}

TEST_F(LocatorTest, MarkerAfterAPartialMatchIsNotRecognised) {
  MovieSource m;
  Write(kPlayer, kImage + "!" + AppendedBytes(movie_));
  EXPECT_EQ(Locate(&m), 1);  // no marker, so the directory: nothing there
  ExpectBox("No .QVM file:d", "Exiting...", platform::kBoxSystemModalError);

  fake::Reset();
  Write(kPlayer, kImage + std::string(1, '\0') + AppendedBytes(movie_));
  EXPECT_EQ(Locate(&m), -1);
  EXPECT_EQ(m.FirstFlowByte, int32_t(kImage.size() + 1 + 94));
}

TEST_F(LocatorTest, OwnFileMissingFromTheCurrentDirectory) {
  Write("a.QVM", MovieFileBytes(movie_));
  fake::state().dir_files = {"a.QVM"};
  MovieSource m;
  EXPECT_EQ(Locate(&m), 1);
  ExpectBox("Please UNZIP before running", "Exiting", platform::kBoxOk);
}

TEST_F(LocatorTest, OwnNameIsCutBeforeACharacterAbove127) {
  fake::state().module_path = "C:\\dir.x\\QV_Player\xe9.exe";
  Write("QV_Player", kImage + AppendedBytes(movie_));
  MovieSource m;
  ASSERT_EQ(Locate(&m), -1);
  EXPECT_EQ(m.flow_path, "QV_Player");
}

TEST_F(LocatorTest, SingleMovieFileAndThePassedOverBackMovie) {
  Write(kPlayer, kImage);
  Write("a.QVM", MovieFileBytes(movie_));
  Write("QV_ScreenMovie_Back.QVM", MovieFileBytes(movie_));
  for (auto files : {std::vector<std::string>{"a.QVM"},
                     std::vector<std::string>{"a.QVM", "QV_ScreenMovie_Back.QVM"}}) {
    fake::Reset();
    fake::state().dir_files = files;
    MovieSource m;
    ASSERT_EQ(Locate(&m), -1);
    EXPECT_EQ(m.flow_path, "a.QVM");
    EXPECT_EQ(m.FirstFlowByte, 0);
    EXPECT_EQ(m.LastFlowByte, int32_t(movie_.flow.size()));
    EXPECT_EQ(m.FirstStackByte, m.LastFlowByte + 3);
    EXPECT_EQ(m.StackWid, 5);
    EXPECT_EQ(m.MaxFrameHgt, 4);
    EXPECT_TRUE(fake::state().dialogs.empty());
  }
}

TEST_F(LocatorTest, SeveralMovieFilesOpenTheDialog) {
  Write(kPlayer, kImage);
  Write("b.QVM", MovieFileBytes(movie_));
  const std::vector<std::vector<std::string>> asking = {
      {"QV_ScreenMovie_Back.QVM", "a.QVM"},
      {"a.QVM", "qv_screenmovie_back.QVM"},
      {"a.QVM", "b.QVM", "c.QVM"},
  };
  for (const auto& files : asking) {
    fake::Reset();
    fake::state().dir_files = files;
    fake::state().dialog_answer = "C:\\other\\b.QVM";
    MovieSource m;
    ASSERT_EQ(Locate(&m), -1);
    EXPECT_EQ(m.flow_path, "b.QVM");
    ASSERT_EQ(fake::state().dialogs.size(), 1u);
  }
  const fake::Dialog& d = fake::state().dialogs[0];
  EXPECT_EQ(d.pattern, "*.QVM");
  EXPECT_EQ(d.directory, "C:\\demo");
  EXPECT_EQ(d.file_size, 9996);
}

#if defined(_WIN32)
// What the real shell hands the system's dialog for the locator's request.
TEST(MovieDialog, RecordForTheLocatorsRequest) {
  char file[9996];
  const OPENFILENAMEA r = win32::MovieDialog("*.QVM", "C:\\demo", file, sizeof file);
  // The record without the later extension fields: 76 bytes in the 32-bit build.
  EXPECT_EQ(r.lStructSize, offsetof(OPENFILENAMEA, pvReserved));
  EXPECT_EQ(std::string(r.lpstrFilter, 28), std::string("Zebrik Movie Files (*.QVM)\0\0", 28));
  EXPECT_EQ(r.nFilterIndex, 0u);
  EXPECT_EQ(r.lpstrFile, file);
  EXPECT_STREQ(file, "*.QVM");
  EXPECT_EQ(r.nMaxFile, 9996u);
  EXPECT_STREQ(r.lpstrInitialDir, "C:\\demo");
  EXPECT_EQ(r.Flags, 0x81004u);  // explorer | file must exist | hide read-only
  EXPECT_STREQ(r.lpstrDefExt, "QVM");
}
#endif

TEST_F(LocatorTest, CancelledDialogEndsSilently) {
  Write(kPlayer, kImage);
  fake::state().dir_files = {"a.QVM", "b.QVM"};
  MovieSource m;
  EXPECT_EQ(Locate(&m), 0);
  EXPECT_TRUE(fake::state().boxes.empty());
}

TEST_F(LocatorTest, ExternalPair) {
  Write(kPlayer, kImage);
  Write("demoFlow.txt", movie_.flow);
  MovieSource m;
  EXPECT_EQ(Locate(&m), 1);
  ExpectBox("Please use ZI_Duvevid to make a movie to play.", "No Movie to Play2", platform::kBoxOk);

  fake::Reset();
  std::string stack = MovieFileBytes(movie_).substr(movie_.flow.size() + 1);
  Write("demoStack.kts", stack);
  ASSERT_EQ(Locate(&m), -1);
  EXPECT_EQ(m.flow_path, "demoFlow.txt");
  EXPECT_EQ(m.stack_path, "demoStack.kts");
  EXPECT_EQ(m.FirstFlowByte, 0);
  EXPECT_EQ(m.LastFlowByte, int32_t(movie_.flow.size()));
  EXPECT_EQ(m.FirstStackByte, 2);
  EXPECT_EQ(m.StackWid, 5);
  EXPECT_EQ(m.MaxFrameHgt, 4);
}

TEST_F(LocatorTest, DamagedMoviesAreRefused) {
  MovieSource m;
  Write(kPlayer, kImage + MarkerLine() + "\r\n~000000\r\n$++++\r\n");
  EXPECT_EQ(Locate(&m), 1);
  ExpectBox("Bad .QVM file1", "Exiting...", platform::kBoxSystemModalError);

  fake::Reset();
  Write(kPlayer, kImage);
  Write("a.QVM", "~000000\r\n$++++\r\n");
  fake::state().dir_files = {"a.QVM"};
  EXPECT_EQ(Locate(&m), 1);
  ExpectBox("Bad .QVM file1", "Exiting...", platform::kBoxSystemModalError);
}

TEST_F(LocatorTest, FlowWithoutRowListIsBadFlowEvenWhenTheStackHoldsADollar) {
  // The stack holds "\n$" followed by bytes that would read as a row list.
  Write(kPlayer, kImage + MarkerLine() + "\r\n~000000\r\n# -99\r\n\xff" + std::string("\x00\x02", 2) +
                     "\n$++++++++++++\r\n");
  MovieSource m;
  testing::internal::CaptureStdout();
  EXPECT_EQ(Locate(&m), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "BadFlow");
  EXPECT_TRUE(fake::state().boxes.empty());
}

TEST_F(LocatorTest, SizesOutsideTheCanvasAreRefused) {
  struct Case {
    std::string width_bytes, row_list;
    const char* text;
  } cases[] = {
      {std::string("\x00\x00", 2), "$++++", "The movie is 0 pixels wide; this player shows 1 to 3000."},
      {"\x0b\xb9", "$++++", "The movie is 3001 pixels wide; this player shows 1 to 3000."},
      {std::string("\x00\x05", 2), "$", "The movie's first frame has 0 rows; this player shows 1 to 2400."},
      {std::string("\x00\x05", 2), "$" + std::string(2401 * 4, '+'),
       "The movie's first frame has 2401 rows; this player shows 1 to 2400."},
  };
  for (const Case& c : cases) {
    fake::Reset();
    Write(kPlayer, kImage + MarkerLine() + "\r\n~000000\r\n" + c.row_list + "\r\n# -99\r\n\xff" +
                       c.width_bytes + std::string(15, '\0'));
    MovieSource m;
    EXPECT_EQ(Locate(&m), 1);
    ExpectBox(c.text, "Exiting...", platform::kBoxSystemModalError);
  }
}

TEST_F(LocatorTest, RowCountIsTheSameForLfAndForTheInactivePicture) {
  MoviePlan plan = SmallMovie(2, 5, 4);
  plan.line_end = "\n";
  plan.has_inactive = true;
  plan.inactive = MakePicture(5, 7, 0x00FF00);
  MovieBytes lf = EncodeMovie(plan);
  Write(kPlayer, kImage + AppendedBytes(lf));
  MovieSource m;
  ASSERT_EQ(Locate(&m), -1);
  EXPECT_EQ(m.MaxFrameHgt, 7);
}

}  // namespace
