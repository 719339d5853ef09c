// The picture scaler against the filter written out pixel by pixel: the same
// bytes for every size pair, nothing touched outside the rows it may write,
// and, after a change of some source rows, exactly the rows that change.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "platform/pixel_rows.h"
#include "player/resample.h"

namespace {

constexpr uint8_t kUntouched = 0xEE;

struct SizePair {
  int32_t src_wid, src_hgt, dst_wid, dst_hgt, src_stride;
};

void FillRandom(uint8_t* bytes, size_t size, std::mt19937* rng) {
  for (size_t i = 0; i < size; i += 4) {
    const uint32_t four = (*rng)();
    std::memcpy(bytes + i, &four, std::min<size_t>(4, size - i));
  }
}

// Exactly as long as the last row needs, so a read past it is caught.
std::vector<uint8_t> RandomPicture(const SizePair& s, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> p(size_t(s.src_hgt - 1) * s.src_stride + s.src_wid * 3);
  for (int32_t y = 0; y < s.src_hgt; ++y) FillRandom(&p[size_t(y) * s.src_stride], s.src_wid * 3, &rng);
  return p;
}

// Per destination index, (source index, weight) from the definition:
// shrinking takes the exact share of the destination pixel's span that each
// source pixel covers (shares rounded as running totals, so they sum to one);
// enlarging reads the two source pixels around src_x = (d + 0.5) * src / dst
// - 0.5, held to the outer pixel centres.
using Weights = std::vector<std::vector<std::pair<int32_t, int64_t>>>;
Weights ReferenceWeights(int64_t src, int64_t dst) {
  const int64_t one = 256;
  auto rounded = [](int64_t num, int64_t den) { return (num + den / 2) / den; };
  Weights all(dst);
  for (int64_t d = 0; d < dst; ++d) {
    auto add = [&](int64_t s, int64_t w) {
      if (w) all[d].push_back({int32_t(s), w});
    };
    if (dst <= src) {
      for (int64_t s = d * src / dst; s * dst < (d + 1) * src; ++s) {
        const int64_t from = std::max(s * dst - d * src, int64_t(0));
        const int64_t to = std::min((s + 1) * dst - d * src, src);
        add(s, rounded(to * one, src) - rounded(from * one, src));
      }
    } else {
      const int64_t pos = std::clamp((2 * d + 1) * src - dst, int64_t(0), (src - 1) * 2 * dst);
      const int64_t right = rounded(pos % (2 * dst) * one, 2 * dst);
      add(pos / (2 * dst), one - right);
      add(pos / (2 * dst) + 1, right);
    }
  }
  return all;
}

// Each row is scaled across to 1/256 of a level, then down: each row's part
// cut to 1/256 of a level and the sum rounded. Rows of dst_wid * 4.
std::vector<uint8_t> ReferenceScale(const SizePair& s, const std::vector<uint8_t>& picture) {
  const Weights across = ReferenceWeights(s.src_wid, s.dst_wid), down = ReferenceWeights(s.src_hgt, s.dst_hgt);
  const size_t row_len = size_t(s.dst_wid) * 4;
  std::vector<int64_t> scaled(s.src_hgt * row_len, 0);
  std::vector<uint8_t> out(s.dst_hgt * row_len);
  // Plain pointers: this runs unoptimised in the sanitizer builds.
  const uint8_t* p = picture.data();
  int64_t* rows = scaled.data();
  for (int32_t y = 0; y < s.src_hgt; ++y) {
    for (int32_t x = 0; x < s.dst_wid; ++x) {
      const std::pair<int32_t, int64_t>* w = across[x].data();
      const size_t taps = across[x].size();
      for (int32_t c = 0; c < 3; ++c) {
        int64_t sum = 0;
        for (size_t k = 0; k < taps; ++k) sum += w[k].second * p[size_t(y) * s.src_stride + w[k].first * 3 + c];
        rows[y * row_len + x * 4 + c] = sum;
      }
    }
  }
  for (int32_t y = 0; y < s.dst_hgt; ++y) {
    const std::pair<int32_t, int64_t>* w = down[y].data();
    const size_t taps = down[y].size();
    for (size_t i = 0; i < row_len; ++i) {
      int64_t sum = 0;
      for (size_t k = 0; k < taps; ++k) {
        const int64_t h = rows[w[k].first * row_len + i];
        sum += (w[k].second * h) >> 8;
      }
      out[y * row_len + i] = uint8_t((sum + 128) >> 8);
    }
  }
  return out;
}

// dst rows are dst_wid * 4 bytes and 4 more that must stay as they were.
int32_t DstStride(int32_t dst_wid) { return dst_wid * 4 + 4; }

// Rows marked written hold want's rows; the others, and the gap after each
// row, are untouched.
void ExpectRows(const std::vector<uint8_t>& dst, const std::vector<uint8_t>& want, int32_t dst_wid,
                const std::vector<bool>& written) {
  const int32_t stride = DstStride(dst_wid), row_bytes = dst_wid * 4;
  for (size_t y = 0; y < written.size(); ++y) {
    const uint8_t* got = &dst[y * stride];
    if (written[y]) {
      ASSERT_TRUE(std::equal(got, got + row_bytes, &want[y * row_bytes])) << "row " << y;
    } else {
      ASSERT_EQ(std::count(got, got + row_bytes, kUntouched), row_bytes) << "row " << y << " was written";
    }
    ASSERT_EQ(std::count(got + row_bytes, got + stride, kUntouched), 4) << "past row " << y;
  }
}

// 994 x 722 at Scale 1 (nothing at all), 333, 775, 999, 1000, 1001 and 1495
// thousandths, and a smaller picture at 3000; single pixels both ways; each
// axis shrinking while the other enlarges; odd sizes small enough that every
// window reaches an edge; the widest canvas at Scale 1 and 3000; the tallest
// at 1; a shrink of just 2:1 and just over.
const SizePair kSizes[] = {
    {994, 722, 0, 0, 9000},      {994, 722, 331, 240, 9000},  {994, 722, 770, 559, 9000},
    {994, 722, 993, 721, 2982},  {994, 722, 994, 722, 9000},  {994, 722, 995, 722, 2982},
    {994, 722, 1486, 1079, 9000}, {331, 241, 993, 723, 993},  {1, 1, 1, 1, 3},
    {1, 1, 7, 5, 3},             {5, 3, 1, 1, 16},            {3000, 40, 3, 1, 9000},
    {3000, 8, 9000, 24, 9000},   {40, 2400, 1, 2, 120},       {994, 722, 1400, 300, 2982},
    {301, 997, 150, 1500, 903},  {7, 5, 3, 11, 21},           {13, 1, 5, 4, 39},
    {2, 2, 3, 3, 6},             {3, 3, 2, 2, 9},             {4, 1, 9, 1, 12},
    {17, 9, 16, 10, 60},         {994, 722, 497, 361, 2982},  {995, 723, 497, 361, 2985},
};

// The vector passes (where the processor has them), and the plain ones on
// the pairs up to 994 x 361, which meet every edge case; the larger pairs
// would only slow the sanitizer builds.
TEST(Resample, EverySizePairGivesTheReferenceBytes) {
  for (const SizePair& s : kSizes) {
    const std::vector<uint8_t> p = RandomPicture(s, s.src_wid * 31 + s.dst_wid);
    const std::vector<uint8_t> want = ReferenceScale(s, p);
    for (bool vectors : {true, false}) {
      if (!vectors && int64_t(s.dst_wid) * s.dst_hgt > 994 * 361) continue;
      SCOPED_TRACE(testing::Message() << s.src_wid << " x " << s.src_hgt << " to " << s.dst_wid
                                      << " x " << s.dst_hgt << (vectors ? "" : ", plain"));
      std::vector<uint8_t> dst(size_t(DstStride(s.dst_wid)) * s.dst_hgt, kUntouched);
      Scaler scaler(s.src_wid, s.src_hgt, s.dst_wid, s.dst_hgt);
      if (!vectors) scaler.UsePlainPasses();
      scaler.Scale(p.data(), s.src_stride, nullptr, dst.data(), DstStride(s.dst_wid));
      ExpectRows(dst, want, s.dst_wid, std::vector<bool>(s.dst_hgt, true));
    }
  }
}

// Independent of the integer rules: each byte is the filter evaluated in
// floating point, rounded, give or take the steps of the weights: in each
// axis up to half a level for each boundary between source pixels inside a
// destination pixel (two when shrinking up to 2:1, one enlarging).
TEST(Resample, CloseToTheFilterInRealNumbers) {
  auto weight = [](int32_t src, int32_t dst, int32_t d, int32_t i) {
    if (dst <= src) {  // the overlap of [i, i + 1) with d's span, as a share of it
      const double lo = double(d) * src / dst, hi = double(d + 1) * src / dst;
      return std::max(0.0, std::min<double>(hi, i + 1) - std::max<double>(lo, i)) / (hi - lo);
    }
    return std::max(0.0, 1 - std::fabs(std::clamp((d + 0.5) * src / dst - 0.5, 0.0, src - 1.0) - i));
  };
  auto allowance = [](int32_t src, int32_t dst) { return dst < src ? 0.5 * ((src + dst - 1) / dst) : 0.5; };
  for (const SizePair& s : {SizePair{97, 61, 40, 25, 291}, {41, 23, 100, 57, 123}, {50, 40, 77, 13, 150},
                            {30, 20, 29, 90, 90}, {60, 50, 45, 30, 180}}) {
    const std::vector<uint8_t> p = RandomPicture(s, 5);
    std::vector<uint8_t> dst(size_t(s.dst_wid) * 4 * s.dst_hgt);
    Scaler(s.src_wid, s.src_hgt, s.dst_wid, s.dst_hgt).Scale(p.data(), s.src_stride, nullptr, dst.data(),
                                                             s.dst_wid * 4);
    const double tolerance = 0.52 + allowance(s.src_wid, s.dst_wid) + allowance(s.src_hgt, s.dst_hgt);
    std::vector<double> across(size_t(s.src_hgt) * s.dst_wid * 3, 0.0);
    for (size_t i = 0; i < across.size(); ++i) {
      const int32_t y = int32_t(i / 3 / s.dst_wid), x = int32_t(i / 3 % s.dst_wid), c = int32_t(i % 3);
      for (int32_t sx = 0; sx < s.src_wid; ++sx) {
        across[i] += weight(s.src_wid, s.dst_wid, x, sx) * p[size_t(y) * s.src_stride + sx * 3 + c];
      }
    }
    for (size_t i = 0; i < dst.size(); ++i) {
      const int32_t y = int32_t(i / 4 / s.dst_wid), x = int32_t(i / 4 % s.dst_wid), c = int32_t(i % 4);
      double want = 0;
      for (int32_t sy = 0; c < 3 && sy < s.src_hgt; ++sy) {
        want += weight(s.src_hgt, s.dst_hgt, y, sy) * across[(size_t(sy) * s.dst_wid + x) * 3 + c];
      }
      ASSERT_NEAR(dst[i], want, tolerance) << s.src_wid << " x " << s.src_hgt << " to " << s.dst_wid
                                           << " x " << s.dst_hgt << ", pixel " << x << ", " << y;
    }
  }
}

TEST(Resample, SameSizeIsAPlainWidening) {
  const std::vector<uint8_t> p = RandomPicture({994, 722, 994, 722, 9000}, 9);
  std::vector<uint8_t> scaled(size_t(994) * 4 * 722), copied(scaled.size());
  Scaler(994, 722, 994, 722).Scale(p.data(), 9000, nullptr, scaled.data(), 994 * 4);
  ExpandRows24To32(p.data(), 9000, copied.data(), 994 * 4, 994, 722);
  EXPECT_EQ(scaled, copied);
}

// After a change of some source rows, a call with their flags writes only the
// rows whose footprint holds a changed row, as a full scale of the new picture
// (with a plan of its own) would, and leaves the row cache right for the next
// change. The first call on a plan already has flags: it scales only the
// source rows it needs, and a later call needing others scales them then.
TEST(Resample, OnlyRowsOverChangedRowsAreWritten) {
  // The rule is the vertical one; narrow pictures keep the test quick.
  std::vector<int32_t> band, every_twentieth, every_row;
  for (int32_t y = 0; y < 722; ++y) {
    if (y >= 300 && y < 340) band.push_back(y);
    if (y % 20 == 7) every_twentieth.push_back(y);
    every_row.push_back(y);
  }
  const std::pair<const char*, std::vector<int32_t>> changes[] = {
      {"a band", band}, {"none", {}}, {"top row", {0}}, {"bottom row", {721}},
      {"5 %", every_twentieth}, {"every row", every_row}};
  for (const SizePair& s : {SizePair{61, 722, 47, 560, 9000}, {61, 722, 91, 1080, 183},
                            {61, 722, 92, 400, 183}, {61, 722, 3, 2, 183}}) {
    const Weights down = ReferenceWeights(s.src_hgt, s.dst_hgt);
    const int32_t stride = DstStride(s.dst_wid);
    std::vector<uint8_t> p = RandomPicture(s, 1), dst(size_t(stride) * s.dst_hgt, kUntouched);
    std::vector<uint8_t> want(size_t(s.dst_wid) * 4 * s.dst_hgt);
    Scaler scaler(s.src_wid, s.src_hgt, s.dst_wid, s.dst_hgt);
    std::mt19937 rng(2);
    for (const auto& [what, rows] : changes) {
      SCOPED_TRACE(testing::Message() << s.dst_wid << " x " << s.dst_hgt << ", " << what);
      std::vector<uint8_t> flags(s.src_hgt, 0);
      for (int32_t y : rows) {
        flags[y] = 1;
        FillRandom(&p[size_t(y) * s.src_stride], s.src_wid * 3, &rng);
      }
      std::vector<bool> written(s.dst_hgt, false);
      for (int32_t y = 0; y < s.dst_hgt; ++y) {
        for (auto [row, w] : down[y]) written[y] = written[y] || flags[row];
        if (!written[y]) std::fill_n(&dst[size_t(y) * stride], stride, kUntouched);
      }
      scaler.Scale(p.data(), s.src_stride, flags.data(), dst.data(), stride);
      Scaler(s.src_wid, s.src_hgt, s.dst_wid, s.dst_hgt).Scale(p.data(), s.src_stride, nullptr, want.data(),
                                                               s.dst_wid * 4);
      ExpectRows(dst, want, s.dst_wid, written);
      for (int32_t y = 0; y < s.dst_hgt; ++y) {  // the untouched rows as they should be, for the next change
        std::copy_n(&want[size_t(y) * s.dst_wid * 4], s.dst_wid * 4, &dst[size_t(y) * stride]);
      }
    }
  }
}

TEST(Resample, ZeroOrNegativeSizesDoNothing) {
  const std::vector<uint8_t> p = RandomPicture({4, 4, 4, 4, 12}, 3);
  std::vector<uint8_t> dst(64, kUntouched);
  for (const SizePair& s : {SizePair{0, 4, 4, 4, 12}, {4, 0, 4, 4, 12}, {4, 4, 0, 4, 12}, {4, 4, 4, -1, 12}}) {
    Scaler(s.src_wid, s.src_hgt, s.dst_wid, s.dst_hgt).Scale(p.data(), s.src_stride, nullptr, dst.data(), 16);
  }
  EXPECT_EQ(std::count(dst.begin(), dst.end(), kUntouched), 64);
}

}  // namespace
