// The page's entry points into the player. Each is called by the page runtime
// for one event (page/boot.js, page/controls.js) and only translates it: the
// decisions are the core's, as in the Windows shell's window procedures.
#include <emscripten/emscripten.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/web/web_shell.h"
#include "player/geometry.h"
#include "player/input.h"
#include "player/player.h"
#include "player/show_frame.h"
#include "player/start_up.h"
#include "player/timeline.h"
#include "splash/splash.h"

namespace {

// The browser's names of the keys the player answers (KeyboardEvent.key).
platform::Key KeyNamed(const char* name) {
  static const char* const kNames[] = {"Escape", " ",          "Enter",  "F1",       "F2",
                                       "ArrowLeft", "ArrowRight", "PageUp", "PageDown", "Home"};
  for (int i = 0; i < platform::kKeyOther; ++i) {
    if (std::strcmp(name, kNames[i]) == 0) return static_cast<platform::Key>(i);
  }
  return platform::kKeyOther;
}

Player& P() { return ThePlayer(); }

Timeline g_timeline;
bool g_started = false;

void LetSplashGo() {
  web::HideSplash();
  BeginPlaying(P());
}

// What the page's controls show, read by the page after each of its calls.
enum StateField {
  kFrame, kFrames, kPlaying, kWaiting, kLooping, kBanner, kTimeMs, kTotalMs, kShown,
  kSplash, kClickX, kClickY, kClickWid, kClickHgt, kMovieWid, kMovieHgt, kStateFields
};
int32_t g_state[kStateFields];

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void qv_add_file(const char* path, uint8_t* data, uint32_t size) {
  web::AddFile(path, data, size);
}

// Start-up up to the index, which leaves the splash inviting the viewer's
// click, and the rows in play order. The timeline is the controls'.
EMSCRIPTEN_KEEPALIVE void qv_start() {
  StartUp(P());
  web::PutRowsInPlayOrder(P().movie);
  g_timeline = ReadTimeline(P());
  g_started = true;
}

// "#go", as an argument to the player: the window and frame 0 at once; the
// splash goes, as the page shows the movie alone.
EMSCRIPTEN_KEEPALIVE void qv_begin() {
  if (web::SplashShown()) web::HideSplash();
  BeginPlaying(P());
}

EMSCRIPTEN_KEEPALIVE void qv_splash_click() {
  if (web::SplashShown()) LetSplashGo();
}

// A key by its browser name, for the splash while it shows, else the player;
// returns whether the movie answers it, so the page keeps the browser's use.
EMSCRIPTEN_KEEPALIVE int qv_key(const char* name) {
  const platform::Key key = KeyNamed(name);
  if (key == platform::kKeyOther) return 0;
  if (!web::PlayerWindowShown()) {
    if (web::SplashShown() && OnSplashKey(key)) LetSplashGo();
  } else {
    OnKey(P(), key);
  }
  return 1;
}

// A click in the window canvas: no window frame answers the hit test first.
EMSCRIPTEN_KEEPALIVE void qv_click(int32_t x, int32_t y) {
  if (web::PlayerWindowShown()) OnWindowClick(P(), x, y);
}

// A second tap soon after the first, on the picture's left (side -1) or right
// (side 1) third: a step back or forward while paused, else one more click.
EMSCRIPTEN_KEEPALIVE void qv_double_tap(int32_t x, int32_t y, int32_t side) {
  if (!web::PlayerWindowShown()) return;
  if (P().Playing == 0) {
    OnKey(P(), side < 0 ? platform::kKeyLeft : platform::kKeyRight);
  } else {
    OnWindowClick(P(), x, y);
  }
}

EMSCRIPTEN_KEEPALIVE void qv_mouse_move() { OnMouseMove(P()); }

// The page's controls, by the names its buttons and its parent page use.
EMSCRIPTEN_KEEPALIVE void qv_control(const char* name) {
  static const char* const kNames[] = {"play-pause", "play", "pause", "step-back", "step-forward",
                                       "to-start", "looping", "loop-on", "loop-off", "banner"};
  if (!web::PlayerWindowShown()) return;
  for (int i = 0; i <= int(Control::kBanner); ++i) {
    if (std::strcmp(name, kNames[i]) == 0) OnControl(P(), static_cast<Control>(i));
  }
}

EMSCRIPTEN_KEEPALIVE void qv_seek(int32_t n) {
  if (web::PlayerWindowShown()) SeekTo(P(), n);
}

// The page gained or lost the focus: the frame takes its active or inactive look.
EMSCRIPTEN_KEEPALIVE void qv_activation() {
  if (web::PlayerWindowShown()) ShowFrame(P(), P().CurrentFrame);
}

EMSCRIPTEN_KEEPALIVE void qv_deliver_frame(int32_t n) { ShowFrame(P(), n); }

EMSCRIPTEN_KEEPALIVE void qv_run_timer(int32_t id) { web::RunTimer(id); }

// The page's area changed size: the screen did. The layout is made again for
// it as at start-up. Before start-up has read the movie there is nothing to
// lay out.
EMSCRIPTEN_KEEPALIVE void qv_relayout() {
  if (!g_started) return;
  Player& p = P();
  p.geometry = ComputeGeometry(p.movie, p.settings);
  web::PlacePlayerWindow(p);
  web::PlaceSplashWindow();
  if (web::PlayerWindowShown()) ShowFrame(p, p.CurrentFrame);
}

// The fields of StateField; the click region in window pixels while the
// frame shown waits for a click.
EMSCRIPTEN_KEEPALIVE const int32_t* qv_state() {
  const Player& p = P();
  const DisplayGeometry& g = p.geometry;
  const int32_t frame = p.CurrentFrame;
  const bool shown = web::PlayerWindowShown();
  g_state[kFrame] = frame;
  g_state[kFrames] = g_started ? p.index.LastFrame + 1 : 0;
  g_state[kPlaying] = p.Playing;
  g_state[kWaiting] = shown && p.StepDelay == -1;
  g_state[kLooping] = p.StopAtEnd == 0;
  g_state[kBanner] = p.HelpOn;
  g_state[kTimeMs] = int32_t(g_timeline.StartOf(frame));
  g_state[kTotalMs] = g_timeline.start_ms.empty()
                          ? 0
                          : int32_t(g_timeline.start_ms.back() +
                                    (g_timeline.delay_ms.back() > 0 ? g_timeline.delay_ms.back() : 0));
  g_state[kShown] = shown;
  g_state[kSplash] = web::SplashShown();
  const ClickRegion& r = p.click_region;
  g_state[kClickX] = g.PictureX + r.left * g.Scale / 1000;
  g_state[kClickY] = g.PictureY + r.top * g.Scale / 1000;
  g_state[kClickWid] = (r.right - r.left + 1) * g.Scale / 1000;
  g_state[kClickHgt] = (r.bottom - r.top + 1) * g.Scale / 1000;
  g_state[kMovieWid] = p.movie.StackWid;
  g_state[kMovieHgt] = p.movie.MaxFrameHgt;
  return g_state;
}

// The frames that wait for a click: their count, then the frames.
EMSCRIPTEN_KEEPALIVE const int32_t* qv_click_stops() {
  static std::vector<int32_t> stops;
  stops.assign(1, 0);
  for (size_t n = 0; n < g_timeline.delay_ms.size(); ++n) {
    if (g_timeline.delay_ms[n] == -1) stops.push_back(int32_t(n));
  }
  stops[0] = int32_t(stops.size() - 1);
  return stops.data();
}

}  // extern "C"
