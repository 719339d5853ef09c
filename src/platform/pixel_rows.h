// Pixel rows between the canvases' 24-bit layout and the 32-bit layout most
// screens hold. Plain memory work with no system call, shared by the shell.
#pragma once
#include <cstdint>

// Copies `rows` rows of `wid` pixels from 24-bit rows (blue, green, red) that
// lie `from_stride` bytes apart into 32-bit rows (blue, green, red, 0) that lie
// `to_stride` bytes apart.
void ExpandRows24To32(const uint8_t* from, int32_t from_stride, uint8_t* to, int32_t to_stride,
                      int32_t wid, int32_t rows);
