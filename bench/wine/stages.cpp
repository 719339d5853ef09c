// Times the pieces of a frame's presentation one by one under the real window
// system: the player's own start-up (a movie bundled with this program), then
// every frame of the movie in order, stage by stage, with the calls ShowFrame
// makes. Prints "stage NAME MEDIAN_MS MEAN_MS" lines and "stages done".
// Not part of the player; scripts/bench_wine.py runs it under Wine.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "movie/frame_index.h"
#include "movie/locator.h"
#include "player/movie_readers.h"
#include "player/resample.h"
#include "movie/settings.h"
#include "platform/failure.h"
#include "platform/platform.h"
#include "platform/win32/player_window.h"
#include "player/geometry.h"
#include "player/player.h"
#include "player/show_frame.h"

namespace {

double g_ms_per_tick = 0;

double NowMs() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) * g_ms_per_tick;
}

struct Stage {
  explicit Stage(const char* stage_name) : name(stage_name) {}
  const char* name;
  std::vector<double> ms;
};

void Report(Stage& s) {
  if (s.ms.empty()) return;
  double sum = 0;
  for (double v : s.ms) sum += v;
  std::sort(s.ms.begin(), s.ms.end());
  std::printf("stage %s %.4f %.4f\n", s.name, s.ms[s.ms.size() / 2], sum / s.ms.size());
}

// A clock's start: how long from asking for it to its routine running, for a
// frame due at once.
HANDLE g_started = nullptr;
double g_started_at = 0;
void NoteStart(void*, int32_t) {
  g_started_at = NowMs();
  SetEvent(g_started);
}

// A posted request's way back through the main thread's queue.
double PostRoundTrip() {
  const UINT kProbe = WM_APP + 7;
  const double t0 = NowMs();
  PostMessageA(win32::g_player_window, kProbe, 0, 0);
  MSG msg;
  while (!PeekMessageA(&msg, win32::g_player_window, kProbe, kProbe, PM_REMOVE)) {
  }
  return NowMs() - t0;
}

// Whatever the window system queued meanwhile (paints, activations) is
// handled here, between the timed stages.
void HandlePending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

}  // namespace

int main() {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  g_ms_per_tick = 1000.0 / double(f.QuadPart);
  g_started = CreateEventA(nullptr, FALSE, FALSE, nullptr);

  Player& p = ThePlayer();
  p.movie = LocateMovie();
  ReadSettings(p.movie, &p.settings, false);
  p.geometry = ComputeGeometry(p.movie, p.settings);
  const platform::Point at = PlacePlayerWindow(platform::work_area(), p.geometry);
  platform::create_player_window(p.settings.WindowText, at.x, at.y, p.geometry.WindowWid,
                                 p.geometry.WindowHgt, p.settings.WindowRoundingStyle);
  p.canvases = CreateCanvases();
  IndexMovie(p);
  p.Playing = 0;  // the presentations the window system asks for start no chain
  platform::show_player_window();
  HandlePending();

  const DisplayGeometry& g = p.geometry;
  const platform::Canvas frame = p.canvases.FrameCanvas, compose = p.canvases.ComposeCanvas;
  Stage line{"console_line"}, fetch{"fetch"}, comp{"compose"}, draw{"draw"}, cursor{"cursor"},
      clock_call{"clock_start_call"}, clock_run{"clock_start_to_run"}, post{"post_round_trip"},
      whole{"show_frame"}, plain{"draw_24bit_blit"}, stretch{"stretch_775"};
  for (int32_t n = 0; n <= p.index.LastFrame; ++n) {
    double t = NowMs(), u;
    Say("Frame %d: %s\n", n, p.index.names[n]);
    line.ms.push_back((u = NowMs()) - t), t = u;
    FetchedFrame fetched;
    if (FetchFrame(p, n, &fetched) != Fetched::kRead) FailTag("the frame index went stale during the benchmark");
    fetch.ms.push_back((u = NowMs()) - t), t = u;
    platform::copy_canvas(compose, frame, 0, 0, fetched.FrameWid, fetched.FrameHgt);
    comp.ms.push_back((u = NowMs()) - t), t = u;
    platform::draw_to_window(compose, g.PictureX, g.PictureY, g.WindowWid, g.WindowHgt, nullptr);
    GdiFlush();
    draw.ms.push_back((u = NowMs()) - t), t = u;
    platform::set_cursor(platform::kCursorWait);
    cursor.ms.push_back((u = NowMs()) - t), t = u;
    platform::call_after_ms(0, NoteStart, nullptr, 0);
    clock_call.ms.push_back(NowMs() - t);
    WaitForSingleObject(g_started, INFINITE);
    clock_run.ms.push_back(g_started_at - t);
    post.ms.push_back(PostRoundTrip());
    HandlePending();
  }
  // The whole presentation, as a request from the clock gets it.
  for (int32_t n = 0; n <= p.index.LastFrame; ++n) {
    const double t = NowMs();
    ShowFrame(p, n);
    GdiFlush();
    whole.ms.push_back(NowMs() - t);
    HandlePending();
  }
  // The copy to the window as the system does it from the 24-bit canvas.
  for (int i = 0; i < 100; ++i) {
    const double t = NowMs();
    BitBlt(win32::PlayerDc(), 0, 0, g.WindowWid, g.WindowHgt,
           static_cast<HDC>(compose.handle), 0, 0, SRCCOPY);
    GdiFlush();
    plain.ms.push_back(NowMs() - t);
  }
  // The whole picture scaled as at Scale 775, every row, and copied into the
  // same window.
  const int32_t w = g.ShownWid * 775 / 1000, h = g.ShownHgt * 775 / 1000;
  Scaler scaler(g.ShownWid, g.ShownHgt, w, h);
  for (int i = 0; i < 20; ++i) {
    const double t = NowMs();
    const platform::WindowPixels out = platform::window_pixels();
    scaler.Scale(compose.pixels, kCanvasRowBytes, nullptr, out.pixels, out.stride);
    platform::draw_window_pixels(0, 0, w, h, nullptr);
    GdiFlush();
    stretch.ms.push_back(NowMs() - t);
  }
  for (Stage* s : {&line, &fetch, &comp, &draw, &cursor, &clock_call, &clock_run, &post, &whole,
                   &plain, &stretch}) {
    Report(*s);
  }
  std::printf("stages done\n");
  std::fflush(stdout);
  ExitProcess(0);
}
