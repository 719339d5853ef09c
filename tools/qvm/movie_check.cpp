#include "qvm/movie_check.h"

#include <cstring>

#include "movie/flow_text.h"
#include "movie/movie_source.h"
#include "movie/row_list.h"
#include "qvm/flow_lines.h"

namespace {

constexpr int64_t kLongestLine = kLineSize - 2;  // 9994: the player reads no longer line whole
constexpr int64_t kRowCodes = 80LL * 80 * 80 * 80;

std::string Num(int64_t n) { return std::to_string(n); }

// Walks the flow line by line, as the frame indexer and the frame presenter
// meet it: a frame record is a frame line, a row list and a timing line.
class FlowChecker {
 public:
  FlowChecker(const MovieSource& movie, MovieReport* report) : movie_(movie), report_(report) {}
  void Line(const FlowLine& line);
  void Finish();

 private:
  enum class Expect { kAnything, kFrameRowList, kTimingLine, kInactiveRowList };

  void CheckLineEnd(const FlowLine& line);
  void Examine(const FlowLine& line);
  void FrameLine(const FlowLine& line);
  void InactiveLine(const FlowLine& line);
  int64_t RowList(const FlowLine& line, bool counted);  // returns the row count
  void RowCodes(const FlowLine& line, int64_t rows, bool counted);
  void CountRow(int32_t index);
  bool ReachesFlowEnd(const FlowLine& line) const;
  void Problem(int64_t offset, const std::string& text) {
    report_->findings.push_back({offset, false, text});
  }
  void Warning(int64_t offset, const std::string& text) {
    report_->findings.push_back({offset, true, text});
  }

  const MovieSource& movie_;
  MovieReport* report_;
  Expect expect_ = Expect::kAnything;
  int64_t record_offset_ = 0;  // the frame or InactiveFrame line awaiting its next line
  bool counted_record_ = false;
  bool stopped_ = false;       // "StopReading" met: the indexer reads no further
  std::vector<bool> seen_;
};

bool FlowChecker::ReachesFlowEnd(const FlowLine& line) const {
  return line.offset + line.length + line.end_bytes >= movie_.LastFlowByte;
}

void FlowChecker::CheckLineEnd(const FlowLine& line) {
  if (line.end_bytes == 1) {
    Warning(line.offset, "line ends in LF alone, not CR LF");
  } else if (line.end_bytes == 0) {
    Problem(line.offset, "line has no line end before the flow ends");
  }
  if (line.length > kLongestLine) {
    Problem(line.offset, "line of " + Num(line.length) +
                             " characters; the player reads at most 9994 as one line");
  }
}

void FlowChecker::Line(const FlowLine& line) {
  CheckLineEnd(line);
  const char first = line.text.empty() ? '\0' : line.text[0];
  switch (expect_) {
    case Expect::kAnything:
      break;
    case Expect::kFrameRowList:
      expect_ = Expect::kAnything;
      if (first == '$') {
        const int64_t rows = RowList(line, counted_record_);
        if (counted_record_) report_->raw_frame_bytes += rows * movie_.StackWid * 3;
        expect_ = Expect::kTimingLine;
        return;
      }
      Problem(record_offset_, "frame line is not followed by a row list");
      break;
    case Expect::kInactiveRowList:
      expect_ = Expect::kAnything;
      if (first == '$') {
        RowList(line, counted_record_);
        return;
      }
      Problem(record_offset_, "InactiveFrame is not followed by a row list");
      break;
    case Expect::kTimingLine:
      expect_ = Expect::kAnything;
      if (first != '~' && first != '$' && !MatchesKeyword(line.text.c_str(), "InactiveFrame") &&
          !MatchesKeyword(line.text.c_str(), "StopReading")) {
        return;
      }
      Problem(record_offset_, "frame record has no timing line");
      break;
  }
  Examine(line);
}

void FlowChecker::Examine(const FlowLine& line) {
  const char* text = line.text.c_str();
  if (text[0] == '~') {
    FrameLine(line);
  } else if (MatchesKeyword(text, "InactiveFrame")) {
    InactiveLine(line);
  } else if (MatchesKeyword(text, "StopReading")) {
    if (!ReachesFlowEnd(line)) stopped_ = true;
  } else if (text[0] == '$') {
    RowList(line, false);  // a row list outside any record; the player passes it over
  }
}

void FlowChecker::FrameLine(const FlowLine& line) {
  const int64_t name = FrameNameLength(line.text.c_str());
  if (name > kMaxFrameName) {
    Problem(line.offset, "frame name of " + Num(name) + " characters; a name holds at most 48");
  }
  // The indexer stops before the line whose end reaches the flow's end.
  counted_record_ = !stopped_ && !ReachesFlowEnd(line);
  if (counted_record_ && ++report_->frames == kMaxFrames + 1) {
    Problem(line.offset, "more than 50000 frames; the player indexes the first 50000");
  }
  record_offset_ = line.offset;
  expect_ = Expect::kFrameRowList;
}

void FlowChecker::InactiveLine(const FlowLine& line) {
  counted_record_ = !stopped_ && !ReachesFlowEnd(line);
  record_offset_ = line.offset;
  expect_ = Expect::kInactiveRowList;
}

int64_t FlowChecker::RowList(const FlowLine& line, bool counted) {
  const int64_t chars = line.length - 1;
  if (chars % 4 != 0) {
    Problem(line.offset, "row list of " + Num(chars) +
                             " characters after the \"$\", not a multiple of 4");
  }
  const int64_t rows = chars / 4;
  if (rows > kMaxRows) {
    Problem(line.offset, "row list of " + Num(rows) + " rows; a frame has at most 2400");
  }
  RowCodes(line, rows, counted);
  return rows;
}

void FlowChecker::RowCodes(const FlowLine& line, int64_t rows, bool counted) {
  const int64_t kept = (int64_t(line.text.size()) - 1) / 4;
  bool bad_code = false, beyond = false;
  for (int64_t i = 0; i < rows && i < kept; ++i) {
    const int32_t index = RowIndex(line.text.c_str() + 1 + 4 * i);
    if (index < 0) {
      if (!bad_code) Problem(line.offset, "row " + Num(i) + " has a character outside \"+\" to \"z\"");
      bad_code = true;
      continue;
    }
    if (index >= report_->stack_rows && movie_.StackWid > 0 && !beyond) {
      Problem(line.offset, "row " + Num(i) + " names stack row " + Num(index) +
                               "; the stack holds " + Num(report_->stack_rows));
      beyond = true;
    }
    if (counted) CountRow(index);
  }
}

void FlowChecker::CountRow(int32_t index) {
  if (seen_.empty()) seen_.resize(size_t(kRowCodes));
  ++report_->row_refs;
  if (!seen_[size_t(index)]) {
    seen_[size_t(index)] = true;
    ++report_->unique_rows;
  }
}

void FlowChecker::Finish() {
  if (expect_ == Expect::kFrameRowList || expect_ == Expect::kTimingLine) {
    Problem(record_offset_, expect_ == Expect::kFrameRowList
                                ? "frame line is not followed by a row list"
                                : "frame record has no timing line");
  } else if (expect_ == Expect::kInactiveRowList) {
    Problem(record_offset_, "InactiveFrame is not followed by a row list");
  }
  if (report_->frames == 0) Warning(movie_.FirstFlowByte, "the player indexes no frame");
}

void CheckWidthAndStack(const MovieSource& m, MovieReport* r) {
  const int64_t width_field = m.FirstStackByte - 2;
  if (m.StackWid == 0 || m.StackWid > kMaxStackWid) {
    r->findings.push_back({width_field, false, "movie width " + Num(m.StackWid) +
                                                   "; the player shows 1 to 3000 pixels"});
  }
  if (m.StackWid <= 0) return;
  const int64_t row_bytes = int64_t{m.StackWid} * 3;
  const int64_t stack_bytes = m.stack_file_bytes > m.FirstStackByte ? m.stack_file_bytes - m.FirstStackByte : 0;
  r->stack_rows = stack_bytes / row_bytes;
  if (stack_bytes % row_bytes != 0) {
    r->findings.push_back({m.FirstStackByte + r->stack_rows * row_bytes, true,
                           "the stack ends inside a row"});
  }
  if (m.stack_file_bytes > INT32_MAX || m.flow_stamp.bytes > INT32_MAX) {
    r->findings.push_back({INT32_MAX, false, "the movie reaches beyond the player's 32-bit offsets"});
  }
}

void CheckFirstRowList(const MovieSource& m, MovieReport* r) {
  if (m.MaxFrameHgt < 0) {
    r->findings.push_back({m.FirstFlowByte, false, "the flow holds no row list"});
  } else if (m.MaxFrameHgt == 0) {
    r->findings.push_back({m.FirstFlowByte, false,
                           "the first row list names no rows; the player needs 1 to 2400"});
  }
}

}  // namespace

int64_t MovieReport::problems() const {
  int64_t n = 0;
  for (const Finding& f : findings) n += f.warning ? 0 : 1;
  return n;
}

MovieReport CheckMovie(const MovieFile& file) {
  MovieReport report;
  const MovieSource& movie = file.movie;
  if (!file.has_end()) {
    report.findings.push_back({movie.FirstFlowByte, false, "no end byte (0xFF) after the flow"});
    return report;
  }
  CheckWidthAndStack(movie, &report);
  CheckFirstRowList(movie, &report);
  FlowLines lines;
  if (!lines.open(movie.flow_path, movie.FirstFlowByte, movie.LastFlowByte)) {
    report.findings.push_back({movie.FirstFlowByte, false, "cannot read the flow"});
    return report;
  }
  FlowChecker checker(movie, &report);
  FlowLine line;
  while (lines.next(&line)) checker.Line(line);
  checker.Finish();
  return report;
}
