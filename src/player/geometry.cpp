#include "player/geometry.h"

#include <sys/stat.h>

#include "platform/failure.h"

namespace {

platform::Rect DisplayArea(const PlayerSettings& s) {
  if (s.CoverTaskBarOk) {
    int32_t wid, hgt;
    platform::screen_size(&wid, &hgt);
    return {0, 0, wid, hgt};
  }
  return platform::work_area();
}

int32_t Smaller(int32_t a, int32_t b) { return a < b ? a : b; }

// Fit and never enlarge. The area counts one pixel wider and higher than it is.
void FitNoEnlarge(const platform::Rect& a, int32_t wid, int32_t hgt, DisplayGeometry* g) {
  int32_t sx = (a.right - a.left + 1) * 1000 / wid;
  int32_t sy = (a.bottom - a.top + 1) * 1000 / hgt;
  g->Scale = Smaller(Smaller(sx, sy), 1000);
  g->WindowWid = wid * g->Scale / 1000;
  g->WindowHgt = hgt * g->Scale / 1000;
}

// The whole area (and one pixel more) at 1:1, the picture centred.
void FillAtOneToOne(const platform::Rect& a, int32_t wid, int32_t hgt, DisplayGeometry* g) {
  g->WindowWid = a.right - a.left + 1;
  g->WindowHgt = a.bottom - a.top + 1;
  if (wid < g->WindowWid) g->PictureX = (g->WindowWid - wid) / 2;
  if (hgt < g->WindowHgt) g->PictureY = (g->WindowHgt - hgt) / 2;
}

// The whole area, the picture scaled to fit (enlarged too) and centred.
void FillScaled(const platform::Rect& a, int32_t wid, int32_t hgt, DisplayGeometry* g) {
  g->WindowWid = a.right - a.left;
  g->WindowHgt = a.bottom - a.top;
  int32_t sx = g->WindowWid * 1000 / wid;
  int32_t sy = g->WindowHgt * 1000 / hgt;
  g->Scale = sx > sy ? sy : sx;
  int32_t pw = wid * g->Scale / 1000;
  if (pw < g->WindowWid) g->PictureX = (g->WindowWid - pw) / 2;
  int32_t ph = hgt * g->Scale / 1000;
  if (ph < g->WindowHgt) g->PictureY = (g->WindowHgt - ph) / 2;
}

}  // namespace

void ComputeGeometry(Player* p) {
  const MovieSource& m = p->movie;
  const PlayerSettings& s = p->settings;
  DisplayGeometry& g = p->geometry;
  const platform::Rect area = DisplayArea(s);
  g.ShownWid = m.StackWid;
  g.ShownHgt = m.MaxFrameHgt;
  g.Scale = 1000;
  if (s.ScreenFill == 1) {
    FillAtOneToOne(area, m.StackWid, m.MaxFrameHgt, &g);
  } else if (s.ScreenFill == 2) {
    FillScaled(area, m.StackWid, m.MaxFrameHgt, &g);
  } else {
    FitNoEnlarge(area, m.StackWid, m.MaxFrameHgt, &g);
  }
  Say("Scale=%d  ", g.Scale);
  struct stat st;
  if (stat("noNotes.txt", &st) == 0) p->StopAtEnd = 0;
  p->HelpOn = s.HelpOn;
  Say("StackWid=%d  MaxFrameHgt=%d \n", m.StackWid, m.MaxFrameHgt);
  // The layout reader has refused offsets beyond 32 bits.
  Say("FirstFlowByte=%d   LastFlowByte=%d ", int(m.FirstFlowByte), int(m.LastFlowByte));
  Say("FirstStackByte=%d\n", int(m.FirstStackByte));
  Say("Help=%d   Notes=%d ", p->HelpOn.load(), p->StopAtEnd.load());
}

platform::Point PlacePlayerWindow(const platform::Rect& work, const DisplayGeometry& g) {
  return {work.right - g.WindowWid >= 40 ? 40 : 0, work.bottom - g.WindowHgt >= 40 ? 40 : 0};
}

Canvases CreateCanvases() {
  Canvases c;
  c.FrameCanvas = platform::create_canvas();
  c.ComposeCanvas = platform::create_canvas();
  c.InactiveCanvas = platform::create_canvas();
  if (!c.FrameCanvas.pixels || !c.ComposeCanvas.pixels || !c.InactiveCanvas.pixels) {
    FailBox("Not enough memory for the pictures of the movie.", "Exiting...",
            platform::kBoxSystemModalError);
  }
  return c;
}
