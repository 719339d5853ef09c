#include "qvm/build_inputs.h"

#include <stdexcept>

#include "movie/flow_text.h"
#include "qvm/cli_args.h"
#include "qvm/movie_file.h"
#include "qvm/movie_writer.h"

namespace {

// The splash reader takes header lines whole up to this length.
constexpr size_t kLongestHeaderLine = 294;

std::string Where(const std::string& path, size_t n) {
  return path + " line " + std::to_string(n + 1) + ": ";
}

// The flow is 7-bit text: codes 32 to 126 only.
void RequirePrintable(const std::string& line, const std::string& where) {
  for (char c : line) {
    if (c < 32 || c > 126) throw std::runtime_error(where + "holds a character outside codes 32 to 126");
  }
}

// Splits "REST LAST" at the last blank; false when there is none.
bool SplitLast(const std::string& text, std::string* rest, std::string* last) {
  size_t blank = text.rfind(' ');
  if (blank == std::string::npos) return false;
  *rest = Trim(text.substr(0, blank));
  *last = text.substr(blank + 1);
  return !rest->empty();
}

ListedFrame ReadFrameLine(const std::string& line, int32_t default_delay, const std::string& where) {
  ListedFrame f;
  f.timing.delay_ms = default_delay;
  std::string rest, last;
  if (!SplitLast(line, &rest, &last)) {
    f.png = line;  // a picture alone keeps the default delay
    return f;
  }
  std::string png, word;
  if (SplitLast(rest, &png, &word) && word == "click") {
    f.png = png;
    f.timing = {-1, true, ParseClickRegion(last, 0, where + "a click region is X1,Y1,X2,Y2", where + "a click edge")};
  } else {
    f.png = rest;
    f.timing.delay_ms = ParseCount(last, where + "the delay");
  }
  return f;
}

std::string FromFolderOf(const std::string& list_path, const std::string& png) {
  if (!png.empty() && png[0] == '/') return png;
  size_t slash = list_path.rfind('/');
  return slash == std::string::npos ? png : list_path.substr(0, slash + 1) + png;
}

}  // namespace

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> ReadLines(const std::string& path) { return LinesOf(ReadWhole(path)); }

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

ClickRegion ParseClickRegion(const std::string& text, size_t start, const std::string& bad_form,
                             const std::string& edge_what) {
  ClickRegion region;
  int32_t* edges[4] = {&region.left, &region.top, &region.right, &region.bottom};
  for (int i = 0; i < 4; ++i) {
    const size_t comma = i < 3 ? text.find(',', start) : text.size();
    if (comma == std::string::npos) throw std::runtime_error(bad_form);
    *edges[i] = ParseCount(text.substr(start, comma - start), edge_what);
    start = comma + 1;
  }
  return region;
}

void CheckHeaderLine(const std::string& line, const std::string& where) {
  RequirePrintable(line, where);
  if (line.size() > kLongestHeaderLine) throw std::runtime_error(where + "is longer than 294 characters");
  for (const char* record : {"~", "$", "InactiveFrame", "StopReading"}) {
    if (MatchesKeyword(line.c_str(), record)) {
      throw std::runtime_error(where + "begins with \"" + record +
                               "\", which the player reads as a record, not a header line");
    }
  }
}

std::vector<std::string> ReadHeaderFile(const std::string& path) {
  std::vector<std::string> lines = ReadLines(path);
  for (size_t n = 0; n < lines.size(); ++n) CheckHeaderLine(lines[n], Where(path, n));
  return lines;
}

FrameList ReadFrameList(const std::string& path, int32_t default_delay_ms) {
  FrameList list;
  std::vector<std::string> lines = ReadLines(path);
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string where = Where(path, n);
    RequirePrintable(lines[n], where);
    const std::string line = Trim(lines[n]);
    if (line.empty() || line[0] == '#') continue;
    if (line == "StopReading") {
      // Only the first one counts: the player reads nothing after it.
      if (list.stop_reading_before < 0) list.stop_reading_before = int32_t(list.frames.size());
    } else if (MatchesKeyword(line.c_str(), "inactive ")) {
      if (!list.inactive_png.empty()) throw std::runtime_error(where + "a second inactive picture");
      list.inactive_png = FromFolderOf(path, Trim(line.substr(9)));
    } else {
      ListedFrame f = ReadFrameLine(line, default_delay_ms, where);
      f.png = FromFolderOf(path, f.png);
      list.frames.push_back(f);
    }
  }
  return list;
}
