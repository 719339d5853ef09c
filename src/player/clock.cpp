#include "player/clock.h"

#include "platform/platform.h"

namespace {

// The cost of a presentation follows the last ones, so that a slow frame or
// two (a page fault, a busy machine) does not pull every later frame early.
constexpr double kCostWeight = 0.125;

void RunClock(void* player, int32_t noted) { ClockDue(*static_cast<Player*>(player), noted); }

}  // namespace

bool RequestArrived(Player& p, int32_t n) {
  int32_t expected = n;
  return p.clock_request.compare_exchange_strong(expected, -1);
}

void RestartTiming(Player& p) { p.clock.frame = -1; }

void TimeFrame(Player& p, int32_t n, double started_ms, bool from_clock) {
  PlaybackClock& c = p.clock;
  const double now = platform::now_ms();
  const double cost = now - started_ms;
  c.cost_ms = c.cost_ms < 0 ? cost : c.cost_ms + (cost - c.cost_ms) * kCostWeight;
  if (p.StepDelay < 0 && n == p.index.LastFrame && p.StopAtEnd == 0) p.StepDelay = 2000;
  const int32_t delay = p.StepDelay;
  // A frame shown again (a repaint, an activation) keeps its place in the chain.
  if (n != c.frame) {
    double due = c.due_ms + c.delay_ms;
    const bool behind = now - due > (delay > 0 ? delay : 0);
    if (!from_clock || c.frame < 0 || c.delay_ms < 0 || behind) due = now;
    c.frame = n;
    c.due_ms = due;
    c.delay_ms = delay;
  }
  if (delay < 0) return;
  const double wait = c.due_ms + delay - c.cost_ms - now;
  platform::call_after_ms(wait > 0 ? static_cast<int32_t>(wait + 0.5) : 0, RunClock, &p, n);
}

void ClockDue(Player& p, int32_t noted) {
  // A pause or a move to another frame meanwhile leaves the next step to
  // whatever the viewer did.
  if (p.Playing != 1 || p.CurrentFrame != noted) return;
  int32_t none = -1;
  if (p.clock_request.compare_exchange_strong(none, noted + 1)) {
    platform::post_show_frame(noted + 1);
  }
}
