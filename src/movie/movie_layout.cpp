#include "movie/movie_layout.h"

#include <memory>

#include "movie/line_reader.h"
#include "movie/row_list.h"

namespace {

constexpr int kMarkerLength = 94;
constexpr int kEndByte = 0xFF;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Offset of the first end byte from the stream's position, which is `at`, on;
// -1 when the file ends first.
int64_t FindEndByte(std::FILE* file, int64_t at) {
  unsigned char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, file)) > 0) {
    for (size_t i = 0; i < n; ++i) {
      if (buf[i] == kEndByte) return at + int64_t(i);
    }
    at += int64_t(n);
  }
  return -1;
}

bool SeekTo(std::FILE* file, int64_t offset) {
#if defined(_WIN32)
  return fseeko64(file, offset, SEEK_SET) == 0;
#else
  return fseeko(file, offset, SEEK_SET) == 0;
#endif
}

// The width field, two bytes most significant first, just before the stack;
// 0 when the file ends first. False when the stack file cannot be opened.
bool ReadWidth(const std::string& stack_path, int64_t first_stack, int32_t* width) {
  File file(std::fopen(stack_path.c_str(), "rb"));
  if (!file) return false;
  *width = 0;
  if (!SeekTo(file.get(), first_stack - 2)) return true;
  int hi = std::getc(file.get());
  int lo = std::getc(file.get());
  if (hi != EOF && lo != EOF) *width = hi * 256 + lo;
  return true;
}

// Flow and end byte in one file: a movie file of its own, or a player's own
// file after its marker.
LayoutFault ReadOneFile(MovieKind kind, MovieSource* m) {
  File file(std::fopen(m->flow_path.c_str(), "rb"));
  if (!file) return LayoutFault::kNoFile;
  m->flow_stamp = StampOf(m->flow_path);
  m->stack_file_bytes = m->flow_stamp.bytes;
  if (kind == MovieKind::kAppended) {
    const int64_t after = FindMarker(file.get());
    if (after < 0) return LayoutFault::kNoMarker;
    m->marker_offset = after - kMarkerLength;
    m->FirstFlowByte = after;
  }
  m->LastFlowByte = FindEndByte(file.get(), m->FirstFlowByte);
  if (m->LastFlowByte < 0) return LayoutFault::kNoEndByte;
  m->FirstStackByte = m->LastFlowByte + 3;
  return m->FirstStackByte > INT32_MAX ? LayoutFault::kBeyondOffsets : LayoutFault::kNone;
}

// The external pair: the flow file ends where the file does, and the stack
// file begins with the width field.
LayoutFault ReadPair(MovieSource* m) {
  m->flow_stamp = StampOf(m->flow_path);
  const int64_t bytes = m->flow_stamp.bytes;
  if (bytes < 0) return LayoutFault::kNoFile;
  // The index keeps 32-bit offsets: a larger flow file is read up to there.
  m->LastFlowByte = bytes > INT32_MAX ? INT32_MAX : bytes;
  m->FirstStackByte = 2;
  m->stack_file_bytes = StampOf(m->stack_path).bytes;
  return LayoutFault::kNone;
}

// Rows named by the first row list in the flow between first and last (the
// flow's end), or -1 when the flow holds none.
int32_t FirstRowListRows(const std::string& flow_path, int64_t first, int64_t last) {
  LineReader flow;
  if (!flow.open(flow_path.c_str()) || !flow.seek(first)) return -1;
  // The search ends with the flow: a row list cut by the end byte counts only
  // the characters before it, and the stack is never searched.
  flow.set_end(last);
  static char line[kLineSize];
  while (flow.read(line, kLineSize)) {
    if (line[0] == '$') return RowCount(line);
  }
  return -1;
}

}  // namespace

int64_t FindMarker(std::FILE* file) {
  int k = 0;
  int64_t read = 0;
  while (k < kMarkerLength) {
    int c = std::getc(file);
    if (c == EOF) return -1;
    ++read;
    // The expected byte is computed, so the player's image holds no marker.
    k = (c == 33 + k) ? k + 1 : 0;
  }
  return read;
}

LayoutFault ReadLayout(MovieKind kind, const std::string& flow_path,
                       const std::string& stack_path, MovieSource* movie) {
  MovieSource& m = *movie;
  m = MovieSource();
  m.kind = kind;
  m.flow_path = flow_path;
  m.stack_path = stack_path;
  LayoutFault first = kind == MovieKind::kExternalPair ? ReadPair(&m) : ReadOneFile(kind, &m);
  if (first != LayoutFault::kNone && first != LayoutFault::kBeyondOffsets) return first;
  // Every later check runs even after a fault, so that what can be read is
  // there to describe; the fault met first is the one reported.
  auto note = [&first](LayoutFault f) {
    if (first == LayoutFault::kNone) first = f;
  };
  if (!ReadWidth(m.stack_path, m.FirstStackByte, &m.StackWid)) note(LayoutFault::kNoStack);
  if (kind != MovieKind::kAppended && !File(std::fopen(m.flow_path.c_str(), "rb"))) {
    note(LayoutFault::kNoFlow);
  }
  m.MaxFrameHgt = FirstRowListRows(m.flow_path, m.FirstFlowByte, m.LastFlowByte);
  if (m.MaxFrameHgt < 0) note(LayoutFault::kNoRowList);
  if (m.StackWid < 1 || m.StackWid > kMaxStackWid) note(LayoutFault::kWidth);
  if (m.MaxFrameHgt < 1 || m.MaxFrameHgt > kMaxRows) note(LayoutFault::kRows);
  return first;
}

std::string LayoutFaultText(LayoutFault fault, const MovieSource& m) {
  switch (fault) {
    case LayoutFault::kNone: return "";
    case LayoutFault::kNoFile: return "cannot open " + m.flow_path;
    case LayoutFault::kNoMarker: return "holds no marker line";
    case LayoutFault::kNoEndByte: return "holds no movie: no end byte (0xFF)";
    case LayoutFault::kBeyondOffsets: return "the flow ends beyond the player's 32-bit offsets";
    case LayoutFault::kNoStack: return "cannot open the stack file " + m.stack_path;
    case LayoutFault::kNoFlow: return "cannot open the flow file " + m.flow_path;
    case LayoutFault::kNoRowList: return "the flow holds no row list";
    case LayoutFault::kWidth:
      return "the movie is " + std::to_string(m.StackWid) + " pixels wide; the player shows 1 to 3000";
    case LayoutFault::kRows:
      return "the first frame has " + std::to_string(m.MaxFrameHgt) +
             " rows; the player shows 1 to 2400";
  }
  return "";
}

std::string BareName(const std::string& path, char separator) {
  const size_t at = path.rfind(separator);
  return at == std::string::npos ? path : path.substr(at + 1);
}
