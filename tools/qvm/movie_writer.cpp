#include "qvm/movie_writer.h"

#include <cstdio>
#include <stdexcept>
#include <unordered_map>

#include "movie/movie_source.h"

Picture MakePicture(int32_t width, int32_t height, uint32_t rgb) {
  Picture p;
  p.width = width;
  p.height = height;
  p.bgr.resize(size_t(width) * height * 3);
  for (size_t i = 0; i < p.bgr.size(); i += 3) {
    p.bgr[i] = rgb & 0xFF;
    p.bgr[i + 1] = (rgb >> 8) & 0xFF;
    p.bgr[i + 2] = (rgb >> 16) & 0xFF;
  }
  return p;
}

std::string EncodeRowIndex(int32_t index) {
  std::string code(4, '+');
  for (int i = 3; i >= 0; --i) {
    code[i] = static_cast<char>('+' + index % 80);
    index /= 80;
  }
  return code;
}

std::string FrameName(int32_t n) {
  char name[16];
  std::snprintf(name, sizeof name, "%06d", static_cast<int>(n));
  return name;
}

std::string TimingLineFor(const FrameSpec& f) {
  char line[96];
  if (f.click) {
    std::snprintf(line, sizeof line, "  \">\" Timer %d,%d,%d,%d -- 0,0", int(f.x1), int(f.y1),
                  int(f.x2), int(f.y2));
  } else {
    std::snprintf(line, sizeof line, "  \">\" Timer %d -- 0,0", int(f.delay_ms));
  }
  return line;
}

std::string MarkerLine() {
  std::string marker;
  for (int c = 33; c <= 126; ++c) marker += static_cast<char>(c);
  return marker;
}

namespace {

class StackBuilder {
 public:
  explicit StackBuilder(MovieBytes* out) : out_(out) {}
  // The row list line of a picture, adding its new rows to the stack.
  std::string RowList(const Picture& p) {
    std::string list = "$";
    list.reserve(1 + size_t(p.height) * 4);
    for (int32_t y = 0; y < p.height; ++y) {
      std::string row(reinterpret_cast<const char*>(p.row(y)), size_t(p.width) * 3);
      auto found = index_.find(row);
      int32_t index;
      if (found == index_.end()) {
        index = static_cast<int32_t>(index_.size());
        index_.emplace(row, index);
        out_->stack += row;
      } else {
        index = found->second;
      }
      list += EncodeRowIndex(index);
      ++out_->row_refs;
    }
    return list;
  }
  int32_t unique_rows() const { return static_cast<int32_t>(index_.size()); }

 private:
  MovieBytes* out_;
  std::unordered_map<std::string, int32_t> index_;
};

void CheckPicture(const Picture& p, int32_t width, const char* what) {
  char text[160];
  if (p.width < 1 || p.width > kMaxStackWid) {
    std::snprintf(text, sizeof text, "%s is %d pixels wide; a movie is 1 to 3000 pixels wide",
                  what, int(p.width));
    throw std::runtime_error(text);
  }
  if (p.width != width) {
    std::snprintf(text, sizeof text, "%s is %d pixels wide; the movie is %d", what, int(p.width),
                  int(width));
    throw std::runtime_error(text);
  }
  if (p.height < 1 || p.height > kMaxRows) {
    std::snprintf(text, sizeof text, "%s has %d rows; a frame has 1 to 2400", what,
                  int(p.height));
    throw std::runtime_error(text);
  }
}

}  // namespace

MovieBytes EncodeMovie(const MovieSpec& spec) {
  if (spec.frames.empty()) throw std::runtime_error("a movie needs at least one frame");
  if (spec.frames.size() > size_t(kMaxFrames)) {
    throw std::runtime_error("a movie has at most 50000 frames");
  }
  MovieBytes m;
  m.width = spec.frames[0].picture.width;
  const std::string& eol = spec.line_end;
  for (const std::string& line : spec.header) m.flow += line + eol;
  StackBuilder stack(&m);
  if (spec.has_inactive) {
    CheckPicture(spec.inactive, m.width, "the inactive picture");
    m.flow += "InactiveFrame" + eol + stack.RowList(spec.inactive) + eol;
  }
  for (size_t n = 0; n < spec.frames.size(); ++n) {
    const FrameSpec& f = spec.frames[n];
    std::string what = "frame " + std::to_string(n);
    CheckPicture(f.picture, m.width, what.c_str());
    if (int32_t(n) == spec.stop_reading_before) m.flow += "StopReading" + eol;
    m.flow += "~" + FrameName(int32_t(n)) + eol;
    m.flow += stack.RowList(f.picture) + eol;
    m.flow += TimingLineFor(f) + eol;
  }
  m.flow += "# -99" + eol;
  m.frame_count = static_cast<int32_t>(spec.frames.size());
  m.unique_rows = stack.unique_rows();
  return m;
}

std::string MovieFileBytes(const MovieBytes& m) {
  std::string bytes = m.flow;
  bytes += static_cast<char>(0xFF);
  bytes += static_cast<char>((m.width >> 8) & 0xFF);
  bytes += static_cast<char>(m.width & 0xFF);
  bytes += m.stack;
  return bytes;
}

std::string AppendedBytes(const MovieBytes& m) {
  return MarkerLine() + "\r\n" + MovieFileBytes(m);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bytes->clear();
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes->append(buf, n);
  std::fclose(f);
  return true;
}
