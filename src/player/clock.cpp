#include "player/clock.h"

#include "platform/platform.h"

int32_t ClockCompensation(int32_t last_frame) {
  int32_t ms = last_frame / 1250 + 25;
  return ms > 200 ? 200 : ms;
}

void RunClock(Player& p) {
  const int32_t noted = p.CurrentFrame;
  const int32_t compensation = ClockCompensation(p.index.LastFrame);
  const int32_t delay = p.StepDelay;
  if (delay > compensation) platform::sleep_ms(delay - compensation);
  // A pause or a move to another frame meanwhile leaves the next step to
  // whatever the viewer did.
  if (p.Playing != 1 || p.CurrentFrame != noted) return;
  int32_t none = -1;
  if (p.clock_request.compare_exchange_strong(none, noted + 1)) {
    platform::post_show_frame(noted + 1);
  }
}

void RequestArrived(Player& p, int32_t n) {
  int32_t expected = n;
  p.clock_request.compare_exchange_strong(expected, -1);
}

namespace {
void ClockThread(void* player) { RunClock(*static_cast<Player*>(player)); }
}  // namespace

void StartClock(Player& p) { platform::start_thread(ClockThread, &p); }
