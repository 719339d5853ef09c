// The movie's frames along time, for a viewer that shows where it is and
// where the movie waits: each frame's delay, read from its timing line.
#pragma once
#include <cstdint>
#include <vector>

#include "player/player.h"

struct Timeline {
  std::vector<int32_t> delay_ms;  // by frame; -1 for a frame that waits for a click
  std::vector<int64_t> start_ms;  // the timed frames' delays before each frame
  int64_t StartOf(int32_t n) const {
    return n >= 0 && size_t(n) < start_ms.size() ? start_ms[size_t(n)] : 0;
  }
};

// Reads every indexed frame's timing line once, by the index's offsets; a
// record that no longer reads as a frame counts as delay 0.
Timeline ReadTimeline(const Player& p);
