#include "qvm/frame_render.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "movie/flow_text.h"
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

struct FlowIndex {
  std::vector<int64_t> frame_offsets;
  bool has_inactive = false;
};

std::string Num(int64_t n) { return std::to_string(n); }

// Reads stop at the flow's end, as the player's do: what follows the end byte
// is the width field and the stack, never flow text.
void OpenFlow(const MovieFile& m, LineReader* flow) {
  if (!flow->open(m.flow_path.c_str()) || !flow->seek(m.first_flow)) {
    throw std::runtime_error("cannot read the flow of " + m.path);
  }
  if (m.has_end()) flow->set_end(m.last_flow);
}

void OpenStack(const MovieFile& m, StackFile* stack) {
  if (!stack->open(m.stack_path.c_str())) throw std::runtime_error("cannot open " + m.stack_path);
}

// The header as the settings reader takes it: its first line in the short
// buffer, every line up to the first frame line, none whose end reaches the
// flow's end; then the rule that turns an incomplete rectangle off. Read here
// rather than through ReadSettings, which echoes every line to standard
// output and holds paths in the player's 98-character buffers.
PlayerSettings ReadHeader(const MovieFile& m) {
  PlayerSettings s;
  LineReader flow;
  OpenFlow(m, &flow);
  static char line[kLineSize];
  bool more = flow.read(line, kShortLineSize);
  while (more && line[0] != '~' && flow.position() < m.last_flow) {
    ApplyDirective(line, &s);
    more = flow.read(line, kLineSize);
  }
  if (s.inactive_y < 0 || s.inactive_wid <= 0 || s.inactive_hgt <= 0) s.inactive_x = -1;
  return s;
}

// The inactive record's row list, loaded over what earlier records left.
void LoadInactive(const MovieFile& m, LineReader* flow, char* line, Canvas* inactive) {
  if (!flow->read(line, kLineSize) || line[0] != '$') {
    throw std::runtime_error("InactiveFrame at offset " + Num(flow->line_offset()) +
                             " is not followed by a row list");
  }
  StackFile stack;
  OpenStack(m, &stack);
  LoadRowList(line, stack, m.stack_wid, int32_t(m.first_stack), inactive->bytes.data());
}

// The frame indexer's pass over the flow.
FlowIndex IndexFlow(const MovieFile& m, Canvas* inactive) {
  FlowIndex index;
  LineReader flow;
  OpenFlow(m, &flow);
  static char line[kLineSize];
  bool more = flow.read(line, kLineSize);
  while (more && flow.position() < m.last_flow && !MatchesKeyword(line, "StopReading")) {
    if (line[0] == '~') {
      // The index has room for 50000 frames; the rest are never shown.
      if (index.frame_offsets.size() < size_t(kMaxFrames)) {
        index.frame_offsets.push_back(flow.line_offset());
      }
    } else if (MatchesKeyword(line, "InactiveFrame")) {
      LoadInactive(m, &flow, line, inactive);
      index.has_inactive = true;
    }
    more = flow.read(line, kLineSize);
  }
  return index;
}

// Fetches frame rows into the canvas and returns how many the list names.
int32_t LoadFrame(const MovieFile& m, int64_t offset, Canvas* canvas) {
  LineReader flow;
  OpenFlow(m, &flow);
  static char line[kLineSize];
  if (!flow.seek(offset) || !flow.read(line, kLineSize) || !flow.read(line, kLineSize) ||
      line[0] != '$') {
    throw std::runtime_error("the frame line at offset " + Num(offset) +
                             " is not followed by a row list");
  }
  StackFile stack;
  OpenStack(m, &stack);
  return LoadRowList(line, stack, m.stack_wid, int32_t(m.first_stack), canvas->bytes.data());
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

Picture RenderFrame(const MovieFile& movie, int64_t frame, bool inactive_look) {
  RequirePlayable(movie);
  Canvas inactive;
  const FlowIndex index = IndexFlow(movie, &inactive);
  const int64_t count = int64_t(index.frame_offsets.size());
  if (frame < 0 || frame >= count) {
    throw std::runtime_error("no frame " + Num(frame) + ": the player indexes " + Num(count));
  }
  Canvas canvas;
  const int32_t rows = LoadFrame(movie, index.frame_offsets[size_t(frame)], &canvas);
  if (rows == 0) throw std::runtime_error("frame " + Num(frame) + " has no rows");
  // The canvas holds 2400 rows; the player shows no more.
  const int32_t hgt = rows < kMaxRows ? rows : kMaxRows;
  const PlayerSettings settings = ReadHeader(movie);
  if (!inactive_look || settings.inactive_x < 0 || !index.has_inactive) {
    return CopyOut(canvas, movie.stack_wid, hgt);
  }
  Picture out = CopyOut(inactive, movie.stack_wid, hgt);
  CopyLiveRect(settings, canvas, &out);
  return out;
}
