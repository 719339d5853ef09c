#include "qvm/movie_writer.h"

#include <cstdio>
#include <stdexcept>
#include <utility>

#include "movie/movie_source.h"
#include "movie/row_list.h"

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
  WriteRowIndex(index, code.data());
  return code;
}

std::string FrameName(int32_t n) {
  char name[16];
  std::snprintf(name, sizeof name, "%06d", static_cast<int>(n));
  return name;
}

std::string TimingLineFor(const TimingLine& t) {
  char line[96];
  if (t.click) {
    const ClickRegion& r = t.region;
    std::snprintf(line, sizeof line, "  \">\" Timer %d,%d,%d,%d -- 0,0", int(r.left), int(r.top),
                  int(r.right), int(r.bottom));
  } else {
    std::snprintf(line, sizeof line, "  \">\" Timer %d -- 0,0", int(t.delay_ms));
  }
  return line;
}

std::string MarkerLine() {
  std::string marker;
  for (int c = 33; c <= 126; ++c) marker += static_cast<char>(c);
  return marker;
}

namespace {

void CheckPicture(const Picture& p, int32_t width, const std::string& what) {
  const std::string wide = what + " is " + std::to_string(p.width) + " pixels wide; ";
  if (p.width < 1 || p.width > kMaxStackWid) throw std::runtime_error(wide + "a movie is 1 to 3000 pixels wide");
  if (p.width != width) throw std::runtime_error(wide + "the movie is " + std::to_string(width));
  if (p.height < 1 || p.height > kMaxRows) {
    throw std::runtime_error(what + " has " + std::to_string(p.height) + " rows; a frame has 1 to 2400");
  }
}

}  // namespace

MovieEncoder::MovieEncoder(const std::vector<std::string>& header, const std::string& line_end)
    : eol_(line_end) {
  for (const std::string& line : header) out_.flow += line + eol_;
}

void MovieEncoder::TakeWidth(const Picture& picture, const std::string& what) {
  if (out_.width == 0) out_.width = picture.width;
  CheckPicture(picture, out_.width, what);
}

// The row list line of a picture, adding its new rows to the stack.
std::string MovieEncoder::RowList(const Picture& p) {
  std::string list = "$";
  list.reserve(1 + size_t(p.height) * 4);
  for (int32_t y = 0; y < p.height; ++y) {
    std::string row(reinterpret_cast<const char*>(p.row(y)), size_t(p.width) * 3);
    auto found = row_index_.find(row);
    int32_t index;
    if (found == row_index_.end()) {
      if (int64_t(row_index_.size()) >= kMaxStackRows) {
        throw std::runtime_error("a movie holds at most 40960000 distinct rows");
      }
      index = static_cast<int32_t>(row_index_.size());
      row_index_.emplace(row, index);
      out_.stack += row;
    } else {
      index = found->second;
    }
    list += EncodeRowIndex(index);
    ++out_.row_refs;
  }
  return list;
}

void MovieEncoder::AddInactive(const Picture& picture) {
  TakeWidth(picture, "the inactive picture");
  out_.flow += "InactiveFrame" + eol_ + RowList(picture) + eol_;
}

void MovieEncoder::AddInactiveRows(const std::vector<int32_t>& rows) {
  std::string list = "$";
  for (int32_t row : rows) list += EncodeRowIndex(row);
  out_.flow += "InactiveFrame" + eol_ + list + eol_;
}

void MovieEncoder::AddStopReading() { out_.flow += "StopReading" + eol_; }

void MovieEncoder::AddFrame(const FramePlan& f) {
  if (out_.frame_count >= kMaxFrames) throw std::runtime_error("a movie has at most 50000 frames");
  TakeWidth(f.picture, "frame " + std::to_string(out_.frame_count));
  AddRecord(RowList(f.picture), f.timing);
}

void MovieEncoder::AddFrameRows(const std::vector<int32_t>& rows, const TimingLine& timing) {
  if (out_.frame_count >= kMaxFrames) throw std::runtime_error("a movie has at most 50000 frames");
  std::string list = "$";
  for (int32_t row : rows) list += EncodeRowIndex(row);
  out_.row_refs += int64_t(rows.size());
  AddRecord(list, timing);
}

void MovieEncoder::AddRecord(const std::string& row_list, const TimingLine& timing) {
  out_.flow += "~" + FrameName(out_.frame_count) + eol_ + row_list + eol_ + TimingLineFor(timing) + eol_;
  ++out_.frame_count;
}

MovieBytes MovieEncoder::Finish() {
  out_.flow += "# -99" + eol_;
  out_.unique_rows = static_cast<int32_t>(row_index_.size());
  row_index_.clear();
  return std::move(out_);
}

MovieBytes EncodeMovie(const MoviePlan& plan) {
  if (plan.frames.empty()) throw std::runtime_error("a movie needs at least one frame");
  if (plan.frames.size() > size_t(kMaxFrames)) {
    throw std::runtime_error("a movie has at most 50000 frames");
  }
  // Frame 0 sets the width, also for an inactive picture written before it.
  if (plan.has_inactive) {
    CheckPicture(plan.inactive, plan.frames[0].picture.width, "the inactive picture");
  }
  MovieEncoder encoder(plan.header, plan.line_end);
  if (plan.has_inactive) encoder.AddInactive(plan.inactive);
  for (size_t n = 0; n < plan.frames.size(); ++n) {
    if (int32_t(n) == plan.stop_reading_before) encoder.AddStopReading();
    encoder.AddFrame(plan.frames[n]);
  }
  return encoder.Finish();
}

std::string FlowEnd(int32_t width) {
  return {static_cast<char>(0xFF), static_cast<char>((width >> 8) & 0xFF), static_cast<char>(width & 0xFF)};
}

std::string MovieFileBytes(const MovieBytes& m) { return m.flow + FlowEnd(m.width) + m.stack; }

std::string AppendedBytes(const MovieBytes& m) {
  return MarkerLine() + "\r\n" + MovieFileBytes(m);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::string ReadWhole(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw std::runtime_error("cannot read " + path);
  std::string bytes;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  std::fclose(f);
  return bytes;
}
