// Scales a 24-bit canvas picture to any size into 32-bit screen rows, in
// integers only, so every machine and compiler gives the same bytes.
// Shrinking averages the exact area each screen pixel covers (screen text stays
// readable); enlarging interpolates between the two nearest pixel centres.
#pragma once
#include <cstdint>
#include <vector>

// Weights are in 1/256 where an axis enlarges, keeps its size or shrinks by
// up to 2:1: finer than any screen shows, and the passes can multiply in 16
// bits. A deeper shrink spreads a pixel over many small shares, which need
// 1/16384 (a sliver of a source pixel at 1000:1 still counts).
constexpr int32_t kScaleFineWeightBits = 14;
constexpr int32_t kScaleCoarseWeightBits = 8;
// A horizontally scaled row keeps 8 bits below each 8-bit sample, so the
// vertical pass rounds once more, at the end.
constexpr int32_t kScaleRowFractionBits = 8;

// How one axis maps destination pixels onto source pixels. Each destination
// index d reads `taps` consecutive source pixels from window_first[d], with
// weights[d * taps + k], which sum to exactly one (1 << weight_bits).
// first[d] and count[d] are the source pixels whose weight is not zero (d's
// footprint), a part of that window.
struct ScaleAxis {
  int32_t src_size = 0;
  int32_t dst_size = 0;
  bool area = true;  // shrinking or the same size; false: enlarging
  int32_t weight_bits = kScaleCoarseWeightBits;
  int32_t taps = 0;
  std::vector<int32_t> window_first;
  std::vector<int16_t> weights;
  std::vector<int32_t> first;
  std::vector<int32_t> count;
};

// Everything one (source size, destination size) pair needs, made once; it
// also holds each source row scaled horizontally, so a row that has not
// changed since the last call is not scaled again. The cache takes
// src_hgt x dst_wid x 8 bytes.
struct ScalePlan {
  ScaleAxis across;  // destination columns from source columns
  ScaleAxis down;    // destination rows from source rows
  // True where the processor has the vector instructions the fast passes use;
  // both passes give the same bytes, so a test may turn it off to check that.
  bool use_vectors = false;
  // The vector horizontal pass: the leading destination columns whose source
  // reads stay inside the row, the byte offset of each one's window, and their
  // weights as it reads them, from the first 16-byte boundary of wide_weights.
  int32_t wide_read_cols = 0;
  std::vector<uint32_t> wide_read_offset;
  std::vector<int16_t> wide_weights;
  // Cached rows: per pixel blue, green, red and 0, in 1/256 of a level,
  // cache_row_len int16 apart. Where the vertical weights are fine its
  // multiply-add is signed, so samples are kept with the top bit flipped
  // (cache_flip 0x8000).
  int32_t cache_row_len = 0;
  uint16_t cache_flip = 0;
  std::vector<int16_t> scaled_rows;    // src_hgt rows
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
// written_rows, when given, is set to 1 for each destination row written.
void ScalePicture(ScalePlan& plan, const uint8_t* src, int32_t src_stride,
                  const uint8_t* changed_rows, uint8_t* dst, int32_t dst_stride,
                  uint8_t* written_rows = nullptr);
