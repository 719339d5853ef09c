// The picture scaler against the filter written out pixel by pixel: the same
// bytes for every size pair, nothing touched outside the rows it may write,
// and, after a change of some source rows, exactly the rows that change.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "platform/pixel_rows.h"
#include "player/resample.h"

namespace {

constexpr uint8_t kUntouched = 0xEE;

struct Picture {
  int32_t wid, hgt, stride;
  std::vector<uint8_t> bytes;  // exactly as long as the last row needs
};

Picture RandomPicture(int32_t wid, int32_t hgt, int32_t stride, uint32_t seed) {
  std::mt19937 rng(seed);
  Picture p{wid, hgt, stride, std::vector<uint8_t>(size_t(hgt - 1) * stride + wid * 3)};
  for (uint8_t& b : p.bytes) b = uint8_t(rng());
  return p;
}

// Weights are in 1/16384 for a shrink beyond 2:1, in 1/256 otherwise.
bool FineWeights(int64_t src, int64_t dst) { return src > 2 * dst; }

// Per destination index, the source indices with a weight and the weight,
// from the definition: shrinking takes the exact share of the destination
// pixel's span that each source pixel covers (shares rounded as running
// totals, so they sum to one); enlarging reads the two source pixels around
// src_x = (d + 0.5) * src / dst - 0.5, held to the outer pixel centres.
using Weights = std::vector<std::vector<std::pair<int32_t, int64_t>>>;
int64_t Rounded(int64_t num, int64_t den) { return (num + den / 2) / den; }

Weights ReferenceWeights(int64_t src, int64_t dst) {
  const int64_t one = FineWeights(src, dst) ? 16384 : 256;
  Weights all(dst);
  for (int64_t d = 0; d < dst; ++d) {
    std::vector<int64_t> w(src, 0);
    if (dst <= src) {
      for (int64_t s = 0; s < src; ++s) {
        const int64_t from = std::clamp(s * dst - d * src, int64_t(0), src);
        const int64_t to = std::clamp((s + 1) * dst - d * src, int64_t(0), src);
        w[s] = Rounded(to * one, src) - Rounded(from * one, src);
      }
    } else {
      const int64_t pos = std::clamp((2 * d + 1) * src - dst, int64_t(0), (src - 1) * 2 * dst);
      const int64_t right = Rounded(pos % (2 * dst) * one, 2 * dst);
      w[pos / (2 * dst)] += one - right;
      if (right) w[pos / (2 * dst) + 1] += right;
    }
    for (int32_t s = 0; s < src; ++s) {
      if (w[s]) all[d].push_back({s, w[s]});
    }
  }
  return all;
}

// Each row is first scaled across to 1/256 of a level (rounded there from
// fine weights), then down: with fine weights rounded once; with coarse ones
// each row's part cut to 1/256 of a level and the sum rounded.
std::vector<uint8_t> ReferenceScale(const Picture& p, int32_t dst_wid, int32_t dst_hgt) {
  const Weights across = ReferenceWeights(p.wid, dst_wid), down = ReferenceWeights(p.hgt, dst_hgt);
  const bool fine_across = FineWeights(p.wid, dst_wid), fine_down = FineWeights(p.hgt, dst_hgt);
  std::vector<int64_t> rows(size_t(p.hgt) * dst_wid * 3);
  for (int32_t y = 0; y < p.hgt; ++y) {
    for (int32_t x = 0; x < dst_wid; ++x) {
      for (int32_t c = 0; c < 3; ++c) {
        int64_t sum = 0;
        for (auto [s, w] : across[x]) sum += w * p.bytes[size_t(y) * p.stride + s * 3 + c];
        rows[(size_t(y) * dst_wid + x) * 3 + c] = fine_across ? (sum + 32) >> 6 : sum;
      }
    }
  }
  std::vector<uint8_t> out(size_t(dst_wid) * dst_hgt * 4, 0);
  for (int32_t y = 0; y < dst_hgt; ++y) {
    for (int32_t x = 0; x < dst_wid; ++x) {
      for (int32_t c = 0; c < 3; ++c) {
        int64_t sum = 0;
        for (auto [s, w] : down[y]) {
          const int64_t h = rows[(size_t(s) * dst_wid + x) * 3 + c];
          sum += fine_down ? w * h : (w * h) >> 8;
        }
        out[(size_t(y) * dst_wid + x) * 4 + c] = uint8_t(fine_down ? (sum + (1 << 21)) >> 22 : (sum + 128) >> 8);
      }
    }
  }
  return out;
}

// dst rows are dst_wid * 4 bytes and 4 more that must stay as they were.
int32_t DstStride(int32_t dst_wid) { return dst_wid * 4 + 4; }

// Compares the written rows with the reference (tightly packed) and checks the
// gap after each row is untouched.
void ExpectRows(const std::vector<uint8_t>& dst, const std::vector<uint8_t>& want, int32_t dst_wid,
                int32_t dst_hgt, const std::vector<bool>& written) {
  const int32_t stride = DstStride(dst_wid), row_bytes = dst_wid * 4;
  for (int32_t y = 0; y < dst_hgt; ++y) {
    const uint8_t* got = &dst[size_t(y) * stride];
    if (written[y]) {
      ASSERT_TRUE(std::equal(got, got + row_bytes, &want[size_t(y) * row_bytes])) << "row " << y;
    } else {
      ASSERT_EQ(std::count(got, got + row_bytes, kUntouched), row_bytes) << "row " << y << " was written";
    }
    ASSERT_EQ(std::count(got + row_bytes, got + stride, kUntouched), 4) << "past row " << y;
  }
}

struct SizePair {
  int32_t src_wid, src_hgt, dst_wid, dst_hgt, src_stride;
};

// 994 x 722 at Scale 1 is nothing at all; 333 to 1495 thousandths and 3000;
// single pixels both ways; each axis shrinking while the other enlarges; odd
// sizes small enough that every window reaches an edge; the widest canvas; a
// shrink of just 2:1 (coarse weights) and just over (fine).
const SizePair kSizes[] = {
    {994, 722, 0, 0, 9000},      {994, 722, 331, 240, 9000},   {994, 722, 770, 559, 9000},
    {994, 722, 993, 721, 9000},  {994, 722, 994, 722, 2982},   {994, 722, 994, 722, 9000},
    {994, 722, 995, 722, 2982},  {994, 722, 1486, 1079, 9000}, {994, 722, 2982, 2166, 2982},
    {1, 1, 1, 1, 3},             {1, 1, 7, 5, 3},              {5, 3, 1, 1, 16},
    {3000, 2400, 3, 2, 9000},    {3000, 8, 9000, 24, 9000},    {994, 722, 1400, 300, 2982},
    {301, 997, 150, 1500, 903},  {7, 5, 3, 11, 21},            {13, 1, 5, 4, 39},
    {2, 2, 3, 3, 6},             {3, 3, 2, 2, 9},              {4, 1, 9, 1, 12},
    {17, 9, 16, 10, 60},          {994, 722, 497, 361, 2982},   {995, 723, 497, 361, 2985},
};

// Both the vector passes (where the processor has them) and the plain ones.
TEST(Resample, EverySizePairGivesTheReferenceBytes) {
  for (const SizePair& s : kSizes) {
    const Picture p = RandomPicture(s.src_wid, s.src_hgt, s.src_stride, s.src_wid * 31 + s.dst_wid);
    const std::vector<uint8_t> want = ReferenceScale(p, s.dst_wid, s.dst_hgt);
    for (bool vectors : {true, false}) {
      SCOPED_TRACE(testing::Message() << s.src_wid << " x " << s.src_hgt << " to " << s.dst_wid
                                      << " x " << s.dst_hgt << (vectors ? "" : ", plain"));
      std::vector<uint8_t> dst(size_t(DstStride(s.dst_wid)) * s.dst_hgt, kUntouched);
      ScalePlan plan = MakeScalePlan(s.src_wid, s.src_hgt, s.dst_wid, s.dst_hgt);
      plan.use_vectors = plan.use_vectors && vectors;
      ScalePicture(plan, p.bytes.data(), p.stride, nullptr, dst.data(), DstStride(s.dst_wid));
      ExpectRows(dst, want, s.dst_wid, s.dst_hgt, std::vector<bool>(s.dst_hgt, true));
    }
  }
}

// Independent of the integer rules: each byte is the filter evaluated in
// floating point, rounded, give or take the steps of the coarse weights: in
// each such axis up to half a level for each boundary between source pixels
// inside a destination pixel (two when shrinking up to 2:1, one enlarging).
TEST(Resample, CloseToTheFilterInRealNumbers) {
  const SizePair sizes[] = {{97, 61, 40, 25, 291}, {41, 23, 100, 57, 123}, {50, 40, 77, 13, 150},
                            {30, 20, 29, 90, 90},  {60, 50, 45, 30, 180}};
  for (const SizePair& s : sizes) {
    auto allowance = [](int32_t src, int32_t dst) {
      return FineWeights(src, dst) ? 0.0 : dst < src ? 1.0 : 0.5;
    };
    const double tolerance = 0.52 + allowance(s.src_wid, s.dst_wid) + allowance(s.src_hgt, s.dst_hgt);
    const Picture p = RandomPicture(s.src_wid, s.src_hgt, s.src_stride, 5);
    auto axis = [](int32_t src, int32_t dst, int32_t d, int32_t i) {
      if (dst <= src) {  // the overlap of [i, i + 1) with d's span, as a share of it
        const double lo = double(d) * src / dst, hi = double(d + 1) * src / dst;
        return std::max(0.0, std::min<double>(hi, i + 1) - std::max<double>(lo, i)) / (hi - lo);
      }
      const double x = std::clamp((d + 0.5) * src / dst - 0.5, 0.0, src - 1.0);
      return std::max(0.0, 1 - std::fabs(x - i));
    };
    std::vector<uint8_t> dst(size_t(DstStride(s.dst_wid)) * s.dst_hgt);
    ScalePlan plan = MakeScalePlan(s.src_wid, s.src_hgt, s.dst_wid, s.dst_hgt);
    ScalePicture(plan, p.bytes.data(), p.stride, nullptr, dst.data(), DstStride(s.dst_wid));
    for (int32_t y = 0; y < s.dst_hgt; ++y) {
      for (int32_t x = 0; x < s.dst_wid; ++x) {
        for (int32_t c = 0; c < 3; ++c) {
          double want = 0;
          for (int32_t sy = 0; sy < s.src_hgt; ++sy) {
            for (int32_t sx = 0; sx < s.src_wid; ++sx) {
              want += axis(s.src_wid, s.dst_wid, x, sx) * axis(s.src_hgt, s.dst_hgt, y, sy) *
                      p.bytes[size_t(sy) * p.stride + sx * 3 + c];
            }
          }
          ASSERT_NEAR(dst[size_t(y) * DstStride(s.dst_wid) + x * 4 + c], want, tolerance)
              << s.src_wid << " to " << s.dst_wid << ", pixel " << x << ", " << y;
        }
      }
    }
  }
}

TEST(Resample, SameSizeIsAPlainWidening) {
  const Picture p = RandomPicture(994, 722, 9000, 9);
  std::vector<uint8_t> scaled(size_t(994) * 4 * 722), copied(scaled.size());
  ScalePlan plan = MakeScalePlan(994, 722, 994, 722);
  ScalePicture(plan, p.bytes.data(), 9000, nullptr, scaled.data(), 994 * 4);
  ExpandRows24To32(p.bytes.data(), 9000, copied.data(), 994 * 4, 994, 722);
  EXPECT_EQ(scaled, copied);
}

// After a change of some source rows, a call with their flags leaves every row
// as a full scale of the new picture would, writes only the rows whose
// footprint holds a changed row, and leaves the row cache right for the next
// change.
TEST(Resample, OnlyRowsOverChangedRowsAreWritten) {
  struct Change {
    const char* what;
    std::vector<int32_t> rows;
  };
  std::vector<int32_t> band, every_twentieth;
  for (int32_t y = 300; y < 340; ++y) band.push_back(y);
  for (int32_t y = 7; y < 722; y += 20) every_twentieth.push_back(y);
  const Change changes[] = {{"none", {}},           {"top row", {0}},
                            {"bottom row", {721}},  {"a band", band},
                            {"5 %", every_twentieth}};
  const SizePair sizes[] = {{994, 722, 772, 560, 9000}, {994, 722, 1486, 1080, 2982},
                            {994, 722, 1500, 400, 2982}, {994, 722, 3, 2, 2982}};
  for (const SizePair& s : sizes) {
    const Weights down = ReferenceWeights(s.src_hgt, s.dst_hgt);
    const int32_t stride = DstStride(s.dst_wid);
    Picture p = RandomPicture(s.src_wid, s.src_hgt, s.src_stride, 1);
    ScalePlan plan = MakeScalePlan(s.src_wid, s.src_hgt, s.dst_wid, s.dst_hgt);
    std::vector<uint8_t> dst(size_t(stride) * s.dst_hgt);
    ScalePicture(plan, p.bytes.data(), p.stride, nullptr, dst.data(), stride);
    uint32_t seed = 2;
    for (const Change& change : changes) {
      SCOPED_TRACE(testing::Message() << s.dst_wid << " x " << s.dst_hgt << ", " << change.what);
      std::vector<uint8_t> flags(s.src_hgt, 0);
      const Picture fresh = RandomPicture(s.src_wid, s.src_hgt, s.src_stride, seed++);
      for (int32_t y : change.rows) {
        flags[y] = 1;
        std::copy_n(&fresh.bytes[size_t(y) * p.stride], p.wid * 3, &p.bytes[size_t(y) * p.stride]);
      }
      std::vector<bool> written(s.dst_hgt, false);
      for (int32_t y = 0; y < s.dst_hgt; ++y) {
        for (auto [row, w] : down[y]) written[y] = written[y] || flags[row];
        if (!written[y]) std::fill_n(&dst[size_t(y) * stride], stride, kUntouched);
      }
      ScalePicture(plan, p.bytes.data(), p.stride, flags.data(), dst.data(), stride);
      const std::vector<uint8_t> want = ReferenceScale(p, s.dst_wid, s.dst_hgt);
      ExpectRows(dst, want, s.dst_wid, s.dst_hgt, written);
      // Put the untouched rows back for the next change.
      for (int32_t y = 0; y < s.dst_hgt; ++y) {
        std::copy_n(&want[size_t(y) * s.dst_wid * 4], s.dst_wid * 4, &dst[size_t(y) * stride]);
      }
    }
  }
}

// A plan's first call with flags scales only the source rows it needs, and a
// later call that needs others scales them then.
TEST(Resample, FirstCallWithFlagsScalesTheRowsItNeeds) {
  const Picture p = RandomPicture(200, 100, 600, 4);
  const std::vector<uint8_t> want = ReferenceScale(p, 150, 130);
  ScalePlan plan = MakeScalePlan(200, 100, 150, 130);
  std::vector<uint8_t> dst(size_t(DstStride(150)) * 130, kUntouched);
  std::vector<uint8_t> flags(100, 0);
  flags[10] = 1;
  ScalePicture(plan, p.bytes.data(), p.stride, flags.data(), dst.data(), DstStride(150));
  std::vector<bool> written(130, false);
  const Weights down = ReferenceWeights(100, 130);
  for (int32_t y = 0; y < 130; ++y) {
    for (auto [row, w] : down[y]) written[y] = written[y] || row == 10;
  }
  ExpectRows(dst, want, 150, 130, written);
  std::fill(flags.begin(), flags.end(), 1);
  ScalePicture(plan, p.bytes.data(), p.stride, flags.data(), dst.data(), DstStride(150));
  ExpectRows(dst, want, 150, 130, std::vector<bool>(130, true));
}

TEST(Resample, ZeroOrNegativeSizesDoNothing) {
  const Picture p = RandomPicture(4, 4, 12, 3);
  std::vector<uint8_t> dst(64, kUntouched);
  const SizePair sizes[] = {{0, 4, 4, 4, 12}, {4, 0, 4, 4, 12}, {4, 4, 0, 4, 12}, {4, 4, 4, -1, 12}};
  for (const SizePair& s : sizes) {
    ScalePlan plan = MakeScalePlan(s.src_wid, s.src_hgt, s.dst_wid, s.dst_hgt);
    ScalePicture(plan, p.bytes.data(), p.stride, nullptr, dst.data(), 16);
  }
  EXPECT_EQ(std::count(dst.begin(), dst.end(), kUntouched), 64);
}

}  // namespace
