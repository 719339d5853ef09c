#include "player/show_frame.h"

#include <algorithm>
#include <cstring>

#include "platform/failure.h"
#include "player/clock.h"
#include "player/geometry.h"
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

// Fill mode 0 keeps the window the size of the frame shown; true when it
// resized. The resize also activates the window, and an activation presents
// the current frame again before the resize returns: after this frame's
// reading, and with the layout final, so the inner presentation disturbs no
// read and resizes nothing.
bool FitWindowToFrame(Player& p, const FetchedFrame& f) {
  DisplayGeometry& g = p.geometry;
  if (p.settings.ScreenFill != 0 || (f.FrameWid == g.ShownWid && f.FrameHgt == g.ShownHgt)) return false;
  g.WindowWid = ScaledSize(f.FrameWid, g.Scale);
  g.WindowHgt = ScaledSize(f.FrameHgt, g.Scale);
  g.ShownWid = f.FrameWid;
  g.ShownHgt = f.FrameHgt;
  platform::resize_player_window(g.WindowWid, g.WindowHgt);
  return true;
}

// The look the window takes now: the inactive picture while another window
// is in the foreground (where the movie has one), else the banner's while
// HelpOn is 1, else the frame's.
Look LookNow(const Player& p) {
  if (!platform::player_window_is_foreground() && p.settings.inactive_x >= 0) return Look::kInactive;
  return p.HelpOn == 1 ? Look::kBanner : Look::kFrame;
}

// Step 2: the frame rendered in the look the window takes now; a frame line
// with no row list after it ends the player.
bool Render(Player& p, int32_t n, RenderedFrame* frame) {
  const Fetched fetched = RenderFrame(p, n, LookNow(p), frame);
  if (fetched == Fetched::kNoRowList) FailTag("FormatError24");
  return fetched == Fetched::kRead;
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

void ShowFrame(Player& p, int32_t n) {
  const double started_ms = platform::now_ms();
  const bool from_clock = RequestArrived(p, n);
  n = ChooseFrame(p, n);
  RenderedFrame frame;
  if (n < 0 || !Render(p, n, &frame)) return;
  p.StepDelay = frame.timing.delay_ms;  // -1 for a frame that waits for a click
  p.click_region = frame.timing.region;
  // The resize activates the window, which may change its look.
  if (FitWindowToFrame(p, frame) && !Render(p, n, &frame)) return;
  DrawToWindow(p, frame.picture);
  platform::set_cursor(p.StepDelay != -1 && p.Playing != 0 ? platform::kCursorWait
                                                             : platform::kCursorArrow);
  TimeFrame(p, n, started_ms, from_clock);
}
