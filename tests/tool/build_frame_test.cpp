// qvm build and qvm frame together: every frame read back from the movie is
// the picture it was built from, pixel for pixel, and the list form's records
// (click regions, the inactive picture, StopReading) reach the player's view.
#include <gtest/gtest.h>

#include <fstream>

#include "movie/timing_line.h"
#include "tool/qvm_run.h"

namespace {

void ExpectSamePixels(const Picture& got, const Picture& want, const std::string& what) {
  ASSERT_EQ(got.width, want.width) << what;
  ASSERT_EQ(got.height, want.height) << what;
  EXPECT_TRUE(got.bgr == want.bgr) << what << " differs";
}

// The timing line of frame n: two lines after its frame line.
TimingLine TimingOf(const std::string& movie, int n) {
  size_t at = movie.find("~" + FrameName(n) + "\r\n");
  EXPECT_NE(at, std::string::npos) << "frame " << n;
  size_t start = movie.find("\r\n", movie.find("\r\n", at) + 2) + 2;
  return ReadTimingLine(movie.substr(start, movie.find("\r\n", start) - start).c_str());
}

Picture RenderedFrame(const std::string& movie, int n, const std::string& out, bool inactive) {
  std::vector<std::string> args = {"frame", movie, std::to_string(n), "-o", out};
  if (inactive) args.push_back("--inactive");
  QvmResult frame = RunQvm(args);
  EXPECT_EQ(frame.exit_code, 0) << frame.err;
  return ReadPicture(out);
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

TEST(QvmBuild, FramesComeBackPixelForPixel) {
  ScratchDir dir("roundtrip");
  std::vector<std::string> args = {"build", "-o", dir / "m.QVM", "--delay", "250"};
  std::vector<Picture> pictures;
  for (int32_t n = 0; n < 4; ++n) {
    pictures.push_back(ScreenPicture(37, 23, n));
    SavePicture(dir / ("f" + std::to_string(n) + ".png"), pictures.back());
    args.push_back(dir / ("f" + std::to_string(n) + ".png"));
  }
  QvmResult built = RunQvm(args);
  ASSERT_EQ(built.exit_code, 0) << built.err;

  QvmResult info = RunQvm({"info", dir / "m.QVM"});
  EXPECT_EQ(info.exit_code, 0) << info.out;
  auto fields = InfoFields(info.out);
  EXPECT_EQ(fields["Layout"], "movie file");
  EXPECT_EQ(fields["StackWid"], "37");
  EXPECT_EQ(fields["MaxFrameHgt"], "23");
  EXPECT_EQ(fields["Frames"], "4");
  EXPECT_EQ(fields["Row references"], "92");
  EXPECT_EQ(fields["Raw frame bytes"], std::to_string(4 * 37 * 23 * 3));
  EXPECT_EQ(fields["Problems"], "0");

  for (int n = 0; n < 4; ++n) {
    ExpectSamePixels(RenderedFrame(dir / "m.QVM", n, dir / "out.png", false),
                     pictures[size_t(n)], "frame " + std::to_string(n));
    EXPECT_EQ(TimingOf(ReadBytes(dir / "m.QVM"), n).delay_ms, 250);
  }
  // Without an inactive record the background look is the frame itself.
  ExpectSamePixels(RenderedFrame(dir / "m.QVM", 2, dir / "out.png", true), pictures[2],
                   "frame 2, inactive look");
  QvmResult beyond = RunQvm({"frame", dir / "m.QVM", "4", "-o", dir / "out.png"});
  EXPECT_EQ(beyond.exit_code, 1);
  EXPECT_NE(beyond.err.find("no frame 4"), std::string::npos) << beyond.err;
}

TEST(QvmBuild, ListFormRecordsReachThePlayer) {
  ScratchDir dir("list");
  const Picture gray = MakePicture(10, 6, 0x808080);
  std::vector<Picture> frames = {ScreenPicture(10, 6, 1), ScreenPicture(10, 6, 2),
                                 ScreenPicture(10, 6, 3)};
  SavePicture(dir / "gray.png", gray);
  for (int n = 0; n < 3; ++n) SavePicture(dir / ("f" + std::to_string(n) + ".png"), frames[size_t(n)]);
  // The live rectangle reaches past the frame's right and bottom edges.
  WriteText(dir / "header.txt", "WindowText \"Demo\"\nInactiveUpperLeft 7 4\r\nInactiveWidHeight 10 10\n");
  WriteText(dir / "list.txt",
            "# the demo\ninactive gray.png\nf0.png 40\n\n  f1.png click 1,2,8,5\nStopReading\nf2.png 70\n");
  QvmResult built = RunQvm({"build", "-o", dir / "m.QVM", "--header", dir / "header.txt",
                            "--list", dir / "list.txt"});
  ASSERT_EQ(built.exit_code, 0) << built.err;

  const std::string movie = ReadBytes(dir / "m.QVM");
  EXPECT_EQ(movie.rfind("WindowText \"Demo\"\r\nInactiveUpperLeft 7 4\r\nInactiveWidHeight 10 10\r\n"
                        "InactiveFrame\r\n$", 0), 0u);
  EXPECT_LT(movie.find("StopReading\r\n"), movie.find("~000002"));
  EXPECT_EQ(TimingOf(movie, 0).delay_ms, 40);
  TimingLine click = TimingOf(movie, 1);
  EXPECT_TRUE(click.click);
  EXPECT_EQ(click.delay_ms, -1);
  EXPECT_EQ(click.region.left, 1);
  EXPECT_EQ(click.region.bottom, 5);

  QvmResult info = RunQvm({"info", dir / "m.QVM"});
  EXPECT_EQ(InfoFields(info.out)["Frames"], "2") << info.out;

  ExpectSamePixels(RenderedFrame(dir / "m.QVM", 1, dir / "out.png", false), frames[1], "frame 1");
  Picture want = gray;
  for (int32_t y = 4; y < 6; ++y) {
    for (int32_t x = 7; x < 10; ++x) {
      for (int b = 0; b < 3; ++b) want.row(y)[3 * x + b] = frames[1].row(y)[3 * x + b];
    }
  }
  ExpectSamePixels(RenderedFrame(dir / "m.QVM", 1, dir / "out.png", true), want, "inactive look");
  EXPECT_EQ(RunQvm({"frame", dir / "m.QVM", "2", "-o", dir / "out.png"}).exit_code, 1);
}

TEST(QvmBuild, RefusesWhatThePlayerCannotShow) {
  ScratchDir dir("refuse");
  SavePicture(dir / "wide.png", MakePicture(3001, 2));
  SavePicture(dir / "a.png", MakePicture(20, 2));
  SavePicture(dir / "b.png", MakePicture(21, 2));
  WriteText(dir / "tilde.txt", "TitleBarHeight 24\n~000000\n");
  WriteText(dir / "tab.txt", "a.png\t100\n");
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{dir / "wide.png"}, "3001 pixels wide"},
      {{dir / "a.png", dir / "b.png"}, "frame 1 is 21 pixels wide; the movie is 20"},
      {{"--header", dir / "tilde.txt", dir / "a.png"}, "tilde.txt line 2"},
      {{"--list", dir / "tab.txt"}, "outside codes 32 to 126"},
      {{dir / "missing.png"}, "missing.png"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"build", "-o", dir / "m.QVM"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    QvmResult r = RunQvm(args);
    EXPECT_EQ(r.exit_code, 1) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(dir / "m.QVM"), "") << "no movie is written for " << c.message;
  }
}
