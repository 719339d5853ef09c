// Header directives: defaults, the echo of every header line, and the rules
// for text, numbers, pairs and single digits.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "movie/settings.h"
#include "player/movie_readers.h"
#include "qvm/movie_writer.h"
#include "support/fake_platform.h"
#include "support/movie_maker.h"
#include "support/player_fixture.h"

namespace {

PlayerSettings Apply(std::initializer_list<const char*> lines) {
  PlayerSettings s;
  for (const char* line : lines) ApplyDirective(line, &s);
  return s;
}

struct Read {
  PlayerSettings settings;
  std::string echo;
};

Read ReadFlow(const std::string& before, const std::string& flow, int32_t last = -1) {
  const MovieSource m = WriteFlowFile(flow, before, last);
  testing::internal::CaptureStdout();
  Read r;
  EXPECT_TRUE(ReadSettings(m, &r.settings));
  r.echo = testing::internal::GetCapturedStdout();
  return r;
}

}  // namespace

TEST(Settings, DefaultsWhenNoLineMatches) {
  Read r = ReadFlow("", "xHelpOn\r\nxCoverTaskBarOk\r\n\r\nhello\r\n~000000\r\n$\r\n");
  const PlayerSettings& s = r.settings;
  EXPECT_STREQ(s.WindowText, "Zebrik Demo");
  EXPECT_EQ(s.TitleBarHeight, 21);
  EXPECT_EQ(s.CloseRightEdge, 21);
  EXPECT_EQ(s.inactive_x, -1);
  EXPECT_EQ(s.HelpOn, 0);
  EXPECT_EQ(s.CoverTaskBarOk, 0);
  EXPECT_EQ(s.ScreenFill, 0);
  EXPECT_EQ(s.WindowRoundingStyle, 0);
  EXPECT_EQ(r.echo, "xHelpOn\nxCoverTaskBarOk\n\nhello\n");
}

TEST(Settings, AppendedFlowEchoesAnEmptyFirstLineAndStopsAtTheFrameLine) {
  Read r = ReadFlow(MarkerLine(), "\r\nTitleBarHeight 24\nHelpOn please\r\n~000000\r\nScreenFill=2\r\n");
  EXPECT_EQ(r.echo, "\nTitleBarHeight 24\nHelpOn please\n");
  EXPECT_EQ(r.settings.TitleBarHeight, 24);
  EXPECT_EQ(r.settings.HelpOn, 1);
  EXPECT_EQ(r.settings.ScreenFill, 0);
}

TEST(Settings, FrameLineFirstMeansNoHeader) {
  Read r = ReadFlow("", "~000000\r\nHelpOn\r\n");
  EXPECT_EQ(r.echo, "");
  EXPECT_EQ(r.settings.HelpOn, 0);
}

TEST(Settings, LineReachingTheFlowsEndIsNeitherEchoedNorApplied) {
  Read r = ReadFlow("", "CoverTaskBarOk\r\nHelpOn\r\n");
  EXPECT_EQ(r.echo, "CoverTaskBarOk\n");
  EXPECT_EQ(r.settings.CoverTaskBarOk, 1);
  EXPECT_EQ(r.settings.HelpOn, 0);
}

TEST(Settings, LongFirstLineIsSplitAtTheShortBuffer) {
  std::string first(300, 'a');
  Read r = ReadFlow("", first + "\r\nHelpOn\r\n~0\r\n");
  EXPECT_EQ(r.echo, std::string(295, 'a') + "aaaaa\n" + "HelpOn\n");
}

TEST(Settings, Numbers) {
  EXPECT_EQ(Apply({"TitleBarHeight 24"}).TitleBarHeight, 24);
  EXPECT_EQ(Apply({"TitleBarHeight 123"}).TitleBarHeight, 12);
  EXPECT_EQ(Apply({"TitleBarHeight 7"}).TitleBarHeight, 7);
  EXPECT_EQ(Apply({"TitleBarHeight 07"}).TitleBarHeight, 7);
  EXPECT_EQ(Apply({"TitleBarHeight -8"}).TitleBarHeight, 8);
  EXPECT_EQ(Apply({"TitleBarHeight abc"}).TitleBarHeight, 21);
  EXPECT_EQ(Apply({"TitleBarHeight 30", "TitleBarHeight x"}).TitleBarHeight, 30);
  EXPECT_EQ(Apply({"CloseRightEdge 9"}).CloseRightEdge, 9);
  EXPECT_EQ(Apply({"TitleBarHeight\xff 5"}).TitleBarHeight, 21);
}

TEST(Settings, PairsAndTheInactiveRectangle) {
  PlayerSettings s = Apply({"InactiveUpperLeft 10 20", "InactiveWidHeight 30,40"});
  EXPECT_EQ(s.inactive_x, 10);
  EXPECT_EQ(s.inactive_y, 20);
  EXPECT_EQ(s.inactive_wid, 30);
  EXPECT_EQ(s.inactive_hgt, 40);
  s = Apply({"InactiveUpperLeft 10  20"});
  EXPECT_EQ(s.inactive_y, 0);
  s = Apply({"InactiveUpperLeft 10"});
  EXPECT_EQ(s.inactive_x, 10);
  EXPECT_EQ(s.inactive_y, 0);
  s = Apply({"InactiveUpperLeft 5 5", "InactiveUpperLeft    "});
  EXPECT_EQ(s.inactive_x, 0);
  EXPECT_EQ(s.inactive_y, 0);
  s = Apply({"InactiveUpperLeft -3 x4"});
  EXPECT_EQ(s.inactive_x, 3);
  EXPECT_EQ(s.inactive_y, 0);
  std::string huge = "InactiveWidHeight 99999999999999999999 " + std::string(400, '9');
  ApplyDirective(huge.c_str(), &s);
  EXPECT_EQ(s.inactive_wid, INT32_MAX);
  EXPECT_EQ(s.inactive_hgt, INT32_MAX);
}

TEST(Settings, InactiveRectangleRuleAfterTheHeader) {
  auto x_after = [](const std::string& header) {
    PlayerSettings s = ReadFlow("", header + "~0\r\n").settings;
    SettleInactiveLook(&s, true);
    return s.inactive_x;
  };
  EXPECT_EQ(x_after("InactiveUpperLeft 0 0\r\nInactiveWidHeight 1 1\r\n"), 0);
  EXPECT_EQ(x_after("InactiveUpperLeft 5 5\r\nInactiveWidHeight 0 50\r\n"), -1);
  EXPECT_EQ(x_after("InactiveWidHeight 10 10\r\n"), -1);
  // Without an inactive record in the flow there is nothing to show.
  PlayerSettings s = Apply({"InactiveUpperLeft 0 0", "InactiveWidHeight 1 1"});
  SettleInactiveLook(&s, false);
  EXPECT_EQ(s.inactive_x, -1);
}

TEST(Settings, TextFlagsAndDigits) {
  EXPECT_STREQ(Apply({"WindowText \"Demo\""}).WindowText, "Demo");
  EXPECT_STREQ(Apply({"WindowText \"Demo to the end"}).WindowText, "Demo to the end");
  EXPECT_STREQ(Apply({"WindowText \"\""}).WindowText, "");
  EXPECT_STREQ(Apply({"WindowText Demo"}).WindowText, "Zebrik Demo");
  std::string long_title = "WindowText \"" + std::string(120, 'T') + "\"";
  EXPECT_EQ(std::string(Apply({long_title.c_str()}).WindowText), std::string(98, 'T'));
  EXPECT_EQ(Apply({"HelpOnly"}).HelpOn, 1);
  EXPECT_EQ(Apply({"xHelpOn"}).HelpOn, 0);
  EXPECT_EQ(Apply({"CoverTaskBarOk"}).CoverTaskBarOk, 1);
  EXPECT_EQ(Apply({"ScreenFill=2"}).ScreenFill, 2);
  EXPECT_EQ(Apply({"ScreenFill=12"}).ScreenFill, 1);
  EXPECT_EQ(Apply({"ScreenFill=2", "ScreenFill=3"}).ScreenFill, 0);
  EXPECT_EQ(Apply({"ScreenFill=1", "ScreenFill="}).ScreenFill, 0);
  EXPECT_EQ(Apply({"WindowRoundingStyle=1"}).WindowRoundingStyle, 1);
  EXPECT_EQ(Apply({"WindowRoundingStyle=2"}).WindowRoundingStyle, 0);
}

TEST(Settings, UnreadableFlowIsNoFlowEx1) {
  // On the heap, as the program keeps it: the record outgrows a thread's stack
  // in a 64-bit build.
  auto owned = std::make_unique<Player>();
  Player& p = *owned;
  p.movie.flow_path = "/nonexistent/flow";
  EXPECT_FALSE(ReadSettings(p.movie, &p.settings));
  testing::internal::CaptureStdout();
  try {
    TakeSettings(p);
    FAIL() << "returned";
  } catch (const fake::Exited& e) {
    EXPECT_EQ(e.code, 1);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "NoFlowEx1");
}
