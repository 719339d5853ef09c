#include "player/geometry.h"

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
int32_t Larger(int32_t a, int32_t b) { return a > b ? a : b; }

// Fit and never enlarge. The area counts one pixel wider and higher than it is.
void FitNoEnlarge(int32_t area_wid, int32_t area_hgt, int32_t wid, int32_t hgt,
                  DisplayGeometry* g) {
  int32_t sx = (area_wid + 1) * 1000 / wid;
  int32_t sy = (area_hgt + 1) * 1000 / hgt;
  g->Scale = Larger(Smaller(Smaller(sx, sy), 1000), 1);
  g->WindowWid = ScaledSize(wid, g->Scale);
  g->WindowHgt = ScaledSize(hgt, g->Scale);
}

// The whole area (and one pixel more) at 1:1, the picture centred.
void FillAtOneToOne(int32_t area_wid, int32_t area_hgt, int32_t wid, int32_t hgt,
                    DisplayGeometry* g) {
  g->WindowWid = area_wid + 1;
  g->WindowHgt = area_hgt + 1;
  if (wid < g->WindowWid) g->PictureX = (g->WindowWid - wid) / 2;
  if (hgt < g->WindowHgt) g->PictureY = (g->WindowHgt - hgt) / 2;
}

// The whole area, the picture scaled to fit (enlarged too) and centred.
void FillScaled(int32_t area_wid, int32_t area_hgt, int32_t wid, int32_t hgt,
                DisplayGeometry* g) {
  g->WindowWid = Larger(area_wid, 1);
  g->WindowHgt = Larger(area_hgt, 1);
  int32_t sx = g->WindowWid * 1000 / wid;
  int32_t sy = g->WindowHgt * 1000 / hgt;
  g->Scale = Larger(Smaller(sx, sy), 1);
  int32_t pw = wid * g->Scale / 1000;
  if (pw < g->WindowWid) g->PictureX = (g->WindowWid - pw) / 2;
  int32_t ph = hgt * g->Scale / 1000;
  if (ph < g->WindowHgt) g->PictureY = (g->WindowHgt - ph) / 2;
}

}  // namespace

int32_t ScaledSize(int32_t movie_px, int32_t scale) {
  const int32_t px = movie_px * scale / 1000;
  return px < 1 && movie_px > 0 ? 1 : px;
}

// A page may hand in a screen of no size (a hidden frame), and ask before the
// movie is read (StackWid 0): the screen counts as at least 0 x 0 and the
// movie as at least 1 x 1, so nothing divides by zero, and Scale and the
// window keep at least one.
DisplayGeometry ComputeGeometry(const MovieSource& m, const PlayerSettings& s) {
  const platform::Rect area = DisplayArea(s);
  const int32_t area_wid = Larger(area.right - area.left, 0);
  const int32_t area_hgt = Larger(area.bottom - area.top, 0);
  const int32_t wid = Larger(m.StackWid, 1), hgt = Larger(m.MaxFrameHgt, 1);
  DisplayGeometry g;
  g.ShownWid = m.StackWid;
  g.ShownHgt = m.MaxFrameHgt;
  if (s.ScreenFill == 1) {
    FillAtOneToOne(area_wid, area_hgt, wid, hgt, &g);
  } else if (s.ScreenFill == 2) {
    FillScaled(area_wid, area_hgt, wid, hgt, &g);
  } else {
    FitNoEnlarge(area_wid, area_hgt, wid, hgt, &g);
  }
  return g;
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
