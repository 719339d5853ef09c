// qvm build --video on small recordings made with the ffmpeg command line:
// lossless codecs come back pixel for pixel with delays from the time
// stamps, a lossy one stays within the tolerance of its decoded pictures,
// cuts and clicks reach the timing lines, and every refusal leaves nothing
// where the movie would have been.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "movie/timing_line.h"
#include "tool/qvm_run.h"

namespace {

// count pictures of wid x hgt, each with a band of its own.
std::vector<Picture> DistinctPictures(int count, int32_t wid, int32_t hgt) {
  std::vector<Picture> pictures;
  for (int n = 0; n < count; ++n) {
    Picture p = ScreenPicture(wid, hgt, n % 3);
    for (int32_t y = hgt / 2; y < std::min(hgt, hgt / 2 + 3); ++y) {
      for (int32_t x = 0; x < wid; ++x) p.row(y)[3 * x + 1] = uint8_t(20 * n + 3 * x);
    }
    pictures.push_back(p);
  }
  return pictures;
}

// The pictures at fps as a recording; codec: the encoder's arguments.
std::string Record(const ScratchDir& dir, const std::vector<Picture>& pictures, int fps,
                   const std::string& codec, const std::string& name) {
  for (size_t n = 0; n < pictures.size(); ++n) {
    SavePicture(dir / (name + "-" + std::to_string(1000 + n) + ".png"), pictures[n]);
  }
  const std::string out = dir / name;
  const std::string command = "ffmpeg -nostdin -loglevel error -y -framerate " + std::to_string(fps) +
                              " -start_number 1000 -i '" + dir / (name + "-%04d.png") + "' " + codec + " '" + out + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return out;
}

TimingLine TimingOf(const std::string& movie, int n) {
  size_t at = movie.find("~" + FrameName(n) + "\r\n");
  EXPECT_NE(at, std::string::npos) << "frame " << n;
  size_t start = movie.find("\r\n", movie.find("\r\n", at) + 2) + 2;
  return ReadTimingLine(movie.substr(start, movie.find("\r\n", start) - start).c_str());
}

Picture Frame(const std::string& movie, int n, const std::string& png) {
  QvmResult frame = RunQvm({"frame", movie, std::to_string(n), "-o", png});
  EXPECT_EQ(frame.exit_code, 0) << frame.err;
  return ReadPicture(png);
}

int LargestDifference(const Picture& a, const Picture& b) {
  EXPECT_EQ(a.bgr.size(), b.bgr.size());
  int largest = 0;
  for (size_t i = 0; i < a.bgr.size() && i < b.bgr.size(); ++i) largest = std::max(largest, std::abs(a.bgr[i] - b.bgr[i]));
  return largest;
}

// The names in a folder other than those given.
std::vector<std::string> OtherFiles(const std::string& folder, const std::vector<std::string>& known) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != ".." && std::find(known.begin(), known.end(), name) == known.end()) names.push_back(name);
    }
    closedir(d);
  }
  return names;
}

}  // namespace

TEST(QvmVideo, LosslessRecordingsComeBackPixelForPixel) {
  const std::vector<Picture> distinct = DistinctPictures(3, 24, 16);
  // A still stretch of three pictures, then two, then one.
  const std::vector<Picture> pictures = {distinct[0], distinct[0], distinct[0], distinct[1], distinct[1], distinct[2]};
  const std::pair<const char*, const char*> codecs[] = {
      {"-c:v qtrle", "rle.mov"},
      {"-c:v ffv1 -pix_fmt bgr0", "ffv1.mkv"},
      {"-c:v png", "png.mkv"},
      {"-c:v libx264rgb -qp 0", "x264rgb.mkv"},
  };
  for (const auto& [codec, name] : codecs) {
    ScratchDir dir("lossless");
    const std::string recording = Record(dir, pictures, 10, codec, name);
    QvmResult built = RunQvm({"build", "-o", dir / "m.QVM", "--video", recording});
    ASSERT_EQ(built.exit_code, 0) << name << ": " << built.err;
    EXPECT_NE(built.out.find("3 frames of 24 pixels wide"), std::string::npos) << built.out;
    EXPECT_NE(built.out.find("tolerance 0)"), std::string::npos) << name << ": " << built.out;
    // Not on a terminal: one summary line and no progress.
    EXPECT_EQ(std::count(built.out.begin(), built.out.end(), '\n'), 1) << built.out;
    EXPECT_EQ(built.out.find('\r'), std::string::npos) << built.out;
    const std::string movie = ReadBytes(dir / "m.QVM");
    for (int n = 0; n < 3; ++n) {
      EXPECT_TRUE(Frame(dir / "m.QVM", n, dir / "f.png").bgr == distinct[size_t(n)].bgr) << name << " frame " << n;
      // Each picture lasts 100 ms; the last one for its own duration.
      EXPECT_EQ(TimingOf(movie, n).delay_ms, 300 - 100 * n) << name << " frame " << n;
    }
  }
}

TEST(QvmVideo, LossyRecordingStaysWithinTheToleranceOfItsDecodedPictures) {
  ScratchDir dir("lossy");
  // 70 pixels: not a whole number of the converter's runs of 8 or 16.
  const std::string recording = Record(dir, DistinctPictures(6, 70, 48), 10, "-c:v libx264 -crf 23 -pix_fmt yuv420p", "r.mkv");
  const std::string decode = "ffmpeg -nostdin -loglevel error -i '" + recording + "' -pix_fmt rgb24 '" + dir / "d%d.png" + "'";
  ASSERT_EQ(std::system(decode.c_str()), 0) << decode;
  QvmResult exact = RunQvm({"build", "-o", dir / "exact.QVM", "--video", recording, "--tolerance", "0"});
  ASSERT_EQ(exact.exit_code, 0) << exact.err;
  QvmResult shared = RunQvm({"build", "-o", dir / "shared.QVM", "--video", recording});
  ASSERT_EQ(shared.exit_code, 0) << shared.err;
  EXPECT_NE(shared.out.find("(h264, tolerance 6)"), std::string::npos) << shared.out;
  auto exact_info = InfoFields(RunQvm({"info", dir / "exact.QVM"}).out);
  auto shared_info = InfoFields(RunQvm({"info", dir / "shared.QVM"}).out);
  EXPECT_LT(std::stoi(shared_info["Unique rows referenced"]), std::stoi(exact_info["Unique rows referenced"]));
  ASSERT_EQ(shared_info["Frames"], "6");
  for (int n = 0; n < 6; ++n) {
    const Picture decoded = ReadPicture(dir / ("d" + std::to_string(n + 1) + ".png"));
    EXPECT_TRUE(Frame(dir / "exact.QVM", n, dir / "a.png").bgr == decoded.bgr) << "frame " << n;
    EXPECT_LE(LargestDifference(Frame(dir / "shared.QVM", n, dir / "a.png"), decoded), 6) << "frame " << n;
  }
}

TEST(QvmVideo, CutsClicksAndTheLongestDelayReachTheTimingLines) {
  ScratchDir dir("cut");
  const std::vector<Picture> pictures = DistinctPictures(10, 20, 12);
  const std::string recording = Record(dir, pictures, 10, "-c:v ffv1", "r.mkv");
  std::ofstream(dir / "clicks.txt") << "# seconds:region\n\n0.6:0,0,5,5\r\n";
  QvmResult built = RunQvm({"build", "-o", dir / "m.QVM", "--video", recording, "--start", "0.25", "--end", "0.75",
                            "--click", "0.45:1,2,3,4", "--clicks", dir / "clicks.txt", "--max-delay", "60"});
  ASSERT_EQ(built.exit_code, 0) << built.err;
  const std::string movie = ReadBytes(dir / "m.QVM");
  // Pictures 2 (on screen at 0.25 s) to 7 (cut at 0.75 s); 4 and 6 wait.
  const struct {
    int picture, delay_ms;
    bool click;
    int32_t left, bottom;
  } frames[] = {{2, 50, false, 0, 0}, {3, 60, false, 0, 0}, {4, 1, true, 1, 4},
                {5, 60, false, 0, 0}, {6, 0, true, 0, 5}, {7, 50, false, 0, 0}};
  for (int n = 0; n < 6; ++n) {
    const TimingLine timing = TimingOf(movie, n);
    EXPECT_EQ(timing.click, frames[n].click) << "frame " << n;
    if (frames[n].click) {
      EXPECT_EQ(timing.region.left, frames[n].left) << "frame " << n;
      EXPECT_EQ(timing.region.bottom, frames[n].bottom) << "frame " << n;
    } else {
      EXPECT_EQ(timing.delay_ms, frames[n].delay_ms) << "frame " << n;
    }
    EXPECT_TRUE(Frame(dir / "m.QVM", n, dir / "f.png").bgr == pictures[size_t(frames[n].picture)].bgr) << "frame " << n;
  }
  EXPECT_EQ(InfoFields(RunQvm({"info", dir / "m.QVM"}).out)["Frames"], "6");
}

TEST(QvmVideo, ClickLogsGiveEachClickABoxCentredOnItAndClipped) {
  ScratchDir dir("log");
  const std::vector<Picture> pictures = DistinctPictures(10, 20, 12);
  const std::string recording = Record(dir, pictures, 10, "-c:v ffv1", "r.mkv");
  // Column heads, then every form a log's line may take, and a region line.
  std::ofstream(dir / "log.csv") << "time,x,y,button\n0.1,10,6,left\n250ms\t1\t1\n"
                                    "0:00.45 19.7 11 right\r\n0.6:0,0,5,5\n# later\n0.8s;5;5\n";
  QvmResult built = RunQvm({"build", "-o", dir / "m.QVM", "--video", recording, "--clicks", dir / "log.csv",
                            "--click-box", "6,4"});
  ASSERT_EQ(built.exit_code, 0) << built.err;
  const std::string movie = ReadBytes(dir / "m.QVM");
  const struct {
    int frame;
    ClickRegion box;
  } stops[] = {{1, {7, 4, 12, 7}}, {2, {0, 0, 3, 2}}, {4, {16, 9, 19, 11}}, {6, {0, 0, 5, 5}}, {8, {2, 3, 7, 6}}};
  for (const auto& stop : stops) {
    const TimingLine timing = TimingOf(movie, stop.frame);
    ASSERT_TRUE(timing.click) << "frame " << stop.frame;
    EXPECT_EQ(std::vector<int32_t>({timing.region.left, timing.region.top, timing.region.right, timing.region.bottom}),
              std::vector<int32_t>({stop.box.left, stop.box.top, stop.box.right, stop.box.bottom}))
        << "frame " << stop.frame;
  }
  EXPECT_FALSE(TimingOf(movie, 3).click);
  EXPECT_EQ(InfoFields(RunQvm({"info", dir / "m.QVM"}).out)["Frames"], "10");
}

TEST(QvmVideo, RefusalsSayWhyAndLeaveNoMovie) {
  ScratchDir dir("refused");
  const std::string small = Record(dir, DistinctPictures(4, 20, 12), 10, "-c:v ffv1", "small.mkv");
  const std::string wide = Record(dir, DistinctPictures(2, 3002, 4), 10, "-c:v ffv1", "wide.mkv");
  const std::string tall = Record(dir, DistinctPictures(1, 8, 2402), 10, "-c:v ffv1", "tall.mkv");
  std::ofstream(dir / "text.mkv") << "not a recording\n";
  ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=d=0.2 '" + dir / "sound.wav" + "'").c_str()), 0);
  // A damaged stream: every fiftieth byte after the first packets changed.
  const std::string lossy = Record(dir, DistinctPictures(30, 64, 48), 10, "-c:v libx264 -crf 23 -pix_fmt yuv420p", "lossy.mkv");
  std::string bytes = ReadBytes(lossy);
  for (size_t i = 2000; i < bytes.size(); i += 50) bytes[i] = char(bytes[i] ^ 0x55);
  ASSERT_TRUE(WriteFile(dir / "damaged.mkv", bytes));
  std::ofstream(dir / "clicks.txt") << "0.1:0,0,3,3\nhalf past:0,0,1,1\n";
  std::ofstream(dir / "outside.log") << "0.1 20 3\n";
  std::ofstream(dir / "short.log") << "0.1 2 3\n0.2 5\n";

  const std::string out = dir / "out/m.QVM";
  ASSERT_EQ(std::system(("mkdir '" + dir / "out" + "'").c_str()), 0);
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"--video", dir / "text.mkv"}, "is not a recording qvm can read"},
      {{"--video", dir / "sound.wav"}, "holds no video stream"},
      {{"--video", dir / "missing.mkv"}, "is not a recording qvm can read"},
      {{"--video", wide}, "is 3002 x 4; a movie is at most 3000 pixels wide and 2400 rows high: give --scale W"},
      {{"--video", tall}, "is 8 x 2402; a movie is at most 3000 pixels wide and 2400 rows high: give --scale W "
                          "to scale it down (--scale 7 or less fits)"},
      {{"--video", tall, "--scale", "8"}, "--scale 8 makes the 8 x 2402 pictures 8 x 2402; a movie has at most 2400 rows"},
      {{"--video", dir / "damaged.mkv"}, "decoding errors in"},
      {{"--video", small, "--click", "0.1:0,0,20,3"}, "reaches past the 20 x 12 movie"},
      {{"--video", small, "--click", "0.1:5,0,4,3"}, "must not lie left of"},
      {{"--video", small, "--start", "0.2", "--click", "0.1:0,0,1,1"}, "comes before --start"},
      {{"--video", small, "--click", "9:0,0,1,1"}, "comes after the movie's end at 0.400 s"},
      {{"--video", small, "--clicks", dir / "clicks.txt"}, "clicks.txt line 2: the time is a time in seconds"},
      {{"--video", small, "--clicks", dir / "outside.log"}, "outside.log line 1: the click at 20,3 lies outside the 20 x 12 movie"},
      {{"--video", small, "--clicks", dir / "short.log"}, "short.log line 2: a click is a time, x and y"},
      {{"--video", small, "--start", "1:30"}, "--start is a time in seconds"},
      {{"--video", small, "--start", "2"}, "lies past the recording's last picture"},
      {{"--video", small, "--end", "0.1", "--start", "0.2"}, "--end must come after --start"},
      {{"--video", small, "--tolerance", "256"}, "--tolerance is 0 to 255"},
      {{"--video", small, "--min-delay", "90", "--max-delay", "50"}, "--max-delay is below --min-delay"},
      {{"--video", small, "--delay", "50"}, "--video takes no pictures"},
      {{"--tolerance", "3", dir / "small.mkv-1000.png"}, "--tolerance is for --video"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"build", "-o", out};
    args.insert(args.end(), c.args.begin(), c.args.end());
    QvmResult built = RunQvm(args);
    EXPECT_EQ(built.exit_code, 1) << c.says;
    EXPECT_NE(built.err.find(c.says), std::string::npos) << built.err;
    EXPECT_EQ(OtherFiles(dir / "out", {}), std::vector<std::string>{}) << c.says;
  }
  // Past the scale limits the same recording makes a movie.
  QvmResult scaled = RunQvm({"build", "-o", out, "--video", wide, "--scale", "1501"});
  ASSERT_EQ(scaled.exit_code, 0) << scaled.err;
  EXPECT_EQ(InfoFields(RunQvm({"info", out}).out)["StackWid"], "1501");

  // A disk that fills up: the file size limit stops the write half way, and
  // the movie that was there stays whole.
  const std::string before = ReadBytes(out);
  const std::string command = "ulimit -f 8; trap '' XFSZ; '" + std::string(QVM_PATH) + "' build -o '" + out +
                              "' --video '" + wide + "' --scale 3000 >/dev/null 2>'" + dir / "err" + "'";
  EXPECT_NE(std::system(("sh -c \"" + command + "\"").c_str()), 0);
  EXPECT_NE(ReadBytes(dir / "err").find("cannot write " + out + " (writing): File too large"), std::string::npos)
      << ReadBytes(dir / "err");
  EXPECT_EQ(OtherFiles(dir / "out", {"m.QVM"}), std::vector<std::string>{});
  EXPECT_EQ(ReadBytes(out), before);
}
