#include "player/show_frame.h"

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

void DrawToWindow(Player& p) {
  const DisplayGeometry& g = p.geometry;
  const platform::Canvas compose = p.canvases.ComposeCanvas;
  if (g.Scale == 1000) {
    platform::draw_to_window(compose, g.PictureX, g.PictureY, g.WindowWid, g.WindowHgt);
  } else if (p.settings.ScreenFill != 0) {
    platform::stretch_to_window(compose, g.ShownWid, g.ShownHgt, g.PictureX, g.PictureY,
                                g.ShownWid * g.Scale / 1000, g.ShownHgt * g.Scale / 1000);
  } else {
    platform::stretch_to_window(compose, g.ShownWid, g.ShownHgt, 0, 0, g.WindowWid, g.WindowHgt);
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
