// From pictures with presentation times to movie frames with delays. A
// recording at 30 frames a second is mostly still, so pictures whose row
// lists come out the same are one frame whose delay is their sum; the movie
// gets a frame for each change, not for each tick. Pictures arrive one at a
// time and frames leave one at a time, so a recording of any length needs
// the memory of three row lists.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "movie/timing_line.h"

// A time as qvm reports it: "12.500 s".
std::string Seconds(int64_t ms);

struct VideoClick {
  int64_t at_ms = 0;  // the frame on screen then waits for the click
  ClickRegion region;
};

struct TimelineRules {
  int32_t min_delay_ms = 0;  // shorter frames are dropped, but for the first and the last;
                             // their time goes to the frame before
  int32_t max_delay_ms = 0;  // 0: no maximum
  std::vector<VideoClick> clicks;
};

struct TimedFrame {
  std::vector<int32_t> rows;
  int64_t delay_ms = 0;
  bool waits_for_click = false;
  VideoClick click;
  TimingLine timing() const {
    return waits_for_click ? TimingLine{-1, true, click.region} : TimingLine{int32_t(delay_ms), false, {}};
  }
};

struct TimelineCounts {
  int64_t pictures = 0;
  int64_t frames = 0;           // handed to the sink
  int64_t dropped = 0;          // shorter than the minimum delay
  int64_t shortened = 0;        // cut to the maximum delay
  int64_t clicks_ignored = 0;   // a second click on a picture that already waits
};

class Timeline {
 public:
  using Sink = std::function<void(const TimedFrame&)>;
  // Clicks are taken in time order whatever their order in the rules.
  Timeline(TimelineRules rules, Sink sink);

  // A picture shown from time_ms on, not before the previous one.
  void Add(int64_t time_ms, std::vector<int32_t> rows);
  // The last picture ends at end_ms. Throws std::runtime_error for a click
  // at or after it, whose frame the movie does not have.
  void Finish(int64_t end_ms);
  const TimelineCounts& counts() const { return counts_; }

 private:
  struct Span {
    std::vector<int32_t> rows;
    int64_t start_ms = 0;
    int64_t delay_ms = 0;
    bool waits = false;
    VideoClick click;
    bool present = false;
  };
  void TakeClicks(Span* picture, int64_t until_ms);
  void ClosePending(int64_t end_ms);
  static bool Joins(const Span& to, const Span& next);
  static void Join(Span* to, const Span& next);
  void Decide(Span run, bool last);
  void Emit(const Span& frame);

  TimelineRules rules_;
  Sink sink_;
  size_t next_click_ = 0;
  Span pending_;  // the latest picture, until its end is known
  Span run_;      // the pictures before it that are the same
  Span held_;     // the last frame decided, kept to take the time of dropped ones
  TimelineCounts counts_;
};
