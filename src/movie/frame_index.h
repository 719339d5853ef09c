// The table of frames: for every frame record in flow order, its name and the
// offset of its frame line, so any frame is reached with one seek.
#pragma once
#include <atomic>
#include <cstdint>

#include "movie/movie_source.h"

struct FrameIndex {
  char names[kMaxFrames][kMaxFrameName + 1] = {};
  int32_t offsets[kMaxFrames] = {};
  // Frames indexed less one; -1 when the flow has none. Read by clock threads.
  std::atomic<int32_t> LastFrame{0};
  // 0 while an index is being built, 2 once it is complete; the splash polls it.
  std::atomic<int32_t> IndexingDone{0};
};

enum class IndexFault {
  kNone,
  kNoFlow,          // the flow file cannot be opened
  kNoStack,         // an inactive record, and the stack file cannot be opened
  kInactiveNotRows, // the line after "InactiveFrame" is not a row list
  kLongName,        // a frame name longer than 48 characters, at fault_offset
};

struct IndexResult {
  IndexFault fault = IndexFault::kNone;
  int64_t fault_offset = 0;
  bool has_inactive = false;      // an inactive record was met
  bool stopped_at_limit = false;  // indexing stopped at 50,000 frames
};

// Reads the flow once from FirstFlowByte into the index. Loads every inactive
// record into inactive_pixels (a canvas) in turn. Indexing stops at a
// "StopReading" line and after 50,000 frames. On a fault the index is left
// incomplete and the caller decides what follows.
IndexResult BuildFrameIndex(const MovieSource& movie, FrameIndex* index, uint8_t* inactive_pixels);
