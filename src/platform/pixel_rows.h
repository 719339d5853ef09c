// Pixel rows between the canvases' 24-bit layout and the 32-bit layout most
// screens hold. Plain memory work with no system call, shared by the shell.
#pragma once
#include <cstdint>

// Copies `rows` rows of `wid` pixels from 24-bit rows (blue, green, red) that
// lie `from_stride` bytes apart into 32-bit rows (blue, green, red, 0) that lie
// `to_stride` bytes apart.
void ExpandRows24To32(const uint8_t* from, int32_t from_stride, uint8_t* to, int32_t to_stride,
                      int32_t wid, int32_t rows);

// Copies w x h pixels at (x, y) of one canvas's pixels (rows of 9000 bytes)
// to the same place in another's, clipped to the canvas as the window system
// clips a block copy: copy_canvas for the platforms whose canvases are plain
// memory.
void CopyCanvasBlock(uint8_t* dst, const uint8_t* src, int32_t x, int32_t y, int32_t w, int32_t h);

// Calls draw(top, rows) for each run of rows of 0 .. h-1 whose flag in
// changed_rows is set, or once for all h rows when changed_rows is null. Runs
// a few unchanged rows apart are joined: every copy to the screen costs a
// call of its own as well as its rows.
template <typename Draw>
void ForEachChangedRun(const uint8_t* changed_rows, int32_t h, Draw draw) {
  constexpr int32_t kJoinedGap = 8;
  if (!changed_rows) {
    if (h > 0) draw(0, h);
    return;
  }
  int32_t top = -1, end = -1;
  for (int32_t y = 0; y < h; ++y) {
    if (!changed_rows[y]) continue;
    if (top >= 0 && y - end > kJoinedGap) {
      draw(top, end - top);
      top = -1;
    }
    if (top < 0) top = y;
    end = y + 1;
  }
  if (top >= 0) draw(top, end - top);
}
