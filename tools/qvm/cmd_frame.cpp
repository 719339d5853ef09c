// qvm frame: one frame as a PNG, rendered at 1:1 by the player's own
// renderer, from a movie file, a bundled player or the external pair: the
// index pass (frame lines up to "StopReading", inactive pictures loaded in
// turn over black), the frame's rows, and for --inactive the look of a window
// in the background.
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "player/render_frame.h"
#include "qvm/cli_args.h"
#include "qvm/commands.h"
#include "qvm/movie_file.h"
#include "qvm/png_io.h"

namespace {

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

// The player's canvases, as plain memory: black until something is loaded.
struct MemoryCanvases {
  std::vector<uint8_t> frame, compose, inactive;
  MemoryCanvases() {
    for (std::vector<uint8_t>* c : {&frame, &compose, &inactive}) c->assign(size_t(kCanvasRowBytes) * kMaxRows, 0);
  }
};

}  // namespace

// Throws std::runtime_error for a frame the player cannot show: no such
// frame, no row list after its frame line, or no rows to make a picture of.
Picture FramePicture(const MovieFile& file, int64_t n, bool inactive_look) {
  RequirePlayable(file);
  auto player = std::make_unique<Player>();  // the index alone is megabytes
  Player& p = *player;
  p.movie = file.movie;
  if (!ReadSettings(p.movie, &p.settings, false)) throw std::runtime_error("cannot read the flow of " + p.movie.flow_path);
  MemoryCanvases memory;
  p.canvases = {{memory.frame.data()}, {memory.compose.data()}, {memory.inactive.data()}};
  const IndexResult indexed = BuildFrameIndex(p.movie, &p.index, p.canvases.InactiveCanvas.pixels);
  if (indexed.fault != IndexFault::kNone) throw std::runtime_error(IndexFaultText(p.movie, indexed));
  SettleInactiveLook(&p.settings, indexed.has_inactive);
  const int64_t count = int64_t{p.index.LastFrame} + 1;
  if (n < 0 || n >= count) throw std::runtime_error("no frame " + Num(n) + ": the player indexes " + Num(count));
  p.geometry.ShownWid = p.movie.StackWid;
  p.geometry.ShownHgt = p.movie.MaxFrameHgt;
  p.HelpOn = 0;
  RenderedFrame frame;
  const Look look = inactive_look && p.settings.inactive_x >= 0 ? Look::kInactive : Look::kFrame;
  switch (RenderFrame(p, int32_t(n), look, &frame)) {
    case Fetched::kRead: break;
    case Fetched::kMoved: throw std::runtime_error(file.path + " changed while it was read");
    case Fetched::kNoRowList:
      throw std::runtime_error("the frame line at offset " + Num(p.index.offsets[n]) +
                               " is not followed by a row list");
  }
  if (frame.FrameHgt == 0) throw std::runtime_error("frame " + Num(n) + " has no rows");
  Picture out = MakePicture(frame.FrameWid, frame.FrameHgt);
  for (int32_t y = 0; y < frame.FrameHgt; ++y) {
    std::memcpy(out.row(y), frame.picture.pixels + size_t(y) * kCanvasRowBytes, size_t(frame.FrameWid) * 3);
  }
  return out;
}

int RunFrame(int argc, char** argv) {
  CommandArgs args = ParseCommandArgs(argc, argv, {"-o"}, {"--inactive"});
  if (args.plain.size() != 2 || !args.has("-o")) {
    throw std::runtime_error("usage: qvm frame MOVIE N -o OUT.png [--inactive]");
  }
  const MovieFile movie = OpenMovieFile(args.plain[0]);
  const int32_t n = ParseCount(args.plain[1], "the frame number");
  const Picture picture = FramePicture(movie, n, args.has("--inactive"));
  std::string error;
  if (!WritePng(args.value("-o"), picture, &error)) {
    throw std::runtime_error(args.value("-o") + ": " + error);
  }
  std::printf("%s: frame %d, %d x %d\n", args.value("-o").c_str(), int(n), int(picture.width),
              int(picture.height));
  return 0;
}
