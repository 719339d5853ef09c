// Scales a 24-bit canvas picture to any size into 32-bit screen rows, in
// integers only, so every machine and compiler gives the same bytes.
// Shrinking averages the exact area each screen pixel covers (screen text stays
// readable); enlarging interpolates between the two nearest pixel centres.
#pragma once
#include <cstdint>
#include <memory>

// One (source size, destination size) pair: its weights, made once, and each
// source row scaled horizontally, so a row that has not changed since the
// last call is not scaled again. The cache takes src_hgt x dst_wid x 8 bytes.
class Scaler {
 public:
  Scaler();
  // Sizes in pixels; a scaler with a zero or negative size scales nothing.
  Scaler(int32_t src_wid, int32_t src_hgt, int32_t dst_wid, int32_t dst_hgt);
  Scaler(Scaler&&) noexcept;
  Scaler& operator=(Scaler&&) noexcept;
  ~Scaler();

  // True when this scaler was made for these sizes.
  bool Fits(int32_t src_wid, int32_t src_hgt, int32_t dst_wid, int32_t dst_hgt) const;

  // Scales src (rows of blue, green, red, src_stride bytes apart) into dst
  // (rows of blue, green, red, 0, dst_stride bytes apart). changed_rows holds
  // one flag per source row, non-zero where the row differs from the one the
  // last call saw; only the destination rows whose footprint holds such a row
  // are written, the others keep what they show. Null means every row
  // changed. written_rows, when given, is set to 1 for each row written.
  void Scale(const uint8_t* src, int32_t src_stride, const uint8_t* changed_rows, uint8_t* dst,
             int32_t dst_stride, uint8_t* written_rows = nullptr);

  // The plain passes only. Both forms give the same bytes; a test turns the
  // vector form off to show it.
  void UsePlainPasses();

  struct Plan;  // the weights and the row cache: resample.cpp's own

 private:
  std::unique_ptr<Plan> plan_;
};
