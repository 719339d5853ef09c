// Where the movie is and the boundaries of its flow and stack, filled once by
// LocateMovie. Offsets count bytes from the start of the file they refer to.
#pragma once
#include <cstdint>

// Limits of the data model: the canvases hold 3000 x 2400 pixels in rows of
// 9000 bytes, a name slot holds 48 characters, the index holds 50,000 frames.
constexpr int32_t kMaxStackWid = 3000;
constexpr int32_t kMaxRows = 2400;
constexpr int32_t kCanvasRowBytes = 9000;
constexpr int32_t kMaxFrameName = 48;
constexpr int32_t kMaxFrames = 50000;
constexpr int kPathSize = 99;      // 98 characters and the terminator
constexpr int kLineSize = 9996;    // most flow lines: 9994 characters read whole
constexpr int kShortLineSize = 296;  // splash lines and the settings' first line

struct MovieSource {
  char flow_path[kPathSize] = "";
  char stack_path[kPathSize] = "";
  int32_t FirstFlowByte = 0;
  int32_t LastFlowByte = -1;
  int32_t FirstStackByte = 0;
  int32_t StackWid = 0;
  int32_t MaxFrameHgt = 0;
};
