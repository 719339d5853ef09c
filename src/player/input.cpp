#include "player/input.h"

#include "platform/failure.h"
#include "player/clock.h"
#include "player/show_frame.h"

// Positions are taken relative to the picture, not the window, so that in the
// centred and scaled fill modes a click lands on what the frame shows there.
// A Scale below 1 is never laid out; a click still never divides by it.
int32_t ToMovieX(const DisplayGeometry& g, int32_t screen_x) {
  return (screen_x - g.PictureX) * 1000 / (g.Scale > 0 ? g.Scale : 1);
}

int32_t ToMovieY(const DisplayGeometry& g, int32_t screen_y) {
  return (screen_y - g.PictureY) * 1000 / (g.Scale > 0 ? g.Scale : 1);
}

namespace {

// The strip's areas are measured from the picture's right edge.
bool InCloseArea(const Player& p, int32_t x) {
  return x > p.geometry.ShownWid - p.settings.CloseRightEdge;
}

bool InMinimiseArea(const Player& p, int32_t x) {
  return x > p.geometry.ShownWid - 3 * p.settings.CloseRightEdge;
}

// Space and Enter: on to the next frame, never past the last.
void Step(Player& p) {
  if (p.CurrentFrame < p.index.LastFrame) p.CurrentFrame = p.CurrentFrame + 1;
  ShowFrame(p, p.CurrentFrame);
}

// A restart's notice comes 100 ms after frame 0, as it always has.
void ToggleLooping(Player& p) {
  int32_t notice_ms = 0;
  p.StopAtEnd = p.StopAtEnd + 1;
  if (p.StopAtEnd == 2) {
    p.StopAtEnd = 0;
    if (p.Playing == 1) {
      p.CurrentFrame = 0;
      ShowFrame(p, 0);
      notice_ms = 100;
    }
  }
  platform::call_after_ms(notice_ms, LoopingNotice, &p, 0);
}

}  // namespace

HitArea HitTest(const Player& p, int32_t window_x, int32_t window_y) {
  int32_t x = ToMovieX(p.geometry, window_x);
  int32_t y = ToMovieY(p.geometry, window_y);
  if (x < 0) x = 9999;
  if (y < 0) y = 9999;
  if (y < p.settings.TitleBarHeight && x < p.geometry.ShownWid - 3 * p.settings.CloseRightEdge) {
    return HitArea::kDragStrip;
  }
  return HitArea::kClient;
}

void OnKey(Player& p, platform::Key key) {
  const bool paused = p.Playing == 0;
  // Whatever the viewer does, the frames after it are timed from now.
  RestartTiming(p);
  switch (key) {
    case platform::kKeyEscape:
      platform::exit_process(kExitNormal);
    case platform::kKeySpace:
      p.Playing = paused ? 1 : 0;
      Step(p);
      break;
    case platform::kKeyReturn:
      if (p.Playing == 1) Step(p);
      break;
    case platform::kKeyF1:
      p.HelpOn = p.HelpOn == 0 ? 1 : 0;
      platform::post_show_frame(p.CurrentFrame);
      break;
    case platform::kKeyF2:
      ToggleLooping(p);
      break;
    case platform::kKeyLeft:
      if (paused) ShowFrame(p, p.CurrentFrame - 1);
      break;
    case platform::kKeyRight:
      if (paused) ShowFrame(p, p.CurrentFrame + 1);
      break;
    case platform::kKeyPageUp:
      if (paused) ShowFrame(p, p.CurrentFrame - 100 < 0 ? 0 : p.CurrentFrame - 100);
      break;
    case platform::kKeyPageDown:
      if (paused) {
        int32_t n = p.CurrentFrame + 100;
        ShowFrame(p, n > p.index.LastFrame ? p.index.LastFrame.load() : n);
      }
      break;
    case platform::kKeyHome:
      p.CurrentFrame = 0;
      ShowFrame(p, 0);
      break;
    default:
      break;
  }
}

void OnClick(Player& p, int32_t client_x, int32_t client_y) {
  const int32_t x = ToMovieX(p.geometry, client_x);
  const int32_t y = ToMovieY(p.geometry, client_y);
  if (y < p.settings.TitleBarHeight) {
    if (InCloseArea(p, x)) platform::exit_process(kExitNormal);
    if (InMinimiseArea(p, x)) {
      platform::minimize_player_window();
      return;
    }
  }
  RestartTiming(p);
  const ClickRegion& r = p.click_region;
  if (p.StepDelay == -1 && r.left <= x && x <= r.right && r.top <= y && y <= r.bottom) {
    platform::post_show_frame(p.CurrentFrame + 1);
  }
}

void OnMouseMove(const Player& p) {
  platform::set_cursor(p.StepDelay != -1 && p.Playing != 0 ? platform::kCursorWait
                                                             : platform::kCursorArrow);
}

void LoopingNotice(void* player, int32_t) {
  const Player& p = *static_cast<const Player*>(player);
  int32_t looping_off = p.StopAtEnd;
  if (looping_off == 1) {
    platform::message_box("Looping is OFF", "QV_MoviePlayer", platform::kBoxOk);
    looping_off = p.StopAtEnd;
  }
  if (looping_off == 0) platform::message_box("Looping is ON", "QV_MoviePlayer", platform::kBoxOk);
}
