// The splash paint: the whole layout against a golden listing, the splash
// block's rules (heights, where text starts and stops, where the block ends,
// long lines in pieces), the status line with its cursor, and the keys.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "splash/splash.h"
#include "splash/splash_block.h"
#include "support/fake_platform.h"
#include "support/movie_maker.h"
#include "support/player_fixture.h"

namespace {

// One line per draw, in order: what the golden listings below are made of.
std::string Listing() {
  std::string out;
  char line[400];
  for (const fake::SplashDraw& d : fake::state().splash) {
    if (d.fill) {
      std::snprintf(line, sizeof line, "fill %dx%d #%06x\n", d.x, d.y, d.colour);
    } else {
      std::snprintf(line, sizeof line, "text (%d,%d) h%d q%d #%06x %s \"%s\"\n", d.x, d.y,
                    d.font_hgt, d.quality, d.colour, d.opaque ? "opaque" : "clear",
                    d.text.c_str());
    }
    out += line;
  }
  return out;
}

const char kKeyHelp[] =
    "text (114,175) h35 q0 #191919 clear \"---- Demo Help ----\"\n"
    "text (50,240) h25 q0 #191919 clear \"Keyboard keys with special functions...\"\n"
    "text (20,433) h25 q0 #191919 opaque \" F2 = Toggle Looping Play Mode \"\n"
    "text (20,413) h25 q0 #191919 opaque \" F1 = Hide Red Frame Numbers \"\n"
    "text (20,393) h25 q0 #191919 opaque \" PAGEUP = Skip backward 100 frames \"\n"
    "text (20,373) h25 q0 #191919 opaque \" PAGEDOWN = Skip forward 100 frames \"\n"
    "text (20,353) h25 q0 #191919 opaque \" ESC = Close the window(s) and Exit the demo \"\n"
    "text (20,333) h25 q0 #191919 opaque \" Home key = Return to demo Home\"\n"
    "text (20,313) h25 q0 #191919 opaque "
    "\" Right Arrow = Step Foreward in the flow (while Paused) \"\n"
    "text (20,293) h25 q0 #191919 opaque "
    "\" Left Arrow = Step Backward in the flow (while Paused) \"\n"
    "text (20,273) h25 q0 #191919 opaque \" SPACEBAR = Pause / Continue play \"\n";

// 32 characters at 12.5 pixels: x 80. The invitation's 51 are 637 pixels
// wide, so it starts at (560 - 637) / 2 = -38, truncated toward zero.
const char kWaitStatus[] =
    "text (80,465) h25 q0 #000080 clear \"  Initializing - please wait... \"\n";
const char kClickStatus[] =
    "text (-38,465) h25 q0 #000080 clear \"  Click anywhere in the window to run the demo...  \"\n";

class SplashTest : public ::testing::Test {
 protected:
  void SetUp() override { fake::Reset(); }

  // The splash lines only: the draws between the fill and the help heading.
  std::string SplashLines(const MovieSource& m) {
    fake::Reset();
    PaintSplash(m, 2);
    std::string all = Listing();
    size_t start = all.find('\n') + 1;
    size_t end = all.find(kKeyHelp);
    EXPECT_NE(end, std::string::npos) << all;
    return all.substr(start, end - start);
  }
};

TEST_F(SplashTest, PaintsTheWholeSplash) {
  MoviePlan plan = SmallMovie(2, 4, 3);
  plan.header = {"WindowText \"Zebrik\"",
                 "SplashText",
                 "040 Zebrik Demo",
                 "040 Screen Movie",
                 "030 made with care",
                 "027 by the team",
                 "000",
                 "027 second part",
                 "030 the end",
                 "EndSplashText",
                 "040 after the block"};
  MovieSource m = WriteMovieFile(TempDir("splash"), EncodeMovie(plan));
  PaintSplash(m, 0);
  EXPECT_EQ(Listing(),
            std::string("fill 560x500 #c8ffc8\n"
                        "text (170,15) h40 q2 #000000 clear \"Zebrik Demo\"\n"
                        "text (160,47) h40 q2 #000000 clear \"Screen Movie\"\n"
                        "text (175,79) h30 q2 #000000 clear \"made with care\"\n"
                        "text (206,103) h27 q2 #000000 clear \"by the team\"\n"
                        "text (206,128) h27 q2 #000000 clear \"second part\"\n"
                        "text (227,149) h30 q2 #000000 clear \"the end\"\n") +
                kKeyHelp + kWaitStatus);
  EXPECT_EQ(fake::state().cursors,
            (std::vector<platform::Cursor>{platform::kCursorArrow, platform::kCursorWait}));
}

TEST_F(SplashTest, InvitesAClickOnceIndexed) {
  MovieSource m = WriteFlowFile("HelpOn\r\n");
  for (int32_t done : {2, 1}) {
    fake::Reset();
    PaintSplash(m, done);
    EXPECT_EQ(Listing(), std::string("fill 560x500 #c8ffc8\n") + kKeyHelp + kClickStatus);
    EXPECT_EQ(fake::state().cursors, std::vector<platform::Cursor>{platform::kCursorArrow});
  }
}

TEST_F(SplashTest, HeightIsTheNumberInTheFirstThreeCharacters) {
  EXPECT_EQ(SplashLineHeight("040 Title"), 40);
  EXPECT_EQ(SplashLineHeight("40 Wide"), 40);
  EXPECT_EQ(SplashLineHeight("1234 x"), 123);
  EXPECT_EQ(SplashLineHeight(" 7 x"), 7);
  EXPECT_EQ(SplashLineHeight("+30 x"), 30);
  EXPECT_EQ(SplashLineHeight("12"), 12);
  // No number, zero, or too small: 5.
  for (const char* line : {"000 x", "4", "-12 x", "abc x", "", "   9", "x40 x"}) {
    EXPECT_EQ(SplashLineHeight(line), 5) << '"' << line << '"';
  }
}

TEST_F(SplashTest, TextStartsAtTheFifthCharacterAndEndsAtControlOrHighBytes) {
  MovieSource m = WriteFlowFile(
      "SplashText\r\n"
      "40 Wide\r\n"             // the fourth character is the W: "ide"
      "020 caf\xe9 au lait\r\n" // an accented letter cuts the text
      "020 tab\there\r\n"
      "020 \x80high\r\n"        // nothing left: no draw, but the height counts
      "02\r\n"
      "020 \r\n"
      "010 last\r\n"
      "EndSplashText\r\n");
  EXPECT_EQ(SplashLines(m),
            "text (250,15) h40 q2 #000000 clear \"ide\"\n"
            "text (265,47) h20 q2 #000000 clear \"caf\"\n"
            "text (265,63) h20 q2 #000000 clear \"tab\"\n"
            "text (270,115) h10 q2 #000000 clear \"last\"\n");
}

TEST_F(SplashTest, WideTextStartsLeftOfTheWindow) {
  // 47 characters at 12.5 pixels are 587 wide: (560 - 587) / 2 is -13, not -14.
  MovieSource m = WriteFlowFile("SplashText\r\n025 " + std::string(47, 'W') + "\r\nEndSplashText\r\n");
  EXPECT_EQ(SplashLines(m),
            "text (-13,15) h25 q2 #000000 clear \"" + std::string(47, 'W') + "\"\n");
}

TEST_F(SplashTest, NoSplashTextDrawsOnlyTheHelp) {
  // A "SplashText" past LastFlowByte belongs to the stack, not the header.
  std::string flow = "WindowText \"a\"\n~000000\n";
  MovieSource m = WriteFlowFile(flow + "SplashText\n040 not here\nEndSplashText\n", "", int32_t(flow.size()));
  EXPECT_EQ(SplashLines(m), "");
  EXPECT_EQ(Listing(), std::string("fill 560x500 #c8ffc8\n") + kKeyHelp + kClickStatus);
}

TEST_F(SplashTest, BlockWithoutEndStopsBeforeTheLineReachingLastFlowByte) {
  // LF line ends and a flow that starts inside the file, after a block that
  // is not part of it.
  std::string before = "SplashText\n040 image\nEndSplashText\n";
  std::string flow = "SplashText\n040 one\n040 two\n040 three\n";
  int32_t end = int32_t(before.size() + flow.size());
  EXPECT_EQ(SplashLines(WriteFlowFile(flow, before, end)),
            "text (250,15) h40 q2 #000000 clear \"one\"\n"
            "text (250,47) h40 q2 #000000 clear \"two\"\n");
  // LastFlowByte inside "two": that line reaches it.
  EXPECT_EQ(SplashLines(WriteFlowFile(flow, before, end - 12)),
            "text (250,15) h40 q2 #000000 clear \"one\"\n");
  // Lines that would start below the window end the block as well.
  std::string tall = "SplashText\r\n";
  for (int i = 0; i < 10; ++i) tall += "100 x\r\n";
  std::string listing = SplashLines(WriteFlowFile(tall));
  EXPECT_NE(listing.find("(255,495)"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("(255,575)"), std::string::npos) << listing;
}

TEST_F(SplashTest, LongLinesArriveInPiecesOf295Characters) {
  // 4 + 291 characters fill the buffer (height 2, so 5); the rest of the line
  // is a line of its own with a height of 30.
  std::string a(291, 'a');
  MovieSource m = WriteFlowFile("SplashText\r\n002 " + a + "030 bc\r\nEndSplashText\r\n");
  EXPECT_EQ(SplashLines(m),
            "text (-83,15) h5 q2 #000000 clear \"" + a + "\"\n"
            "text (265,19) h30 q2 #000000 clear \"bc\"\n");
}

TEST_F(SplashTest, UnreadableFlowEndsTheProgram) {
  MovieSource m;
  m.flow_path = TempDir("splash") + "/gone";
  int code;
  EXPECT_EQ(Console([&] { PaintSplash(m, 0); }, &code), "NoFlowS1");
  EXPECT_EQ(code, 1);
}

TEST_F(SplashTest, WindowIsCentredOnTheWorkArea) {
  platform::Point at = PlaceSplash({0, 0, 1920, 1040});
  EXPECT_EQ(at.x, 680);
  EXPECT_EQ(at.y, 270);
  at = PlaceSplash({10, 20, 1035, 791});  // odd sizes: the halves drop their fraction
  EXPECT_EQ(at.x, 10 + 512 - 280);
  EXPECT_EQ(at.y, 20 + 385 - 250);
}

TEST_F(SplashTest, RightArrowDismissesAndEscEnds) {
  EXPECT_TRUE(OnSplashKey(platform::kKeyRight));
  for (platform::Key key : {platform::kKeyLeft, platform::kKeyReturn, platform::kKeySpace,
                            platform::kKeyF1, platform::kKeyOther}) {
    EXPECT_FALSE(OnSplashKey(key)) << key;
  }
  try {
    OnSplashKey(platform::kKeyEscape);
    FAIL() << "Esc returned";
  } catch (const fake::Exited& e) {
    EXPECT_EQ(e.code, 0);
  }
}

}  // namespace
