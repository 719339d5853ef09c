// The table of frames: for every frame record in flow order, its name and the
// offset of its frame line, so any frame is reached with one seek.
#pragma once
#include <atomic>
#include <cstdint>

#include "movie/movie_source.h"
#include "movie/settings.h"

struct FrameIndex {
  char names[kMaxFrames][kMaxFrameName + 1] = {};
  int32_t offsets[kMaxFrames] = {};
  // Frames indexed less one; -1 when the flow has none. Read by clock threads.
  std::atomic<int32_t> LastFrame{0};
  // 0 while an index is being built, 2 once it is complete; the splash polls it.
  std::atomic<int32_t> IndexingDone{0};
};

// Reads the flow once from FirstFlowByte. Loads every inactive record into
// inactive_pixels (a canvas) in turn and turns the inactive picture off
// (settings->inactive_x = -1) when there is none. Indexing stops at a
// "StopReading" line and after 50,000 frames; a frame name longer than 48
// characters refuses the movie. Ends the process on a failure.
void BuildFrameIndex(MovieSource* movie, PlayerSettings* settings, FrameIndex* index,
                     uint8_t* inactive_pixels);
