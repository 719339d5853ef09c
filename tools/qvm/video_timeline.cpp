#include "qvm/video_timeline.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <utility>

namespace {

// The timing line's delay is read into a 32-bit number.
constexpr int64_t kLongestDelayMs = 2147483647;

}  // namespace

std::string Seconds(int64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", double(ms) / 1000);
  return text;
}

Timeline::Timeline(TimelineRules rules, Sink sink) : rules_(std::move(rules)), sink_(std::move(sink)) {
  std::stable_sort(rules_.clicks.begin(), rules_.clicks.end(),
                   [](const VideoClick& a, const VideoClick& b) { return a.at_ms < b.at_ms; });
}

// A picture waits for the first click made while it was on screen; a frame
// can wait for only one.
void Timeline::TakeClicks(Span* picture, int64_t until_ms) {
  while (next_click_ < rules_.clicks.size() && rules_.clicks[next_click_].at_ms < until_ms) {
    if (picture->waits) {
      ++counts_.clicks_ignored;
    } else {
      picture->waits = true;
      picture->click = rules_.clicks[next_click_];
    }
    ++next_click_;
  }
}

// Two clicks stay two frames even on one picture: the viewer clicks twice.
bool Timeline::Joins(const Span& to, const Span& next) {
  return to.present && to.rows == next.rows && !(to.waits && next.waits);
}

void Timeline::Join(Span* to, const Span& next) {
  to->delay_ms += next.delay_ms;
  if (next.waits) {
    to->waits = true;
    to->click = next.click;
  }
}

// The latest picture ends at end_ms: it joins the run of its equals or
// closes that run and starts its own.
void Timeline::ClosePending(int64_t end_ms) {
  if (!pending_.present) return;
  TakeClicks(&pending_, end_ms);
  pending_.delay_ms = end_ms - pending_.start_ms;
  if (Joins(run_, pending_)) {
    Join(&run_, pending_);
  } else {
    if (run_.present) Decide(std::move(run_), false);
    run_ = std::move(pending_);
  }
  pending_ = Span();
}

void Timeline::Add(int64_t time_ms, std::vector<int32_t> rows) {
  ++counts_.pictures;
  if (pending_.present) time_ms = std::max(time_ms, pending_.start_ms);
  ClosePending(time_ms);
  pending_.rows = std::move(rows);
  pending_.start_ms = time_ms;
  pending_.present = true;
}

// A run whose delay is known: dropped into the frame before it when too
// short, joined to it when dropping a flicker made them the same. The first
// and the last are never dropped: they are where the recording begins and
// ends.
void Timeline::Decide(Span run, bool last) {
  if (held_.present && !run.waits && !last && run.delay_ms < rules_.min_delay_ms) {
    held_.delay_ms += run.delay_ms;
    ++counts_.dropped;
    return;
  }
  if (Joins(held_, run)) {
    Join(&held_, run);
    return;
  }
  if (held_.present) Emit(held_);
  held_ = std::move(run);
}

void Timeline::Emit(const Span& frame) {
  TimedFrame out;
  out.rows = frame.rows;
  out.delay_ms = std::min(frame.delay_ms, kLongestDelayMs);
  if (rules_.max_delay_ms > 0 && out.delay_ms > rules_.max_delay_ms) {
    out.delay_ms = rules_.max_delay_ms;
    if (!frame.waits) ++counts_.shortened;
  }
  out.waits_for_click = frame.waits;
  out.click = frame.click;
  ++counts_.frames;
  sink_(out);
}

void Timeline::Finish(int64_t end_ms) {
  if (pending_.present) end_ms = std::max(end_ms, pending_.start_ms);
  ClosePending(end_ms);
  if (run_.present) Decide(std::move(run_), true);
  run_ = Span();
  if (held_.present) Emit(held_);
  held_ = Span();
  if (next_click_ < rules_.clicks.size()) {
    throw std::runtime_error("the click at " + Seconds(rules_.clicks[next_click_].at_ms) +
                             " comes after the movie's end at " + Seconds(end_ms));
  }
}
