// qvm info on damaged movies: each fault the player would refuse, clip or
// misread is reported with the offset of its line, and the exit code says
// whether the movie is still playable.
#include <gtest/gtest.h>

#include <iterator>

#include "tool/qvm_run.h"

namespace {

class QvmInfo : public ::testing::Test {
 protected:
  void SetUp() override {
    MoviePlan plan;
    for (int32_t n = 0; n < 3; ++n) plan.frames.push_back({MakePicture(4, 3, 0x010203 * (n + 1))});
    movie_ = EncodeMovie(plan);
  }
  // A movie file with this flow and the good movie's width and stack.
  std::string WithFlow(const std::string& flow, int32_t width = 4) const {
    return flow + "\xFF" + char(width >> 8) + char(width & 0xFF) + movie_.stack;
  }
  QvmResult Info(const std::string& bytes) {
    EXPECT_TRUE(WriteFile(dir_ / "m.QVM", bytes));
    return RunQvm({"info", dir_ / "m.QVM"});
  }
  // The flow with the first `what` after `from` replaced by `with`.
  std::string Edit(const std::string& what, const std::string& with, size_t from = 0) const {
    std::string flow = movie_.flow;
    size_t at = flow.find(what, from);
    EXPECT_NE(at, std::string::npos) << what;
    return flow.replace(at, what.size(), with);
  }

  ScratchDir dir_{"info"};
  MovieBytes movie_;
};

std::string Report(size_t offset, const std::string& text) {
  return "problem at offset " + std::to_string(offset) + ": " + text;
}

}  // namespace

TEST_F(QvmInfo, ReportsEachProblemAtItsLine) {
  const std::string& flow = movie_.flow;
  const size_t frame1 = flow.find("~000001");
  const size_t list1 = flow.find("$", frame1);
  const size_t timing1 = flow.find("\r\n", list1) + 2;
  const size_t frame2 = flow.find("~000002");
  const std::string long_name = "~" + std::string(49, 'n');
  struct Case {
    std::string bytes;
    std::string expected;
  } cases[] = {
      {flow, Report(0, "no end byte")},
      {WithFlow(flow, 0), Report(flow.size() + 1, "movie width 0")},
      {WithFlow(flow, 3001), Report(flow.size() + 1, "movie width 3001")},
      {WithFlow(Edit("$", "$+ ++", list1)), Report(list1, "row 0 has a character outside")},
      {WithFlow(Edit("$", "$+", list1)), Report(list1, "row list of 13 characters after")},
      {WithFlow(Edit("$", "$zzzz", list1)), Report(list1, "row 0 names stack row 40959999")},
      {WithFlow("$" + std::string(2401 * 4, '+') + "\r\n" + flow), Report(0, "row list of 2401 rows")},
      {WithFlow(Edit(flow.substr(list1, timing1 - list1), "")), Report(frame1, "frame line is not followed by a row list")},
      {WithFlow(Edit("~000001", long_name)), Report(frame1, "frame name of 49 characters")},
      {WithFlow(Edit("~000001", "InactiveFrame\r\n~000001")), Report(frame1, "InactiveFrame is not followed")},
      {WithFlow(Edit("~000002", "~000001x\r\n$++++\r\n~000002")), Report(frame2, "frame record has no timing line")},
      {WithFlow(std::string(9995, 'x') + "\r\n" + flow), Report(0, "line of 9995 characters")},
      {WithFlow(flow.substr(0, flow.size() - 2)), Report(flow.size() - 7, "line has no line end")},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    QvmResult r = Info(cases[i].bytes);
    EXPECT_EQ(r.exit_code, 1) << cases[i].expected;
    EXPECT_NE(r.out.find(cases[i].expected), std::string::npos)
        << "expected \"" << cases[i].expected << "\" in\n" << r.out;
  }
}

TEST_F(QvmInfo, LfAloneIsOnlyAWarning) {
  MoviePlan plan;
  plan.line_end = "\n";
  plan.frames.push_back({MakePicture(4, 3)});
  QvmResult r = Info(MovieFileBytes(EncodeMovie(plan)));
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("warning at offset 0: line ends in LF alone"), std::string::npos) << r.out;
  EXPECT_EQ(InfoFields(r.out)["Frames"], "1");
}

TEST_F(QvmInfo, CountsFramesBeyondTheIndexAsAProblem) {
  MoviePlan plan;
  plan.frames.assign(50000, FramePlan{MakePicture(1, 1)});
  std::string flow = EncodeMovie(plan).flow;
  const size_t extra = flow.rfind("# -99");
  flow.insert(extra, "~050000\r\n$++++\r\n" + TimingLineFor(plan.frames[0].timing) + "\r\n");
  QvmResult r = Info(flow + "\xFF" + std::string("\x00\x01", 2) + "abc");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find(Report(extra, "more than 50000 frames")), std::string::npos) << r.out;
}
