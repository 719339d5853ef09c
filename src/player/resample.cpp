// The picture scaler: weights made once per pair of sizes, then a horizontal
// pass into the plan's row cache and a vertical pass into the screen rows.
// Each pass has a plain form and a vector form; both compute the same integer
// formulas (sums of products that cannot overflow, added in any order), so
// they give the same bytes.
//
//   across, coarse weights (1/256):    h = sum of w * p
//   across, fine weights (1/16384):    h = (sum of w * p + 32) >> 6
//   down, coarse weights:              out = (sum of ((w * h) >> 8) + 128) >> 8
//   down, fine weights:                out = (sum of w * h + 2^21) >> 22
#include "player/resample.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// The vector passes use SSE2. A build that assumes it compiles them as they
// are. The player's 32-bit build does not, so there they alone are compiled
// for SSE2 and are taken when the processor reports it; their entry points
// realign the stack, which 32-bit Windows keeps to only 4 bytes.
#if defined(__SSE2__)
#define QV_SCALE_VECTORS 1
#define QV_VECTOR_ENTRY
#elif defined(__i386__) && defined(__GNUC__) && !defined(__clang__)
#define QV_SCALE_VECTORS 1
#define QV_SCALE_VECTORS_CHOSEN_AT_RUN_TIME 1
#define QV_VECTOR_ENTRY __attribute__((force_align_arg_pointer))
#pragma GCC push_options
#pragma GCC target("sse2")
#endif
#if defined(QV_SCALE_VECTORS)
#include <emmintrin.h>
#endif

namespace {

constexpr int32_t kFineRowShift = kScaleFineWeightBits - kScaleRowFractionBits;
constexpr int32_t kFineRowRounding = 1 << (kFineRowShift - 1);
constexpr int32_t kFinePixelShift = kScaleFineWeightBits + kScaleRowFractionBits;
constexpr int32_t kFinePixelRounding = 1 << (kFinePixelShift - 1);
constexpr int32_t kCoarsePixelRounding = 1 << (kScaleRowFractionBits - 1);
constexpr uint16_t kTopBit = 0x8000;
// The vertical pass works on blocks of four pixels; cached rows are padded to
// whole blocks so a block never reads past its row.
constexpr int32_t kValuesPerBlock = 16;

// The vector weights are read in 16-byte lines: their table holds 8 int16 of
// slack so the lines can start on a 16-byte boundary.
template <typename Int16>
Int16* LineStart(Int16* table) {
  return reinterpret_cast<Int16*>((uintptr_t(table) + 15) & ~uintptr_t(15));
}

// The share of [0, part) in a span of `whole`, in 1/one, rounded. Weights
// taken as differences of these shares sum to exactly one.
int32_t Share(int64_t part, int64_t whole, int32_t one) {
  return int32_t((part * one + whole / 2) / whole);
}

// Shrinking (or keeping the size): destination pixel d covers source
// [d * src / dst, (d + 1) * src / dst). Counted in 1/dst of a source pixel the
// bounds are integers: source pixel s spans [s * dst, (s + 1) * dst) and d
// spans [d * src, (d + 1) * src), so every partial coverage is exact.
void AreaWeights(int32_t src, int32_t dst, int32_t d, int32_t one, int32_t* first,
                 std::vector<int32_t>* w) {
  const int64_t start = int64_t(d) * src, end = start + src;
  const int32_t s_first = int32_t(start / dst), s_last = int32_t((end - 1) / dst);
  *first = s_first;
  w->clear();
  for (int32_t s = s_first; s <= s_last; ++s) {
    const int64_t from = std::max<int64_t>(int64_t(s) * dst, start) - start;
    const int64_t to = std::min<int64_t>(int64_t(s + 1) * dst, end) - start;
    w->push_back(Share(to, src, one) - Share(from, src, one));
  }
}

// Enlarging: pixel centres aligned, src_x = (d + 0.5) * src / dst - 0.5, which
// is (2d + 1) * src - dst in units of 1 / (2 dst); beyond the outer centres
// the edge pixel is repeated.
void LinearWeights(int32_t src, int32_t dst, int32_t d, int32_t one, int32_t* first,
                   std::vector<int32_t>* w) {
  const int64_t unit = 2 * int64_t(dst);
  const int64_t pos = (2 * int64_t(d) + 1) * src - dst;
  const int32_t left = int32_t(std::max<int64_t>(pos, 0) / unit);
  w->clear();
  if (pos <= 0 || left >= src - 1) {
    *first = pos <= 0 ? 0 : src - 1;
    w->push_back(one);
    return;
  }
  const int32_t right_weight = Share(pos % unit, unit, one);
  *first = left;
  w->push_back(one - right_weight);
  w->push_back(right_weight);
}

ScaleAxis MakeAxis(int32_t src, int32_t dst) {
  ScaleAxis a;
  a.src_size = src;
  a.dst_size = dst;
  a.area = dst <= src;
  a.weight_bits = src > 2 * int64_t(dst) ? kScaleFineWeightBits : kScaleCoarseWeightBits;
  a.first.resize(dst);
  a.count.resize(dst);
  std::vector<std::vector<int32_t>> runs(dst);
  for (int32_t d = 0; d < dst; ++d) {
    int32_t first;
    std::vector<int32_t>& w = runs[d];
    if (a.area) {
      AreaWeights(src, dst, d, 1 << a.weight_bits, &first, &w);
    } else {
      LinearWeights(src, dst, d, 1 << a.weight_bits, &first, &w);
    }
    // A sliver whose share rounds to nothing is no part of the footprint.
    size_t lead = 0;
    while (w[lead] == 0) ++lead;
    size_t used = w.size();
    while (w[used - 1] == 0) --used;
    w.assign(w.begin() + lead, w.begin() + used);
    a.first[d] = first + int32_t(lead);
    a.count[d] = int32_t(w.size());
    a.taps = std::max(a.taps, a.count[d]);
  }
  // Every window holds `taps` pixels, so the inner loops have one length; at
  // the far edge a window starts early rather than pass the last pixel.
  a.window_first.resize(dst);
  a.weights.assign(size_t(dst) * a.taps, 0);
  for (int32_t d = 0; d < dst; ++d) {
    a.window_first[d] = std::min(a.first[d], src - a.taps);
    int16_t* w = &a.weights[size_t(d) * a.taps + (a.first[d] - a.window_first[d])];
    for (int32_t k = 0; k < a.count[d]; ++k) w[k] = int16_t(runs[d][k]);
  }
  return a;
}

const int16_t* FootprintWeights(const ScaleAxis& a, int32_t d) {
  return &a.weights[size_t(d) * a.taps + (a.first[d] - a.window_first[d])];
}

// The plain horizontal pass over destination columns [from, to).
void ScaleRowPlain(const ScalePlan& plan, const uint8_t* src, int16_t* out, int32_t from, int32_t to) {
  const ScaleAxis& a = plan.across;
  const bool fine = a.weight_bits == kScaleFineWeightBits;
  const int32_t shift = fine ? kFineRowShift : 0, rounding = fine ? kFineRowRounding : 0;
  auto sample = [&](int32_t sum) { return int16_t(uint16_t((sum + rounding) >> shift) ^ plan.cache_flip); };
  for (int32_t d = from; d < to; ++d) {
    const uint8_t* px = src + 3 * int64_t(a.first[d]);
    const int16_t* w = FootprintWeights(a, d);
    int32_t blue = 0, green = 0, red = 0;
    for (int32_t k = 0; k < a.count[d]; ++k, px += 3) {
      blue += w[k] * px[0];
      green += w[k] * px[1];
      red += w[k] * px[2];
    }
    int16_t* o = out + 4 * int64_t(d);
    o[0] = sample(blue);
    o[1] = sample(green);
    o[2] = sample(red);
    o[3] = sample(0);
  }
}

// The plain vertical pass: `values` samples of `count` cached rows, `row_len`
// apart, weighted into bytes.
void BlendRowsPlain(const ScalePlan& plan, const int16_t* rows, const int16_t* w, int32_t count,
                    int32_t values, uint8_t* out) {
  const int32_t row_len = plan.cache_row_len;
  auto h = [&](int32_t k, int32_t i) { return int32_t(uint16_t(rows[int64_t(k) * row_len + i]) ^ plan.cache_flip); };
  for (int32_t i = 0; i < values; ++i) {
    int32_t sum = 0;
    if (plan.down.weight_bits == kScaleFineWeightBits) {
      for (int32_t k = 0; k < count; ++k) sum += w[k] * h(k, i);
      out[i] = uint8_t((sum + kFinePixelRounding) >> kFinePixelShift);
    } else {
      for (int32_t k = 0; k < count; ++k) sum += (w[k] * h(k, i)) >> kScaleCoarseWeightBits;
      out[i] = uint8_t((sum + kCoarsePixelRounding) >> kScaleRowFractionBits);
    }
  }
}

#if defined(QV_SCALE_VECTORS)

inline __m128i LoadLine(const int16_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i Load(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i Load4(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}

// --- across, fine weights: sums in 32 bits ---
// Two source pixels a step: the eight bytes b0 g0 r0 b1 g1 r1 .. are widened
// and interleaved with themselves three samples on into b0 b1 g0 g1 r0 r1 ..,
// and one multiply-add with the step's weights (w0 w1 w0 w1 w0 w1 0 0) gives
// blue, green, red and 0.
inline __m128i PairSum(const uint8_t* px, const int16_t* weights) {
  const __m128i two = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(px)),
                                        _mm_setzero_si128());
  const __m128i pair = _mm_unpacklo_epi16(two, _mm_srli_si128(two, 6));
  return _mm_madd_epi16(pair, LoadLine(weights));
}

// One destination pixel, as h - 32768 so that packing to signed 16 bits keeps
// every h up to 255 * 256: (sum + 32 - 32768 * 64) >> 6 is (sum + 32) >> 6,
// less 32768, exactly.
template <int kSteps>
inline __m128i WindowSum(const uint8_t* px, const int16_t* weights, int32_t steps) {
  __m128i sum = PairSum(px, weights);
  if (kSteps == 2) sum = _mm_add_epi32(sum, PairSum(px + 6, weights + 8));
  for (int32_t k = 1; kSteps == 0 && k < steps; ++k) {
    sum = _mm_add_epi32(sum, PairSum(px + 6 * k, weights + 8 * k));
  }
  const __m128i bias = _mm_set1_epi32(kFineRowRounding - (int32_t(kTopBit) << kFineRowShift));
  return _mm_srai_epi32(_mm_add_epi32(sum, bias), kFineRowShift);
}

// kSteps is the number of steps a window takes, or 0 for any number.
template <int kSteps>
void ScaleRowIn32Bits(const ScalePlan& plan, const uint8_t* src, int16_t* out) {
  const uint32_t* offset = plan.wide_read_offset.data();
  const int32_t cols = plan.wide_read_cols, steps = (plan.across.taps + 1) / 2;
  const int16_t* weights = LineStart(plan.wide_weights.data());
  const size_t column_weights = size_t(8) * steps;
  const __m128i flip = _mm_set1_epi16(int16_t(plan.cache_flip ^ kTopBit));
  int32_t d = 0;
  for (; d + 2 <= cols; d += 2, weights += 2 * column_weights) {
    const __m128i left = WindowSum<kSteps>(src + offset[d], weights, steps);
    const __m128i right = WindowSum<kSteps>(src + offset[d + 1], weights + column_weights, steps);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * d), _mm_xor_si128(_mm_packs_epi32(left, right), flip));
  }
  if (d < cols) {
    const __m128i left = WindowSum<kSteps>(src + offset[d], weights, steps);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * d), _mm_xor_si128(_mm_packs_epi32(left, left), flip));
  }
}

// --- across, coarse weights: sums in 16 bits ---
// Two destination pixels a store: each tap's source pixels for both (four
// bytes each, the fourth weighted 0) are widened side by side and multiplied
// by the tap's weights (w w w 0 w w w 0); 255 * 256 fits, and so does the sum,
// as the weights sum to 256. kTaps is the window's length, or 0 for any.
template <int kTaps>
void ScaleRowIn16Bits(const ScalePlan& plan, const uint8_t* src, int16_t* out) {
  const uint32_t* offset = plan.wide_read_offset.data();
  const int32_t cols = plan.wide_read_cols, taps = kTaps ? kTaps : plan.across.taps;
  const int16_t* weights = LineStart(plan.wide_weights.data());
  const __m128i zero = _mm_setzero_si128(), flip = _mm_set1_epi16(int16_t(plan.cache_flip));
  auto two_pixels = [&](const uint8_t* left, const uint8_t* right, const int16_t* w) {
    auto tap = [&](int32_t k) {
      const __m128i px = _mm_unpacklo_epi32(Load4(left + 3 * k), Load4(right + 3 * k));
      return _mm_mullo_epi16(_mm_unpacklo_epi8(px, zero), LoadLine(w + 8 * k));
    };
    __m128i sum = tap(0);
    if (kTaps >= 2) sum = _mm_add_epi16(sum, tap(1));
    if (kTaps >= 3) sum = _mm_add_epi16(sum, tap(2));
    for (int32_t k = 1; kTaps == 0 && k < taps; ++k) sum = _mm_add_epi16(sum, tap(k));
    return _mm_xor_si128(sum, flip);
  };
  int32_t d = 0;
  for (; d + 4 <= cols; d += 4, weights += 16 * taps) {
    const __m128i h0 = two_pixels(src + offset[d], src + offset[d + 1], weights);
    const __m128i h1 = two_pixels(src + offset[d + 2], src + offset[d + 3], weights + 8 * taps);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * d), h0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * d + 8), h1);
  }
  for (; d + 2 <= cols; d += 2, weights += 8 * taps) {
    const __m128i h = two_pixels(src + offset[d], src + offset[d + 1], weights);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * d), h);
  }
  if (d < cols) {
    const uint8_t* px = src + offset[d];
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * d), two_pixels(px, px, weights));
  }
}

// --- down ---
inline void StoreBlock(__m128i bytes, int32_t i, int32_t values, uint8_t* out) {
  if (i + kValuesPerBlock <= values) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
  } else {
    alignas(16) uint8_t block[kValuesPerBlock];
    _mm_store_si128(reinterpret_cast<__m128i*>(block), bytes);
    std::memcpy(out + i, block, size_t(values - i));
  }
}

// Two weights side by side in each 32-bit lane, as the multiply-add pairs them.
__m128i WeightPair(int16_t first_weight, int16_t second_weight) {
  return _mm_set1_epi32(int32_t(uint16_t(first_weight)) | (int32_t(uint16_t(second_weight)) << 16));
}

// Adds two cached rows' weighted block of eight samples to lo and hi.
inline void AddRows(const int16_t* upper, const int16_t* lower, __m128i weights, __m128i* lo,
                    __m128i* hi) {
  const __m128i a = Load(upper), b = Load(lower);
  *lo = _mm_add_epi32(*lo, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), weights));
  *hi = _mm_add_epi32(*hi, _mm_madd_epi16(_mm_unpackhi_epi16(a, b), weights));
}

// The samples are h - 32768 and the weights sum to 16384, so the sums are
// 32768 * 16384 short of the sums of w * h.
inline __m128i FineBytes(__m128i lo0, __m128i hi0, __m128i lo1, __m128i hi1) {
  const __m128i bias = _mm_set1_epi32((int32_t(kTopBit) << kScaleFineWeightBits) + kFinePixelRounding);
  auto shift = [&](__m128i v) { return _mm_srai_epi32(_mm_add_epi32(v, bias), kFinePixelShift); };
  return _mm_packus_epi16(_mm_packs_epi32(shift(lo0), shift(hi0)),
                          _mm_packs_epi32(shift(lo1), shift(hi1)));
}

// Fine weights, four pixels (sixteen samples) a block, two cached rows a
// step; a lone last row steps with itself at weight 0. The last block is
// computed whole from the padded cache and stored only as far as the row
// goes. kSteps is the number of steps, or 0 for any number.
template <int kSteps>
void BlendRowsIn32Bits(const int16_t* rows, int32_t row_len, const int16_t* w, int32_t count,
                       int32_t values, uint8_t* out) {
  const int32_t steps = kSteps ? kSteps : (count + 1) / 2;
  auto step_rows = [&](int32_t k, const int16_t** upper, const int16_t** lower, __m128i* weights) {
    const bool pair = 2 * k + 1 < count;
    *upper = rows + int64_t(2 * k) * row_len;
    *lower = pair ? *upper + row_len : *upper;
    *weights = WeightPair(w[2 * k], pair ? w[2 * k + 1] : 0);
  };
  if (kSteps == 1 || kSteps == 2) {
    const int16_t *upper0, *lower0, *upper1 = nullptr, *lower1 = nullptr;
    __m128i weights0, weights1 = _mm_setzero_si128();
    step_rows(0, &upper0, &lower0, &weights0);
    if (kSteps == 2) step_rows(1, &upper1, &lower1, &weights1);
    for (int32_t i = 0; i < values; i += kValuesPerBlock) {
      __m128i lo0 = _mm_setzero_si128(), hi0 = lo0, lo1 = lo0, hi1 = lo0;
      AddRows(upper0 + i, lower0 + i, weights0, &lo0, &hi0);
      AddRows(upper0 + i + 8, lower0 + i + 8, weights0, &lo1, &hi1);
      if (kSteps == 2) {
        AddRows(upper1 + i, lower1 + i, weights1, &lo0, &hi0);
        AddRows(upper1 + i + 8, lower1 + i + 8, weights1, &lo1, &hi1);
      }
      StoreBlock(FineBytes(lo0, hi0, lo1, hi1), i, values, out);
    }
    return;
  }
  for (int32_t i = 0; i < values; i += kValuesPerBlock) {
    __m128i lo0 = _mm_setzero_si128(), hi0 = lo0, lo1 = lo0, hi1 = lo0;
    for (int32_t k = 0; k < steps; ++k) {
      const int16_t *upper, *lower;
      __m128i weights;
      step_rows(k, &upper, &lower, &weights);
      AddRows(upper + i, lower + i, weights, &lo0, &hi0);
      AddRows(upper + i + 8, lower + i + 8, weights, &lo1, &hi1);
    }
    StoreBlock(FineBytes(lo0, hi0, lo1, hi1), i, values, out);
  }
}

// Coarse weights, in 16-bit lanes: (w * h) >> 8 is the high half of h times
// w * 256, and in a row of two or more cached rows every weight is below one.
// A row of weight one is its cached row rounded. kCount is the number of
// cached rows, or 0 for any number.
template <int kCount>
void BlendRowsIn16Bits(const int16_t* rows, int32_t row_len, const int16_t* w, int32_t count,
                       int32_t values, uint8_t* out) {
  if (kCount) count = kCount;
  const __m128i rounding = _mm_set1_epi16(kCoarsePixelRounding);
  auto bytes = [&](__m128i lo, __m128i hi) {
    return _mm_packus_epi16(_mm_srli_epi16(_mm_add_epi16(lo, rounding), kScaleRowFractionBits),
                            _mm_srli_epi16(_mm_add_epi16(hi, rounding), kScaleRowFractionBits));
  };
  if (count == 1) {
    for (int32_t i = 0; i < values; i += kValuesPerBlock) {
      StoreBlock(bytes(Load(rows + i), Load(rows + i + 8)), i, values, out);
    }
    return;
  }
  __m128i weights[kCount ? kCount : 1];
  auto weight = [&](int32_t k) {
    const __m128i v = _mm_set1_epi16(int16_t(w[k] << kScaleCoarseWeightBits));
    return kCount ? weights[k] : v;
  };
  for (int32_t k = 0; k < kCount; ++k) weights[k] = _mm_set1_epi16(int16_t(w[k] << kScaleCoarseWeightBits));
  auto blend = [&](int32_t i) {
    __m128i sum = _mm_mulhi_epu16(Load(rows + i), weight(0));
    for (int32_t k = 1; k < count; ++k) {
      sum = _mm_add_epi16(sum, _mm_mulhi_epu16(Load(rows + int64_t(k) * row_len + i), weight(k)));
    }
    return sum;
  };
  for (int32_t i = 0; i < values; i += kValuesPerBlock) {
    StoreBlock(bytes(blend(i), blend(i + 8)), i, values, out);
  }
}

QV_VECTOR_ENTRY void ScaleRowVectors(const ScalePlan& plan, const uint8_t* src, int16_t* out) {
  const int32_t taps = plan.across.taps;
  if (plan.across.weight_bits == kScaleCoarseWeightBits) {
    switch (taps) {
      case 1: return ScaleRowIn16Bits<1>(plan, src, out);
      case 2: return ScaleRowIn16Bits<2>(plan, src, out);
      case 3: return ScaleRowIn16Bits<3>(plan, src, out);
      default: return ScaleRowIn16Bits<0>(plan, src, out);
    }
  }
  switch ((taps + 1) / 2) {
    case 1: return ScaleRowIn32Bits<1>(plan, src, out);
    case 2: return ScaleRowIn32Bits<2>(plan, src, out);
    default: return ScaleRowIn32Bits<0>(plan, src, out);
  }
}

QV_VECTOR_ENTRY void BlendRowsVectors(const ScalePlan& plan, const int16_t* rows, const int16_t* w,
                                      int32_t count, int32_t values, uint8_t* out) {
  const int32_t row_len = plan.cache_row_len;
  if (plan.down.weight_bits == kScaleCoarseWeightBits) {
    switch (count) {
      case 1: return BlendRowsIn16Bits<1>(rows, row_len, w, count, values, out);
      case 2: return BlendRowsIn16Bits<2>(rows, row_len, w, count, values, out);
      case 3: return BlendRowsIn16Bits<3>(rows, row_len, w, count, values, out);
      default: return BlendRowsIn16Bits<0>(rows, row_len, w, count, values, out);
    }
  }
  switch ((count + 1) / 2) {
    case 1: return BlendRowsIn32Bits<1>(rows, row_len, w, count, values, out);
    case 2: return BlendRowsIn32Bits<2>(rows, row_len, w, count, values, out);
    default: return BlendRowsIn32Bits<0>(rows, row_len, w, count, values, out);
  }
}

#endif  // QV_SCALE_VECTORS
#if defined(QV_SCALE_VECTORS_CHOSEN_AT_RUN_TIME)
#pragma GCC pop_options
#endif

bool ProcessorHasVectors() {
#if defined(QV_SCALE_VECTORS_CHOSEN_AT_RUN_TIME)
  __builtin_cpu_init();
  return __builtin_cpu_supports("sse2");
#elif defined(QV_SCALE_VECTORS)
  return true;
#else
  return false;
#endif
}

void ScaleSourceRow(const ScalePlan& plan, const uint8_t* src, int16_t* out) {
  int32_t from = 0;
#if defined(QV_SCALE_VECTORS)
  if (plan.use_vectors) {
    ScaleRowVectors(plan, src, out);
    from = plan.wide_read_cols;
  }
#endif
  ScaleRowPlain(plan, src, out, from, plan.across.dst_size);
}

void BlendRows(const ScalePlan& plan, int32_t dst_y, uint8_t* out) {
  const ScaleAxis& a = plan.down;
  const int16_t* rows = &plan.scaled_rows[size_t(a.first[dst_y]) * plan.cache_row_len];
  const int16_t* w = FootprintWeights(a, dst_y);
  const int32_t values = 4 * plan.across.dst_size;
#if defined(QV_SCALE_VECTORS)
  if (plan.use_vectors) return BlendRowsVectors(plan, rows, w, a.count[dst_y], values, out);
#endif
  BlendRowsPlain(plan, rows, w, a.count[dst_y], values, out);
}

// The vector horizontal pass reads, with fine weights, eight bytes from each
// step of two pixels (the last read ends two bytes past its pair, five past a
// lone last pixel), with the step's weights as (w0 w1 w0 w1 w0 w1 0 0); with
// coarse weights, four bytes from each pixel, with the weights of two columns,
// tap by tap, as (w w w 0 w w w 0). The columns whose reads stay inside the
// row are a leading run.
void LayWideWeights(ScalePlan* plan) {
  const ScaleAxis& a = plan->across;
  if (!plan->use_vectors) return;
  const bool fine = a.weight_bits == kScaleFineWeightBits;
  const int32_t steps = (a.taps + 1) / 2;
  const int64_t read_end = fine ? 3 * (2 * int64_t(steps) - 2) + 8 : 3 * (int64_t(a.taps) - 1) + 4;
  while (plan->wide_read_cols < a.dst_size &&
         3 * int64_t(a.window_first[plan->wide_read_cols]) + read_end <= 3 * int64_t(a.src_size)) {
    ++plan->wide_read_cols;
  }
  const int32_t cols = plan->wide_read_cols;
  plan->wide_read_offset.resize(cols);
  for (int32_t d = 0; d < cols; ++d) plan->wide_read_offset[d] = uint32_t(3 * a.window_first[d]);
  plan->wide_weights.assign(size_t(cols + 1) * (fine ? steps : a.taps) * 8 + 8, 0);
  int16_t* lines = LineStart(plan->wide_weights.data());
  for (int32_t d = 0; d < cols; ++d) {
    for (int32_t k = 0; k < a.taps; ++k) {
      const int16_t w = a.weights[size_t(d) * a.taps + k];
      int16_t* line = fine ? &lines[(size_t(d) * steps + k / 2) * 8]
                           : &lines[(size_t(d / 2) * a.taps + k) * 8 + (d % 2) * 4];
      for (int32_t channel = 0; channel < 3; ++channel) line[fine ? 2 * channel + k % 2 : channel] = w;
    }
  }
}

}  // namespace

ScalePlan MakeScalePlan(int32_t src_wid, int32_t src_hgt, int32_t dst_wid, int32_t dst_hgt) {
  ScalePlan plan;
  if (src_wid <= 0 || src_hgt <= 0 || dst_wid <= 0 || dst_hgt <= 0) return plan;
  plan.across = MakeAxis(src_wid, dst_wid);
  plan.down = MakeAxis(src_hgt, dst_hgt);
  plan.use_vectors = ProcessorHasVectors();
  LayWideWeights(&plan);
  plan.cache_flip = plan.down.weight_bits == kScaleFineWeightBits ? kTopBit : 0;
  plan.cache_row_len = (4 * dst_wid + kValuesPerBlock - 1) / kValuesPerBlock * kValuesPerBlock;
  plan.scaled_rows.assign(size_t(src_hgt) * plan.cache_row_len, 0);
  plan.row_is_scaled.assign(src_hgt, 0);
  plan.changed_before.assign(size_t(src_hgt) + 1, 0);
  return plan;
}

void ScalePicture(ScalePlan& plan, const uint8_t* src, int32_t src_stride,
                  const uint8_t* changed_rows, uint8_t* dst, int32_t dst_stride,
                  uint8_t* written_rows) {
  const int32_t src_hgt = plan.down.src_size, dst_hgt = plan.down.dst_size;
  if (src_hgt <= 0 || dst_hgt <= 0 || !src || !dst) return;
  std::vector<int32_t>& before = plan.changed_before;
  for (int32_t s = 0; s < src_hgt; ++s) {
    const bool changed = !changed_rows || changed_rows[s];
    if (changed) plan.row_is_scaled[s] = 0;
    before[s + 1] = before[s] + (changed ? 1 : 0);
  }
  for (int32_t y = 0; y < dst_hgt; ++y) {
    const int32_t first = plan.down.first[y], end = first + plan.down.count[y];
    if (before[end] == before[first]) continue;
    for (int32_t s = first; s < end; ++s) {
      if (plan.row_is_scaled[s]) continue;
      ScaleSourceRow(plan, src + int64_t(s) * src_stride, &plan.scaled_rows[size_t(s) * plan.cache_row_len]);
      plan.row_is_scaled[s] = 1;
    }
    BlendRows(plan, y, dst + int64_t(y) * dst_stride);
    if (written_rows) written_rows[y] = 1;
  }
}
