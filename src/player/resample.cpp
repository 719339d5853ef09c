// The picture scaler: weights made once per pair of sizes, then a horizontal
// pass into the plan's row cache and a vertical pass into the screen rows.
// Every sum is of non-negative integer products that cannot overflow 32 bits,
// so the vector and the plain paths, which add in different orders, give the
// same bytes.
#include "player/resample.h"

#include <algorithm>
#include <cstring>

// The vector paths use SSE2. A build that assumes it compiles them as they
// are; the player's 32-bit build does not assume it, so there they are
// compiled for SSE2 alone and taken when the processor reports it. Their entry
// points then realign the stack, which 32-bit Windows keeps to only 4 bytes.
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


constexpr int32_t kRowRounding = 1 << (kScaleWeightBits - kScaleRowFractionBits - 1);
constexpr int32_t kRowShift = kScaleWeightBits - kScaleRowFractionBits;
constexpr int32_t kPixelShift = kScaleWeightBits + kScaleRowFractionBits;
constexpr int32_t kPixelRounding = 1 << (kPixelShift - 1);
// The vertical pass works on blocks of four pixels; cached rows are padded to
// whole blocks so a block never reads past its row.
constexpr int32_t kValuesPerBlock = 16;

// The share of [0, part) in a span of `whole`, in 1/kScaleWeightOne, rounded.
// Weights taken as differences of these shares sum to exactly one.
int32_t Share(int64_t part, int64_t whole) {
  return int32_t((part * kScaleWeightOne + whole / 2) / whole);
}

// Shrinking (or keeping the size): destination pixel d covers source
// [d * src / dst, (d + 1) * src / dst). Counted in 1/dst of a source pixel the
// bounds are integers: source pixel s spans [s * dst, (s + 1) * dst) and d
// spans [d * src, (d + 1) * src), so every partial coverage is exact.
void AreaWeights(int32_t src, int32_t dst, int32_t d, int32_t* first, std::vector<int32_t>* w) {
  const int64_t start = int64_t(d) * src, end = start + src;
  const int32_t s_first = int32_t(start / dst), s_last = int32_t((end - 1) / dst);
  *first = s_first;
  w->clear();
  for (int32_t s = s_first; s <= s_last; ++s) {
    const int64_t from = std::max<int64_t>(int64_t(s) * dst, start) - start;
    const int64_t to = std::min<int64_t>(int64_t(s + 1) * dst, end) - start;
    w->push_back(Share(to, src) - Share(from, src));
  }
}

// Enlarging: pixel centres aligned, src_x = (d + 0.5) * src / dst - 0.5, which
// is (2d + 1) * src - dst in units of 1 / (2 dst); beyond the outer centres
// the edge pixel is repeated.
void LinearWeights(int32_t src, int32_t dst, int32_t d, int32_t* first, std::vector<int32_t>* w) {
  const int64_t unit = 2 * int64_t(dst);
  const int64_t pos = (2 * int64_t(d) + 1) * src - dst;
  w->clear();
  if (pos <= 0) {
    *first = 0;
    w->push_back(kScaleWeightOne);
    return;
  }
  const int32_t left = int32_t(pos / unit);
  if (left >= src - 1) {
    *first = src - 1;
    w->push_back(kScaleWeightOne);
    return;
  }
  const int32_t right_weight = Share(pos % unit, unit);
  *first = left;
  w->push_back(kScaleWeightOne - right_weight);
  w->push_back(right_weight);
}

ScaleAxis MakeAxis(int32_t src, int32_t dst) {
  ScaleAxis a;
  a.src_size = src;
  a.dst_size = dst;
  a.first.resize(dst);
  a.count.resize(dst);
  std::vector<std::vector<int32_t>> runs(dst);
  for (int32_t d = 0; d < dst; ++d) {
    int32_t first;
    std::vector<int32_t>& w = runs[d];
    if (dst <= src) {
      AreaWeights(src, dst, d, &first, &w);
    } else {
      LinearWeights(src, dst, d, &first, &w);
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

// The plain horizontal pass over destination columns [from, to).
void ScaleRowPlain(const ScaleAxis& a, const uint8_t* src, int16_t* out, int32_t from, int32_t to) {
  for (int32_t d = from; d < to; ++d) {
    const uint8_t* px = src + 3 * int64_t(a.first[d]);
    const int16_t* w = &a.weights[size_t(d) * a.taps + (a.first[d] - a.window_first[d])];
    int32_t blue = 0, green = 0, red = 0;
    for (int32_t k = 0; k < a.count[d]; ++k, px += 3) {
      blue += w[k] * px[0];
      green += w[k] * px[1];
      red += w[k] * px[2];
    }
    int16_t* o = out + 4 * int64_t(d);
    o[0] = int16_t((blue + kRowRounding) >> kRowShift);
    o[1] = int16_t((green + kRowRounding) >> kRowShift);
    o[2] = int16_t((red + kRowRounding) >> kRowShift);
    o[3] = 0;
  }
}

// The plain vertical pass: `values` samples of `count` cached rows, `row_len`
// apart, weighted into bytes.
void BlendRowsPlain(const int16_t* rows, int32_t row_len, const int16_t* w, int32_t count,
                    int32_t values, uint8_t* out) {
  for (int32_t i = 0; i < values; ++i) {
    int32_t sum = 0;
    for (int32_t k = 0; k < count; ++k) sum += w[k] * rows[int64_t(k) * row_len + i];
    out[i] = uint8_t((sum + kPixelRounding) >> kPixelShift);
  }
}

#if defined(QV_SCALE_VECTORS)

// Two weights side by side in each 32-bit lane, as pmaddwd pairs them.
__m128i WeightPair(int16_t first_weight, int16_t second_weight) {
  return _mm_set1_epi32(int32_t(uint16_t(first_weight)) | (int32_t(uint16_t(second_weight)) << 16));
}

// One destination pixel from its window, two source pixels a step: the
// eight bytes b0 g0 r0 b1 g1 r1 .. are widened and interleaved with themselves
// three samples on into b0 b1 g0 g1 r0 r1 .., and one multiply-add with the
// step's weights (w0 w1 w0 w1 w0 w1 0 0) gives blue, green, red and 0.
inline __m128i PairSum(const uint8_t* px, const int16_t* weights) {
  const __m128i two = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(px)),
                                        _mm_setzero_si128());
  const __m128i pair = _mm_unpacklo_epi16(two, _mm_srli_si128(two, 6));
  return _mm_madd_epi16(pair, _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights)));
}

template <int kSteps>
inline __m128i WindowSum(const uint8_t* px, const int16_t* weights, int32_t steps) {
  __m128i sum = PairSum(px, weights);
  if (kSteps == 2) sum = _mm_add_epi32(sum, PairSum(px + 6, weights + 8));
  for (int32_t k = 1; kSteps == 0 && k < steps; ++k) {
    sum = _mm_add_epi32(sum, PairSum(px + 6 * k, weights + 8 * k));
  }
  return _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(kRowRounding)), kRowShift);
}

// The horizontal pass over destination columns [0, cols), whose windows may
// all be read in eight-byte steps. kSteps is the number of steps a window
// takes, or 0 for any number.
template <int kSteps>
void ScaleRowWide(const ScalePlan& plan, const uint8_t* src, int16_t* out, int32_t cols) {
  const int32_t* window_first = plan.across.window_first.data();
  const int32_t steps = plan.wide_steps;
  const int16_t* weights = plan.wide_weights.data();
  const size_t column_weights = size_t(8) * steps;
  int32_t d = 0;
  for (; d + 2 <= cols; d += 2, weights += 2 * column_weights) {
    const __m128i left = WindowSum<kSteps>(src + 3 * window_first[d], weights, steps);
    const __m128i right = WindowSum<kSteps>(src + 3 * window_first[d + 1], weights + column_weights, steps);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * d), _mm_packs_epi32(left, right));
  }
  if (d < cols) {
    const __m128i left = WindowSum<kSteps>(src + 3 * window_first[d], weights, steps);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * d), _mm_packs_epi32(left, left));
  }
}

inline __m128i Load(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Adds two cached rows' weighted block of eight samples to lo and hi.
inline void AddRows(const int16_t* upper, const int16_t* lower, __m128i weights, __m128i* lo,
                    __m128i* hi) {
  const __m128i a = Load(upper), b = Load(lower);
  *lo = _mm_add_epi32(*lo, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), weights));
  *hi = _mm_add_epi32(*hi, _mm_madd_epi16(_mm_unpackhi_epi16(a, b), weights));
}

inline __m128i ToBytes(__m128i lo0, __m128i hi0, __m128i lo1, __m128i hi1) {
  const __m128i round = _mm_set1_epi32(kPixelRounding);
  auto shift = [&](__m128i v) { return _mm_srai_epi32(_mm_add_epi32(v, round), kPixelShift); };
  return _mm_packus_epi16(_mm_packs_epi32(shift(lo0), shift(hi0)),
                          _mm_packs_epi32(shift(lo1), shift(hi1)));
}

inline void StoreBlock(__m128i bytes, int32_t i, int32_t values, uint8_t* out) {
  if (i + kValuesPerBlock <= values) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
  } else {
    alignas(16) uint8_t block[kValuesPerBlock];
    _mm_store_si128(reinterpret_cast<__m128i*>(block), bytes);
    std::memcpy(out + i, block, size_t(values - i));
  }
}

// The vertical pass, four pixels (sixteen samples) a block, two cached rows a
// step; a lone last row steps with itself at weight 0. The last block is
// computed whole from the padded cache and stored only as far as the row
// goes. kSteps is the number of steps, or 0 for any number.
template <int kSteps>
void BlendRowsWide(const int16_t* rows, int32_t row_len, const int16_t* w, int32_t count,
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
      StoreBlock(ToBytes(lo0, hi0, lo1, hi1), i, values, out);
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
    StoreBlock(ToBytes(lo0, hi0, lo1, hi1), i, values, out);
  }
}

QV_VECTOR_ENTRY void ScaleRowVectors(const ScalePlan& plan, const uint8_t* src, int16_t* out) {
  switch (plan.wide_steps) {
    case 1: ScaleRowWide<1>(plan, src, out, plan.wide_read_cols); break;
    case 2: ScaleRowWide<2>(plan, src, out, plan.wide_read_cols); break;
    default: ScaleRowWide<0>(plan, src, out, plan.wide_read_cols); break;
  }
}

QV_VECTOR_ENTRY void BlendRowsVectors(const int16_t* rows, int32_t row_len, const int16_t* w,
                                      int32_t count, int32_t values, uint8_t* out) {
  switch ((count + 1) / 2) {
    case 1: BlendRowsWide<1>(rows, row_len, w, count, values, out); break;
    case 2: BlendRowsWide<2>(rows, row_len, w, count, values, out); break;
    default: BlendRowsWide<0>(rows, row_len, w, count, values, out); break;
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
  ScaleRowPlain(plan.across, src, out, from, plan.across.dst_size);
}

void BlendRows(const ScalePlan& plan, int32_t dst_y, uint8_t* out) {
  const ScaleAxis& a = plan.down;
  const int32_t first = a.first[dst_y], count = a.count[dst_y];
  const int16_t* rows = &plan.scaled_rows[size_t(first) * plan.cache_row_len];
  const int16_t* w = &a.weights[size_t(dst_y) * a.taps + (first - a.window_first[dst_y])];
  const int32_t values = 4 * plan.across.dst_size;
#if defined(QV_SCALE_VECTORS)
  if (plan.use_vectors) {
    BlendRowsVectors(rows, plan.cache_row_len, w, count, values, out);
    return;
  }
#endif
  BlendRowsPlain(rows, plan.cache_row_len, w, count, values, out);
}

// The vector pass reads a window in steps of two pixels, eight bytes a step,
// so the last step ends two bytes past its pair (five past a lone last pixel);
// the columns whose reads stay inside the row are a leading run.
void LayWideWeights(ScalePlan* plan) {
  const ScaleAxis& a = plan->across;
  plan->wide_steps = (a.taps + 1) / 2;
  const int64_t read_end = 3 * (2 * int64_t(plan->wide_steps) - 2) + 8;
  while (plan->wide_read_cols < a.dst_size &&
         3 * int64_t(a.window_first[plan->wide_read_cols]) + read_end <= 3 * int64_t(a.src_size)) {
    ++plan->wide_read_cols;
  }
  plan->wide_weights.assign(size_t(plan->wide_read_cols) * plan->wide_steps * 8, 0);
  for (int32_t d = 0; d < plan->wide_read_cols; ++d) {
    for (int32_t k = 0; k < a.taps; ++k) {
      int16_t* step = &plan->wide_weights[(size_t(d) * plan->wide_steps + k / 2) * 8];
      for (int32_t channel = 0; channel < 3; ++channel) step[2 * channel + k % 2] = a.weights[size_t(d) * a.taps + k];
    }
  }
}

}  // namespace

ScalePlan MakeScalePlan(int32_t src_wid, int32_t src_hgt, int32_t dst_wid, int32_t dst_hgt) {
  ScalePlan plan;
  if (src_wid <= 0 || src_hgt <= 0 || dst_wid <= 0 || dst_hgt <= 0) return plan;
  plan.across = MakeAxis(src_wid, dst_wid);
  plan.down = MakeAxis(src_hgt, dst_hgt);
  LayWideWeights(&plan);
  plan.use_vectors = ProcessorHasVectors();
  plan.cache_row_len = (4 * dst_wid + kValuesPerBlock - 1) / kValuesPerBlock * kValuesPerBlock;
  plan.scaled_rows.assign(size_t(src_hgt) * plan.cache_row_len, 0);
  plan.row_is_scaled.assign(src_hgt, 0);
  plan.changed_before.assign(size_t(src_hgt) + 1, 0);
  return plan;
}

void ScalePicture(ScalePlan& plan, const uint8_t* src, int32_t src_stride,
                  const uint8_t* changed_rows, uint8_t* dst, int32_t dst_stride) {
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
  }
}
