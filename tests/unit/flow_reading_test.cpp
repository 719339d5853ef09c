// The flow's line reader and timing lines: exact offsets for CR LF and LF,
// pieces for long lines, and timing lines read without running off their end.
#include <gtest/gtest.h>

#include <string>

#include "movie/line_reader.h"
#include "movie/timing_line.h"
#include "qvm/movie_writer.h"
#include "support/movie_maker.h"

namespace {

struct ReadLine {
  std::string text;
  int64_t offset, position;
  bool ended;
};

std::vector<ReadLine> ReadAll(const std::string& bytes, int size) {
  std::string path = TempDir("lines") + "/flow";
  EXPECT_TRUE(WriteFile(path, bytes));
  LineReader reader;
  EXPECT_TRUE(reader.open(path.c_str()));
  std::vector<ReadLine> lines;
  std::vector<char> buf(size);
  while (reader.read(buf.data(), size)) {
    lines.push_back({buf.data(), reader.line_offset(), reader.position(), reader.ended()});
  }
  return lines;
}

}  // namespace

TEST(LineReader, ExactOffsetsForAnyLineEnd) {
  auto lines = ReadAll("ab\r\n\r\ncde\nf\rg\n~x", 100);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].text, "ab");
  EXPECT_EQ(lines[0].position, 4);
  EXPECT_EQ(lines[1].text, "");
  EXPECT_EQ(lines[1].offset, 4);
  EXPECT_EQ(lines[2].text, "cde");
  EXPECT_EQ(lines[2].offset, 6);
  EXPECT_EQ(lines[2].position, 10);
  EXPECT_EQ(lines[3].text, "f\rg");  // a lone CR is text
  EXPECT_EQ(lines[4].text, "~x");
  EXPECT_FALSE(lines[4].ended);
  EXPECT_EQ(lines[4].position, 16);
}

TEST(LineReader, LongLinesArriveInBufferSizedPieces) {
  // A buffer of 6 holds 4 characters and the line end, or 5 characters alone.
  auto lines = ReadAll("1234\r\n12345\r\n123456789AB\r\n", 6);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].text, "1234");
  EXPECT_TRUE(lines[0].ended);
  EXPECT_EQ(lines[1].text, "12345");
  EXPECT_FALSE(lines[1].ended);
  EXPECT_EQ(lines[2].text, "");  // the line end of "12345" on its own
  EXPECT_EQ(lines[2].offset, 11);
  EXPECT_EQ(lines[3].text, "12345");
  EXPECT_EQ(lines[4].text, "6789A");
  EXPECT_EQ(lines[5].text, "B");
  EXPECT_EQ(lines[5].position, 26);
}

TEST(LineReader, LineEndsSplitAcrossReadsAndAtTheBuffersEdge) {
  // A CR LF straddling the reader's first 4096-byte read, and one right where
  // the caller's buffer is full: both still end their line.
  std::string first(4095, 'a');
  auto lines = ReadAll(first + "\r\nbb\r\r\n12345\r\n", 7);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.back().text, "12345");
  EXPECT_TRUE(lines.back().ended);
  EXPECT_EQ(lines[lines.size() - 2].text, "bb\r");
  lines = ReadAll(first + "\r\nz", 5000);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, first);
  EXPECT_EQ(lines[1].offset, 4097);
}

TEST(LineReader, SeekStartsAtAnExactOffset) {
  std::string path = TempDir("seek") + "/flow";
  ASSERT_TRUE(WriteFile(path, "one\r\ntwo\r\nthree\r\n"));
  LineReader reader;
  ASSERT_TRUE(reader.open(path.c_str()));
  char buf[32];
  reader.read(buf, 32);
  ASSERT_TRUE(reader.seek(10));
  ASSERT_TRUE(reader.read(buf, 32));
  EXPECT_STREQ(buf, "three");
  EXPECT_EQ(reader.line_offset(), 10);
  EXPECT_FALSE(reader.read(buf, 32));
  EXPECT_FALSE(reader.seek(-1));
}

TEST(TimingLine, DelayAndClickForms) {
  struct Case {
    const char* line;
    int32_t delay;
    bool click;
    int32_t left, top, right, bottom;
  } cases[] = {
      {"  \">\" Timer 140 -- 719,346", 140, false, 0, 0, 0, 0},
      {"\">\" Timer 140 -- 719,346", 140, false, 0, 0, 0, 0},
      {"  \">\" Timer 5,10,100,50 -- 0,0", -1, true, 5, 10, 100, 50},
      {"  \">\" Timer 5,,100,50", -1, true, 5, 0, 100, 50},
      {"  \">\" Timer 5,10;100;50", -1, true, 5, 10, 100, 50},
      {"  \">\" Timer 5 ,10,100,50", 5, false, 0, 0, 0, 0},
      {"  \">\" Timer -1", 0, false, 0, 0, 0, 0},
      {"  \">\" Timer  ", 0, false, 0, 0, 0, 0},
      {"  \">\" Timer abc", 0, false, 0, 0, 0, 0},
      {"  \">\" Timer 100,200,300,400", -1, true, 100, 200, 300, 400},
  };
  for (const Case& c : cases) {
    TimingLine t = ReadTimingLine(c.line);
    EXPECT_EQ(t.delay_ms, c.delay) << c.line;
    EXPECT_EQ(t.click, c.click) << c.line;
    const ClickRegion& r = t.region;
    EXPECT_EQ(std::vector<int32_t>({r.left, r.top, r.right, r.bottom}),
              std::vector<int32_t>({c.left, c.top, c.right, c.bottom}))
        << c.line;
  }
}

TEST(TimingLine, LinesThatEndEarlyStopAtTheirEnd) {
  for (const char* line : {"", " ", "\">\"", "  \">\" Timer", "  \">\" Timer 7,", "  \">\" Timer 7,8",
                           "  \">\" Timer 7,8,"}) {
    TimingLine t = ReadTimingLine(line);
    EXPECT_GE(t.delay_ms, t.click ? -1 : 0) << line;
  }
  EXPECT_EQ(ReadTimingLine("  \">\" Timer").delay_ms, 0);
  TimingLine cut = ReadTimingLine("  \">\" Timer 7,8,");
  EXPECT_TRUE(cut.click);
  EXPECT_EQ(cut.region.left, 7);
  EXPECT_EQ(cut.region.top, 8);
  EXPECT_EQ(cut.region.right, 0);
  EXPECT_EQ(cut.region.bottom, 0);
  EXPECT_EQ(ReadTimingLine("a b 99999999999999999999").delay_ms, INT32_MAX);
}
