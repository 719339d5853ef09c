#include "player/show_frame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "movie/flow_text.h"
#include "movie/line_reader.h"
#include "movie/row_list.h"
#include "platform/failure.h"
#include "platform/pixel_rows.h"
#include "player/clock.h"
#include "player/movie_readers.h"

namespace {

// Step 1: which frame, if any, and its console line. Returns -1 for none.
int32_t ChooseFrame(Player& p, int32_t n) {
  // A movie rewritten since it was indexed may hold the frame by now.
  if (n > p.index.LastFrame && FlowChangedSinceIndex(p)) Reindex(p);
  const int32_t last = p.index.LastFrame;
  if (n >= 0 && n <= last) {
    Say("Frame %d: %s\n", n, p.index.names[n]);
  } else if (n > last && p.StopAtEnd != 0) {
    Say("Frame %d: NoFrame\n", n);
    return -1;
  } else if (n > last) {
    n = 0;
    if (last < 0) {
      Say("Frame %d: NoFrame\n", 0);
      return -1;
    }
    Say("Frame %d: %s\n", 0, p.index.names[0]);
  }
  if (n < 0 || p.index.offsets[n] < 0) return -1;
  return n;
}

// Step 2: the line at the stored offset must still be the frame's frame line.
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

// Fill mode 0 keeps the window the size of the frame shown. The resize also
// activates the window, and an activation presents the current frame again
// before the resize returns: after this frame's reading, and with the layout
// final, so the inner presentation disturbs no read and resizes nothing.
void FitWindowToFrame(Player& p, const FetchedFrame& f) {
  DisplayGeometry& g = p.geometry;
  if (p.settings.ScreenFill != 0 || (f.FrameWid == g.ShownWid && f.FrameHgt == g.ShownHgt)) return;
  g.WindowWid = f.FrameWid * g.Scale / 1000;
  g.WindowHgt = f.FrameHgt * g.Scale / 1000;
  g.ShownWid = f.FrameWid;
  g.ShownHgt = f.FrameHgt;
  platform::resize_player_window(g.WindowWid, g.WindowHgt);
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

// The picture to draw. While the window is active and no banner is drawn,
// that is the frame itself; otherwise the frame is composed into
// ComposeCanvas: whole for a new size or look, and after that only the rows
// the frame's row list wrote and those under the last banner, a band of
// rows at a time.
platform::Canvas Compose(Player& p, const FetchedFrame& f) {
  ComposedPicture& cp = p.composed;
  using Look = ComposedPicture::Look;
  const Look look = !platform::player_window_is_foreground() && p.settings.inactive_x >= 0
                        ? Look::kInactive
                        : p.HelpOn == 1 ? Look::kBanner : Look::kFrame;
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

// The picture is scaled by our own filter (an area average when shrinking,
// linear when enlarging) into the window's own picture, which the platform
// then copies: the window system's stretch costs many times a 1:1 frame.
// Only the rows that changed are scaled and copied again.
void DrawScaled(Player& p, const platform::Canvas& picture) {
  const DisplayGeometry& g = p.geometry;
  const platform::WindowPixels out = platform::window_pixels();
  const int32_t w = std::min(g.ShownWid * g.Scale / 1000, out.wid - std::max(g.PictureX, 0));
  const int32_t h = std::min(g.ShownHgt * g.Scale / 1000, out.hgt - std::max(g.PictureY, 0));
  if (!out.pixels || w <= 0 || h <= 0) return;
  ScaledPicture& s = p.scaled;
  const bool fresh = !s.scaler.Fits(g.ShownWid, g.ShownHgt, w, h) || s.out.pixels != out.pixels ||
                     s.out.stride != out.stride;
  s.out = out;
  if (fresh) s.scaler = Scaler(g.ShownWid, g.ShownHgt, w, h);
  s.written.assign(size_t(h), 0);
  s.scaler.Scale(picture.pixels, kCanvasRowBytes, fresh ? nullptr : p.composed.changed, out.pixels,
                 out.stride, s.written.data());
  platform::draw_window_pixels(g.PictureX, g.PictureY, w, h, fresh ? nullptr : s.written.data());
}

void DrawToWindow(Player& p, const platform::Canvas& picture) {
  const DisplayGeometry& g = p.geometry;
  if (g.Scale == 1000) {
    const int32_t rows = std::min(g.WindowHgt, kMaxRows);
    platform::draw_to_window(picture, g.PictureX, g.PictureY, g.WindowWid, rows,
                             p.composed.changed);
  } else {
    DrawScaled(p, picture);
  }
  std::memset(p.composed.changed, 0, sizeof p.composed.changed);
}

}  // namespace

bool FetchFrame(Player& p, int32_t n, FetchedFrame* frame) {
  char line[kLineSize];  // this read's own: a nested presentation has another
  LineReader& flow = OpenFlow(p);
  if (!FrameLineConfirmed(p, &flow, n, line)) {
    flow.close();
    Reindex(p);
    return false;
  }
  p.CurrentFrame = n;
  OpenStack(p);
  if (!flow.read(line, kLineSize) || line[0] != '$') FailTag("FormatError24");
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
  return true;
}

void ShowFrame(Player& p, int32_t n) {
  const double started_ms = platform::now_ms();
  const bool from_clock = RequestArrived(p, n);
  n = ChooseFrame(p, n);
  FetchedFrame frame;
  if (n < 0 || !FetchFrame(p, n, &frame)) return;
  p.StepDelay = frame.timing.delay_ms;  // -1 for a frame that waits for a click
  p.click_region = frame.timing.region;
  FitWindowToFrame(p, frame);
  const platform::Canvas picture = Compose(p, frame);
  if (p.HelpOn == 1) DrawBanner(p, n);
  DrawToWindow(p, picture);
  platform::set_cursor(p.StepDelay != -1 && p.Playing != 0 ? platform::kCursorWait
                                                             : platform::kCursorArrow);
  TimeFrame(p, n, started_ms, from_clock);
}
