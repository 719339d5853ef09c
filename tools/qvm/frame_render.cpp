#include "qvm/frame_render.h"

#include <algorithm>
#include <memory>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "movie/frame_index.h"
#include "movie/line_reader.h"
#include "movie/movie_source.h"
#include "movie/row_list.h"
#include "movie/settings.h"

namespace {

// A canvas as the player's: 3000 x 2400 pixels in rows of 9000 bytes, black
// until something is loaded into it.
struct Canvas {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(size_t(kCanvasRowBytes) * kMaxRows, 0);
  uint8_t* pixel(int32_t x, int32_t y) { return bytes.data() + size_t(y) * kCanvasRowBytes + 3 * x; }
};

std::string Num(int64_t n) { return std::to_string(n); }

std::string IndexFaultText(const MovieSource& m, const IndexResult& r) {
  switch (r.fault) {
    case IndexFault::kNone: return "";
    case IndexFault::kNoFlow: return "cannot read the flow of " + m.flow_path;
    case IndexFault::kNoStack: return "cannot open " + m.stack_path;
    case IndexFault::kInactiveNotRows: return "InactiveFrame is not followed by a row list";
    case IndexFault::kLongName:
      return "the frame name at offset " + Num(r.fault_offset) + " is longer than 48 characters";
  }
  return "";
}

// Fetches frame rows into the canvas and returns how many the list names.
int32_t LoadFrame(const MovieSource& m, int64_t offset, Canvas* canvas) {
  LineReader flow;
  if (!flow.open(m.flow_path.c_str())) throw std::runtime_error("cannot read the flow of " + m.flow_path);
  // Reads stop at the flow's end, as the player's do: what follows the end
  // byte is the width field and the stack, never flow text.
  flow.set_end(m.LastFlowByte);
  static char line[kLineSize];
  if (!flow.seek(offset) || !flow.read(line, kLineSize) || !flow.read(line, kLineSize) ||
      line[0] != '$') {
    throw std::runtime_error("the frame line at offset " + Num(offset) +
                             " is not followed by a row list");
  }
  StackFile stack;
  if (!stack.open(m.stack_path.c_str())) throw std::runtime_error("cannot open " + m.stack_path);
  return LoadRowList(line, stack, m.StackWid, m.FirstStackByte, canvas->bytes.data());
}

Picture CopyOut(Canvas& canvas, int32_t wid, int32_t hgt) {
  Picture p = MakePicture(wid, hgt);
  for (int32_t y = 0; y < hgt; ++y) std::memcpy(p.row(y), canvas.pixel(0, y), size_t(wid) * 3);
  return p;
}

// The live rectangle of the frame over the inactive picture, clipped to the frame.
void CopyLiveRect(const PlayerSettings& s, Canvas& frame, Picture* out) {
  const int64_t right = std::min<int64_t>(int64_t{s.inactive_x} + s.inactive_wid, out->width);
  const int64_t bottom = std::min<int64_t>(int64_t{s.inactive_y} + s.inactive_hgt, out->height);
  if (s.inactive_x >= right) return;
  const size_t bytes = size_t(right - s.inactive_x) * 3;
  for (int64_t y = s.inactive_y; y < bottom; ++y) {
    std::memcpy(out->row(int32_t(y)) + size_t(s.inactive_x) * 3,
                frame.pixel(s.inactive_x, int32_t(y)), bytes);
  }
}

}  // namespace

Picture RenderFrame(const MovieFile& file, int64_t frame, bool inactive_look) {
  RequirePlayable(file);
  const MovieSource& movie = file.movie;
  PlayerSettings settings;
  if (!ReadSettings(movie, &settings, false)) {
    throw std::runtime_error("cannot read the flow of " + movie.flow_path);
  }
  Canvas inactive;
  auto index = std::make_unique<FrameIndex>();
  const IndexResult indexed = BuildFrameIndex(movie, index.get(), inactive.bytes.data());
  if (indexed.fault != IndexFault::kNone) throw std::runtime_error(IndexFaultText(movie, indexed));
  SettleInactiveLook(&settings, indexed.has_inactive);
  const int64_t count = int64_t{index->LastFrame} + 1;
  if (frame < 0 || frame >= count) {
    throw std::runtime_error("no frame " + Num(frame) + ": the player indexes " + Num(count));
  }
  Canvas canvas;
  const int32_t rows = LoadFrame(movie, index->offsets[size_t(frame)], &canvas);
  if (rows == 0) throw std::runtime_error("frame " + Num(frame) + " has no rows");
  // The canvas holds 2400 rows; the player shows no more.
  const int32_t hgt = rows < kMaxRows ? rows : kMaxRows;
  if (!inactive_look || settings.inactive_x < 0) return CopyOut(canvas, movie.StackWid, hgt);
  Picture out = CopyOut(inactive, movie.StackWid, hgt);
  CopyLiveRect(settings, canvas, &out);
  return out;
}
