// The text inputs of "qvm build": the header file and the frame list. Both are
// checked here, line by line, so a movie never carries a line the player would
// misread.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "movie/timing_line.h"

// Lines written verbatim at the head of the flow. Refuses a line that is not
// 7-bit printable text, that is longer than the splash reader takes whole, or
// that the player would take for a record ("~", "$", "InactiveFrame",
// "StopReading").
std::vector<std::string> ReadHeaderFile(const std::string& path);
// The same rules for one line; where begins the message ("FILE line N: ").
void CheckHeaderLine(const std::string& line, const std::string& where);

// The lines of a text, with LF or CR LF line ends.
std::vector<std::string> LinesOf(const std::string& text);
// The lines of a text file; throws when it cannot be read.
std::vector<std::string> ReadLines(const std::string& path);
// The text without its leading and trailing blanks.
std::string Trim(const std::string& text);
// "X1,Y1,X2,Y2" from text[start] on; throws bad_form or a bad edge's error.
ClickRegion ParseClickRegion(const std::string& text, size_t start, const std::string& bad_form,
                             const std::string& edge_what);

struct ListedFrame {
  std::string png;
  TimingLine timing;
};

struct FrameList {
  std::vector<ListedFrame> frames;
  std::string inactive_png;         // empty: no inactive picture
  int32_t stop_reading_before = -1; // frame number, -1 for none
};

// Relative PNG paths are taken from the list file's folder.
FrameList ReadFrameList(const std::string& path, int32_t default_delay_ms);
