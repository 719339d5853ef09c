// Scales a 24-bit canvas picture to any size into 32-bit screen rows, in
// integers only, so every machine and compiler gives the same bytes.
// Shrinking averages the exact area each screen pixel covers (screen text stays
// readable); enlarging interpolates between the two nearest pixel centres.
#pragma once
#include <cstdint>
#include <vector>

// How one axis maps destination pixels onto source pixels. Each destination
// index d reads `taps` consecutive source pixels from window_first[d], with
// weights[d * taps + k] in 1/kScaleWeightOne; the weights of one destination
// index sum to exactly kScaleWeightOne. first[d] and count[d] are the source
// pixels whose weight is not zero (its footprint), a part of that window.
struct ScaleAxis {
  int32_t src_size = 0;
  int32_t dst_size = 0;
  int32_t taps = 0;
  std::vector<int32_t> window_first;
  std::vector<int16_t> weights;
  std::vector<int32_t> first;
  std::vector<int32_t> count;
};

constexpr int32_t kScaleWeightBits = 14;
constexpr int32_t kScaleWeightOne = 1 << kScaleWeightBits;
// A horizontally scaled row keeps this many bits below each 8-bit sample, so
// the vertical pass rounds once, at the end.
constexpr int32_t kScaleRowFractionBits = 7;

// Everything one (source size, destination size) pair needs, made once; it
// also holds each source row scaled horizontally (blue, green, red, 0, each in
// 1/128 of a level), so a row that has not changed since the last call is not
// scaled again. The cache takes src_hgt x dst_wid x 8 bytes.
struct ScalePlan {
  ScaleAxis across;  // destination columns from source columns
  ScaleAxis down;    // destination rows from source rows
  // True where the processor has the vector instructions the fast passes use;
  // both passes give the same bytes, so a test may turn it off to check that.
  bool use_vectors = false;
  // For the vector pass: the leading destination columns whose windows can be
  // read eight bytes at a time without passing the end of the source row, and
  // their weights laid out for it, wide_steps groups of 8 a column.
  int32_t wide_read_cols = 0;
  int32_t wide_steps = 0;
  std::vector<int16_t> wide_weights;
  int32_t cache_row_len = 0;           // int16 values between cached rows
  std::vector<int16_t> scaled_rows;    // src_hgt rows of cache_row_len
  std::vector<uint8_t> row_is_scaled;  // per source row: scaled_rows holds it
  std::vector<int32_t> changed_before;  // scratch: changed source rows above each row
};

// Sizes in pixels; a plan with a zero or negative size scales nothing.
ScalePlan MakeScalePlan(int32_t src_wid, int32_t src_hgt, int32_t dst_wid, int32_t dst_hgt);

// Scales src (rows of blue, green, red, src_stride bytes apart) into dst (rows of
// blue, green, red, 0, dst_stride bytes apart). changed_rows holds one flag per
// source row, non-zero where the row differs from the one the last call on this
// plan saw; only the destination rows whose footprint holds such a row are
// written, the others keep what they show. Null means every row changed.
void ScalePicture(ScalePlan& plan, const uint8_t* src, int32_t src_stride,
                  const uint8_t* changed_rows, uint8_t* dst, int32_t dst_stride);
