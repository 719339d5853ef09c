#include "platform/pixel_rows.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace {

uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;  // little-endian, as on every machine the player runs on
}

void ExpandRow(const uint8_t* from, uint32_t* to, int32_t wid) {
  int32_t x = 0;
  // Four pixels from three words: no byte-wise loads in the common case.
  for (; x + 4 <= wid; x += 4, from += 12, to += 4) {
    const uint32_t a = Load32(from), b = Load32(from + 4), c = Load32(from + 8);
    to[0] = a & 0xFFFFFF;
    to[1] = (a >> 24) | ((b & 0xFFFF) << 8);
    to[2] = (b >> 16) | ((c & 0xFF) << 16);
    to[3] = c >> 8;
  }
  for (; x < wid; ++x, from += 3) *to++ = from[0] | (from[1] << 8) | (uint32_t(from[2]) << 16);
}

}  // namespace

void ExpandRows24To32(const uint8_t* from, int32_t from_stride, uint8_t* to, int32_t to_stride,
                      int32_t wid, int32_t rows) {
  for (int32_t y = 0; y < rows; ++y) {
    ExpandRow(from + int64_t(y) * from_stride, reinterpret_cast<uint32_t*>(to + int64_t(y) * to_stride), wid);
  }
}

void CopyCanvasBlock(uint8_t* dst, const uint8_t* src, int32_t x, int32_t y, int32_t w, int32_t h) {
  using platform::kCanvasHgt;
  using platform::kCanvasWid;
  const int64_t x0 = std::max(x, 0), x1 = std::min<int64_t>(int64_t{x} + w, kCanvasWid);
  const int64_t y0 = std::max(y, 0), y1 = std::min<int64_t>(int64_t{y} + h, kCanvasHgt);
  if (x1 <= x0) return;
  for (int64_t row = y0; row < y1; ++row) {
    const size_t at = size_t(row) * kCanvasWid * 3 + size_t(x0) * 3;
    std::memcpy(dst + at, src + at, size_t(x1 - x0) * 3);
  }
}
