#include "qvm/frame_render.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
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

// The player reads its movie by bare file names from the current folder: the
// header and the index are read the same way, from the movie's folder, by the
// player's own readers (the header without its echo).
class MovieAsPlayerSees {
 public:
  explicit MovieAsPlayerSees(const MovieFile& m) {
    const size_t slash = m.flow_path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : m.flow_path.substr(0, slash);
    char here[4096];
    if (!getcwd(here, sizeof here) || chdir(folder.c_str()) != 0) {
      throw std::runtime_error("cannot read the movie's folder " + folder);
    }
    back_ = here;
    Name(m.flow_path, source_.flow_path);
    Name(m.stack_path, source_.stack_path);
    source_.FirstFlowByte = int32_t(m.first_flow);
    source_.LastFlowByte = int32_t(m.last_flow);
    source_.FirstStackByte = int32_t(m.first_stack);
    source_.StackWid = m.stack_wid;
  }
  ~MovieAsPlayerSees() {
    if (chdir(back_.c_str()) != 0) std::abort();
  }
  MovieSource* source() { return &source_; }

 private:
  static void Name(const std::string& path, char* name) {
    const size_t slash = path.rfind('/');
    const std::string bare = slash == std::string::npos ? path : path.substr(slash + 1);
    if (bare.size() >= size_t(kPathSize)) {
      throw std::runtime_error("the player cannot open " + bare + ": names hold 98 characters");
    }
    std::strcpy(name, bare.c_str());
  }
  MovieSource source_;
  std::string back_;
};

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
  auto index = std::make_unique<FrameIndex>();
  PlayerSettings settings;
  {
    MovieAsPlayerSees seen(movie);
    settings = ReadSettings(*seen.source(), false);
    BuildFrameIndex(seen.source(), &settings, index.get(), inactive.bytes.data());
  }
  const int64_t count = int64_t{index->LastFrame} + 1;
  if (frame < 0 || frame >= count) {
    throw std::runtime_error("no frame " + Num(frame) + ": the player indexes " + Num(count));
  }
  Canvas canvas;
  const int32_t rows = LoadFrame(movie, index->offsets[size_t(frame)], &canvas);
  if (rows == 0) throw std::runtime_error("frame " + Num(frame) + " has no rows");
  // The canvas holds 2400 rows; the player shows no more.
  const int32_t hgt = rows < kMaxRows ? rows : kMaxRows;
  // The index turns the inactive picture off when the flow has none.
  if (!inactive_look || settings.inactive_x < 0) {
    return CopyOut(canvas, movie.stack_wid, hgt);
  }
  Picture out = CopyOut(inactive, movie.stack_wid, hgt);
  CopyLiveRect(settings, canvas, &out);
  return out;
}
