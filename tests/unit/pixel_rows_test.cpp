// Widening canvas rows for a 32-bit screen: every width, including those that
// are not a multiple of four pixels, and strides that leave bytes between rows.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/pixel_rows.h"

TEST(PixelRows, EveryPixelKeepsItsColourAndNothingOutsideIsTouched) {
  const int32_t rows = 3, from_stride = 40, to_stride = 52;
  std::vector<uint8_t> from(from_stride * rows);
  for (size_t i = 0; i < from.size(); ++i) from[i] = static_cast<uint8_t>(i * 37 + 11);
  for (int32_t wid = 0; wid <= 12; ++wid) {
    std::vector<uint8_t> to(to_stride * rows, 0xEE);
    ExpandRows24To32(from.data(), from_stride, to.data(), to_stride, wid, rows);
    for (int32_t y = 0; y < rows; ++y) {
      for (int32_t x = 0; x < to_stride / 4; ++x) {
        const uint8_t* got = &to[y * to_stride + x * 4];
        if (x < wid) {
          const uint8_t* px = &from[y * from_stride + x * 3];
          EXPECT_EQ(got[0], px[0]) << "width " << wid << " row " << y << " pixel " << x;
          EXPECT_EQ(got[1], px[1]) << "width " << wid << " row " << y << " pixel " << x;
          EXPECT_EQ(got[2], px[2]) << "width " << wid << " row " << y << " pixel " << x;
          EXPECT_EQ(got[3], 0) << "width " << wid << " row " << y << " pixel " << x;
        } else {
          EXPECT_EQ(got[0] & got[1] & got[2] & got[3], 0xEE) << "width " << wid << " row " << y;
        }
      }
    }
  }
}
