// Whole flow lines for the checker. The player's readers take a long line in
// pieces; the checker wants the line as the file holds it, so it joins the
// pieces LineReader hands over and says how the line ended.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "movie/line_reader.h"

struct FlowLine {
  int64_t offset = 0;   // of the line's first character in the file
  int64_t length = 0;   // characters before the line end, however many
  int end_bytes = 0;    // 2: CR LF, 1: LF alone, 0: the flow ended first
  std::string text;     // the first kKeptChars characters
};

class FlowLines {
 public:
  // Longer than any line the player reads whole, so a row list is kept entire.
  static constexpr int kKeptChars = 16384;

  // The flow runs from first to last (the end byte's offset, or the size).
  bool open(const std::string& path, int64_t first, int64_t last);
  // False once the next line would start at or beyond the flow's end.
  bool next(FlowLine* line);

 private:
  LineReader reader_;
  std::vector<char> piece_ = std::vector<char>(kKeptChars + 1);
  int64_t last_ = 0;
};
