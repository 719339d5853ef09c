#include "player/render_frame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "movie/flow_text.h"
#include "movie/line_reader.h"
#include "movie/row_list.h"
#include "platform/failure.h"
#include "platform/pixel_rows.h"
#include "player/movie_readers.h"

namespace {

// The line at the stored offset must still be the frame's frame line.
bool FrameLineConfirmed(Player& p, LineReader* flow, int32_t n, char* line) {
  if (!flow->seek(p.index.offsets[n]) || !flow->read(line, kLineSize)) return false;
  if (line[0] != '~' || FrameNameLength(line) > kMaxFrameName) return false;
  // The name is taken by the same rule the index used, so a frame line that
  // the index accepted is always confirmed.
  char name[kMaxFrameName + 1];
  CopyText(line + 1, name, kMaxFrameName);
  return std::strcmp(name, p.index.names[n]) == 0;
}

// The flow, like the stack, stays open between presentations while the file
// keeps its size and time stamp.
LineReader& OpenFlow(Player& p) {
  FollowRewrittenFlow(p);
  // A flow that ends inside its last frame record must not lend that record
  // bytes of the end byte, the width field or the stack.
  p.flow.set_end(p.movie.LastFlowByte);
  return p.flow;
}

// The stack stays open between presentations; a stack rewritten meanwhile
// (another size or time stamp) is opened afresh and nothing held is trusted.
void OpenStack(Player& p) {
  int64_t size, mtime;
  const char* path = p.movie.stack_path.c_str();
  if (!FileStatus(path, &size, &mtime)) FailTag("No file '%s'", path);
  if (p.stack.is_open() && size == p.stack.size() && mtime == p.stack.mtime()) return;
  p.ForgetHeldRows();
  if (!p.stack.open(path)) FailTag("No file '%s'", path);
}

// Rows [top, top + rows) of the picture to present: the frame, or the
// inactive picture with the frame inside the inactive rectangle.
void ComposeRows(Player& p, bool inactive, int32_t wid, int32_t top, int32_t rows) {
  const Canvases& c = p.canvases;
  const PlayerSettings& s = p.settings;
  if (!inactive) {
    platform::copy_canvas(c.ComposeCanvas, c.FrameCanvas, 0, top, wid, rows);
    return;
  }
  platform::copy_canvas(c.ComposeCanvas, c.InactiveCanvas, 0, top, wid, rows);
  const int32_t from = std::max(top, s.inactive_y);
  const int32_t to = std::min(top + rows, s.inactive_y + s.inactive_hgt);
  if (to > from) {
    platform::copy_canvas(c.ComposeCanvas, c.FrameCanvas, s.inactive_x, from, s.inactive_wid,
                          to - from);
  }
}

// The picture in the look: whole for a new size or look, and after that only
// the rows the frame's row list wrote and those under the last banner, a band
// of rows at a time.
platform::Canvas Compose(Player& p, Look look, const FetchedFrame& f) {
  ComposedPicture& cp = p.composed;
  const bool fresh = look != cp.look || f.FrameWid != cp.wid || f.FrameHgt != cp.hgt;
  cp.look = look, cp.wid = f.FrameWid, cp.hgt = f.FrameHgt;
  if (fresh) std::memset(cp.changed, 1, sizeof cp.changed);
  const int32_t banner_end = std::min(cp.banner_top + cp.banner_rows, f.FrameHgt);
  for (int32_t y = cp.banner_top; y < banner_end; ++y) cp.changed[y] = 1;
  cp.banner_rows = 0;
  if (look == Look::kFrame) return p.canvases.FrameCanvas;
  ForEachChangedRun(cp.changed, f.FrameHgt, [&](int32_t top, int32_t rows) {
    ComposeRows(p, look == Look::kInactive, f.FrameWid, top, rows);
  });
  return p.canvases.ComposeCanvas;
}

void BannerText(const Player& p, int32_t n, char* text, int size) {
  const char* form = " Zebrik Demo - Playing - %s ";
  if (n == p.index.LastFrame) form = p.StopAtEnd == 0 ? " Zebrik Demo - Loop - %s " : " Zebrik Demo - End - %s ";
  if (p.Playing == 0) form = " Zebrik Demo - Paused - %s ";
  std::snprintf(text, size, form, p.index.names[p.CurrentFrame]);
}

// The banner ends 80 pixels short of the right edge of the picture the
// window is laid out for.
void DrawBanner(Player& p, int32_t n) {
  char text[128];
  BannerText(p, n, text, sizeof text);
  const platform::Canvas canvas = p.canvases.ComposeCanvas;
  int32_t x = p.geometry.ShownWid - 80 - platform::banner_text_width(canvas, text);
  ComposedPicture& cp = p.composed;
  cp.banner_top = 4;
  cp.banner_rows = platform::draw_banner_text(canvas, x < 0 ? 0 : x, cp.banner_top, text);
  const int32_t end = std::min(cp.banner_top + cp.banner_rows, kMaxRows);
  for (int32_t y = cp.banner_top; y < end; ++y) cp.changed[y] = 1;
}

}  // namespace

Fetched FetchFrame(Player& p, int32_t n, FetchedFrame* frame) {
  char line[kLineSize];  // this read's own: a nested presentation has another
  LineReader& flow = OpenFlow(p);
  if (!FrameLineConfirmed(p, &flow, n, line)) {
    flow.close();
    Reindex(p);
    return Fetched::kMoved;
  }
  p.CurrentFrame = n;
  OpenStack(p);
  if (!flow.read(line, kLineSize) || line[0] != '$') return Fetched::kNoRowList;
  frame->FrameWid = p.movie.StackWid;
  const int32_t rows = LoadRowList(line, p.stack, p.movie.StackWid, p.movie.FirstStackByte,
                                   p.canvases.FrameCanvas.pixels, p.held_rows, p.composed.changed);
  frame->FrameHgt = rows < kMaxRows ? rows : kMaxRows;
  // A row list longer than the buffer arrives in pieces; the timing line
  // follows the last of them. A flow that ends here reads as delay 0.
  while (!flow.ended() && flow.read(line, kLineSize)) {
  }
  if (!flow.read(line, kLineSize)) line[0] = '\0';
  frame->timing = ReadTimingLine(line);
  return Fetched::kRead;
}

Fetched RenderFrame(Player& p, int32_t n, Look look, RenderedFrame* frame) {
  const Fetched fetched = FetchFrame(p, n, frame);
  if (fetched != Fetched::kRead) return fetched;
  frame->picture = Compose(p, look, *frame);
  if (p.HelpOn == 1) DrawBanner(p, n);
  return fetched;
}
