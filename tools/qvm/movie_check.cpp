#include "qvm/movie_check.h"

#include "movie/flow_text.h"
#include "movie/movie_source.h"
#include "movie/row_list.h"
#include "qvm/flow_lines.h"

namespace {

constexpr int64_t kLongestLine = kLineSize - 2;  // 9994: the player reads no longer line whole

std::string Num(int64_t n) { return std::to_string(n); }

// Walks the flow line by line, as the frame indexer and the frame presenter
// meet it: a frame record is a frame line, a row list and a timing line.
class FlowChecker {
 public:
  FlowChecker(const MovieSource& movie, MovieReport* report) : movie_(movie), report_(report) {}

  void Line(const FlowLine& line) {
    CheckLineEnd(line);
    const Expect expected = expect_;
    expect_ = Expect::kAnything;
    if (expected != Expect::kAnything) {
      if (TakeExpected(line, expected)) return;
      ReportMissing(expected);
    }
    Examine(line);
  }

  void Finish() {
    if (expect_ != Expect::kAnything) ReportMissing(expect_);
    if (report_->frames == 0) Warning(movie_.FirstFlowByte, "the player indexes no frame");
  }

 private:
  enum class Expect { kAnything, kFrameRowList, kTimingLine, kInactiveRowList };

  void CheckLineEnd(const FlowLine& line) {
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

  // True when the line is the one the record expects next.
  bool TakeExpected(const FlowLine& line, Expect expected) {
    const char* text = line.text.c_str();
    if (expected == Expect::kTimingLine) {
      return text[0] != '~' && text[0] != '$' && !MatchesKeyword(text, "InactiveFrame") &&
             !MatchesKeyword(text, "StopReading");
    }
    if (text[0] != '$') return false;
    const int64_t rows = RowList(line, counted_record_);
    if (expected == Expect::kFrameRowList) {
      if (counted_record_) report_->raw_frame_bytes += rows * movie_.StackWid * 3;
      expect_ = Expect::kTimingLine;
    }
    return true;
  }

  // What a record lacks when the line it expects next is not there.
  void ReportMissing(Expect expected) {
    Problem(record_offset_, expected == Expect::kFrameRowList ? "frame line is not followed by a row list"
                            : expected == Expect::kTimingLine ? "frame record has no timing line"
                                                              : "InactiveFrame is not followed by a row list");
  }

  void Examine(const FlowLine& line) {
    const char* text = line.text.c_str();
    if (text[0] == '~') {
      const int64_t name = FrameNameLength(text);
      if (name > kMaxFrameName) {
        Problem(line.offset, "frame name of " + Num(name) + " characters; a name holds at most 48");
      }
      Record(line, Expect::kFrameRowList);
      if (counted_record_ && ++report_->frames == kMaxFrames + 1) {
        Problem(line.offset, "more than 50000 frames; the player indexes the first 50000");
      }
    } else if (MatchesKeyword(text, "InactiveFrame")) {
      Record(line, Expect::kInactiveRowList);
    } else if (MatchesKeyword(text, "StopReading")) {
      if (!ReachesFlowEnd(line)) stopped_ = true;
    } else if (text[0] == '$') {
      RowList(line, false);  // a row list outside any record; the player passes it over
    }
  }

  void Record(const FlowLine& line, Expect next) {
    // The indexer stops before the line whose end reaches the flow's end.
    counted_record_ = !stopped_ && !ReachesFlowEnd(line);
    record_offset_ = line.offset;
    expect_ = next;
  }

  // Checks a row list and returns its row count; the rows of a counted record
  // are added to the report's references.
  int64_t RowList(const FlowLine& line, bool counted) {
    const int64_t chars = line.length - 1;
    if (chars % 4 != 0) {
      Problem(line.offset, "row list of " + Num(chars) +
                               " characters after the \"$\", not a multiple of 4");
    }
    const int64_t rows = chars / 4;
    if (rows > kMaxRows) {
      Problem(line.offset, "row list of " + Num(rows) + " rows; a frame has at most 2400");
    }
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
      if (!counted) continue;
      if (seen_.empty()) seen_.resize(size_t(kMaxStackRows));
      ++report_->row_refs;
      if (!seen_[size_t(index)]) ++report_->unique_rows;
      seen_[size_t(index)] = true;
    }
    return rows;
  }

  bool ReachesFlowEnd(const FlowLine& line) const {
    return line.offset + line.length + line.end_bytes >= movie_.LastFlowByte;
  }
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

// What the layout reader found before the flow is walked: the width, the
// stack's whole rows, the 32-bit reach and the first row list.
void CheckLayout(const MovieSource& m, MovieReport* r) {
  auto problem = [r](int64_t offset, const std::string& text) {
    r->findings.push_back({offset, false, text});
  };
  if (m.StackWid == 0 || m.StackWid > kMaxStackWid) {
    problem(m.FirstStackByte - 2, "movie width " + Num(m.StackWid) + "; the player shows 1 to 3000 pixels");
  }
  if (m.StackWid > 0) {
    const int64_t row_bytes = int64_t{m.StackWid} * 3;
    const int64_t stack_bytes = m.stack_file_bytes > m.FirstStackByte ? m.stack_file_bytes - m.FirstStackByte : 0;
    r->stack_rows = stack_bytes / row_bytes;
    if (stack_bytes % row_bytes != 0) {
      r->findings.push_back({m.FirstStackByte + r->stack_rows * row_bytes, true, "the stack ends inside a row"});
    }
    if (m.stack_file_bytes > INT32_MAX || m.flow_stamp.bytes > INT32_MAX) {
      problem(INT32_MAX, "the movie reaches beyond the player's 32-bit offsets");
    }
  }
  if (m.MaxFrameHgt < 0) {
    problem(m.FirstFlowByte, "the flow holds no row list");
  } else if (m.MaxFrameHgt == 0) {
    problem(m.FirstFlowByte, "the first row list names no rows; the player needs 1 to 2400");
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
  CheckLayout(movie, &report);
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
