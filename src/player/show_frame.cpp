#include "player/show_frame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "movie/flow_text.h"
#include "movie/line_reader.h"
#include "movie/row_list.h"
#include "platform/failure.h"
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

void Compose(Player& p, const FetchedFrame& f) {
  const Canvases& c = p.canvases;
  const PlayerSettings& s = p.settings;
  if (!platform::player_window_is_foreground() && s.inactive_x >= 0) {
    platform::copy_canvas(c.ComposeCanvas, c.InactiveCanvas, 0, 0, f.FrameWid, f.FrameHgt);
    platform::copy_canvas(c.ComposeCanvas, c.FrameCanvas, s.inactive_x, s.inactive_y,
                          s.inactive_wid, s.inactive_hgt);
  } else {
    platform::copy_canvas(c.ComposeCanvas, c.FrameCanvas, 0, 0, f.FrameWid, f.FrameHgt);
  }
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
  platform::draw_banner_text(canvas, x < 0 ? 0 : x, 4, text);
}

// Rows that differ from those last scaled are marked in changed and kept.
void FindChangedRows(const platform::Canvas& compose, int32_t wid, int32_t hgt,
                     std::vector<uint8_t>* last, std::vector<uint8_t>* changed) {
  const size_t row_bytes = size_t(wid) * 3;
  changed->assign(size_t(hgt), 0);
  for (int32_t y = 0; y < hgt; ++y) {
    const uint8_t* row = compose.pixels + size_t(y) * kCanvasRowBytes;
    uint8_t* kept = last->data() + size_t(y) * row_bytes;
    if (std::memcmp(row, kept, row_bytes) == 0) continue;
    std::memcpy(kept, row, row_bytes);
    (*changed)[size_t(y)] = 1;
  }
}

// The picture is scaled by our own filter (an area average when shrinking,
// linear when enlarging) into the window's own picture, which the platform
// then copies: the window system's stretch costs many times a 1:1 frame.
// Screen movies change few rows a frame, and only those are scaled again.
void DrawScaled(Player& p) {
  const DisplayGeometry& g = p.geometry;
  const platform::WindowPixels out = platform::window_pixels();
  const int32_t w = std::min(g.ShownWid * g.Scale / 1000, out.wid - std::max(g.PictureX, 0));
  const int32_t h = std::min(g.ShownHgt * g.Scale / 1000, out.hgt - std::max(g.PictureY, 0));
  if (!out.pixels || w <= 0 || h <= 0) return;
  ScaledPicture& s = p.scaled;
  const bool fresh = s.plan.across.src_size != g.ShownWid || s.plan.down.src_size != g.ShownHgt ||
                     s.plan.across.dst_size != w || s.plan.down.dst_size != h ||
                     s.out.pixels != out.pixels || s.out.stride != out.stride;
  s.out = out;
  if (fresh) {
    s.plan = MakeScalePlan(g.ShownWid, g.ShownHgt, w, h);
    s.last_rows.assign(size_t(g.ShownWid) * 3 * g.ShownHgt, 0);
  }
  static std::vector<uint8_t> changed;  // main thread only
  FindChangedRows(p.canvases.ComposeCanvas, g.ShownWid, g.ShownHgt, &s.last_rows, &changed);
  ScalePicture(s.plan, p.canvases.ComposeCanvas.pixels, kCanvasRowBytes,
               fresh ? nullptr : changed.data(), out.pixels, out.stride);
  platform::draw_window_pixels(g.PictureX, g.PictureY, w, h);
}

void DrawToWindow(Player& p) {
  const DisplayGeometry& g = p.geometry;
  const platform::Canvas compose = p.canvases.ComposeCanvas;
  if (g.Scale == 1000) {
    platform::draw_to_window(compose, g.PictureX, g.PictureY, g.WindowWid, g.WindowHgt);
  } else {
    DrawScaled(p);
  }
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
                                   p.canvases.FrameCanvas.pixels, p.held_rows);
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
  Compose(p, frame);
  if (p.HelpOn == 1) DrawBanner(p, n);
  DrawToWindow(p);
  platform::set_cursor(p.StepDelay != -1 && p.Playing != 0 ? platform::kCursorWait
                                                             : platform::kCursorArrow);
  TimeFrame(p, n, started_ms, from_clock);
}
