// The picture scaler: weights in 1/256 made once per pair of sizes, then a
// horizontal pass into the row cache and a vertical pass into the screen rows.
// Each pass has a plain form, the reference, and a vector form; both compute
// the same integer formulas (sums of products that cannot overflow, added in
// any order), so they give the same bytes:
//
//   across:  h = sum of w * p                           (1/256 of a level)
//   down:    out = (sum of ((w * h) >> 8) + 128) >> 8
//
// 1/256 is finer than any screen shows, and it lets both passes multiply in
// 16 bits. A deep shrink spreads a pixel over many small shares, and past
// 256:1 some of them round to nothing: the picture is then sampled rather
// than averaged, at sizes no screen asks for.
#include "player/resample.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

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

constexpr int32_t kWeightBits = 8;
constexpr int32_t kOne = 1 << kWeightBits;
constexpr int32_t kPixelRounding = 1 << (kWeightBits - 1);
// The vertical pass works on blocks of four pixels; cached rows are padded to
// whole blocks so a block never reads past its row.
constexpr int32_t kValuesPerBlock = 16;

// The vector weights are read in 16-byte lines: their table holds 8 int16 of
// slack so the lines can start on a 16-byte boundary.
template <typename Int16>
Int16* LineStart(Int16* table) {
  return reinterpret_cast<Int16*>((uintptr_t(table) + 15) & ~uintptr_t(15));
}

// How one axis maps destination pixels onto source pixels. Each destination
// index d reads `taps` consecutive source pixels from window_first[d], with
// weights[d * taps + k], which sum to exactly kOne. first[d] and count[d] are
// the source pixels whose weight is not zero (d's footprint), a part of that
// window.
struct Axis {
  int32_t src_size = 0;
  int32_t dst_size = 0;
  int32_t taps = 0;
  std::vector<int32_t> window_first;
  std::vector<int16_t> weights;
  std::vector<int32_t> first;
  std::vector<int32_t> count;
};

}  // namespace

struct Scaler::Plan {
  Axis across;  // destination columns from source columns
  Axis down;    // destination rows from source rows
  bool use_vectors = false;  // the processor has the instructions they use
  // The vector horizontal pass: the leading destination columns whose source
  // reads stay inside the row, the byte offset of each one's window, and their
  // weights as it reads them, from the first 16-byte boundary of wide_weights.
  int32_t wide_read_cols = 0;
  std::vector<uint32_t> wide_read_offset;
  std::vector<int16_t> wide_weights;
  // Cached rows: per pixel blue, green, red and 0, in 1/256 of a level (up to
  // 255 * 256, so read unsigned), cache_row_len values apart.
  int32_t cache_row_len = 0;
  std::vector<uint16_t> scaled_rows;    // src_hgt rows
  std::vector<uint8_t> row_is_scaled;  // per source row: scaled_rows holds it
  std::vector<int32_t> changed_before;  // scratch: changed source rows above each row
};

namespace {

using Plan = Scaler::Plan;

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

Axis MakeAxis(int32_t src, int32_t dst) {
  Axis a;
  a.src_size = src;
  a.dst_size = dst;
  a.first.resize(dst);
  a.count.resize(dst);
  std::vector<std::vector<int32_t>> runs(dst);
  for (int32_t d = 0; d < dst; ++d) {
    int32_t first;
    std::vector<int32_t>& w = runs[d];
    if (dst <= src) {
      AreaWeights(src, dst, d, kOne, &first, &w);
    } else {
      LinearWeights(src, dst, d, kOne, &first, &w);
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

const int16_t* FootprintWeights(const Axis& a, int32_t d) {
  return &a.weights[size_t(d) * a.taps + (a.first[d] - a.window_first[d])];
}

// The plain horizontal pass over destination columns [from, to).
void ScaleRowPlain(const Plan& plan, const uint8_t* src, uint16_t* out, int32_t from, int32_t to) {
  const Axis& a = plan.across;
  for (int32_t d = from; d < to; ++d) {
    const uint8_t* px = src + 3 * int64_t(a.first[d]);
    const int16_t* w = FootprintWeights(a, d);
    int32_t blue = 0, green = 0, red = 0;
    for (int32_t k = 0; k < a.count[d]; ++k, px += 3) {
      blue += w[k] * px[0];
      green += w[k] * px[1];
      red += w[k] * px[2];
    }
    uint16_t* o = out + 4 * int64_t(d);
    o[0] = uint16_t(blue);
    o[1] = uint16_t(green);
    o[2] = uint16_t(red);
    o[3] = 0;
  }
}

// The plain vertical pass: `values` samples of `count` cached rows, `row_len`
// apart, weighted into bytes.
void BlendRowsPlain(const uint16_t* rows, int32_t row_len, const int16_t* w, int32_t count,
                    int32_t values, uint8_t* out) {
  for (int32_t i = 0; i < values; ++i) {
    int32_t sum = 0;
    for (int32_t k = 0; k < count; ++k) sum += (w[k] * rows[int64_t(k) * row_len + i]) >> kWeightBits;
    out[i] = uint8_t((sum + kPixelRounding) >> kWeightBits);
  }
}

#if defined(QV_SCALE_VECTORS)

inline __m128i LoadLine(const int16_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i Load(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i Load4(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}

// Across, two destination pixels a store: each tap's source pixels for both
// (four bytes each, the fourth weighted 0) are widened side by side and
// multiplied by the tap's weights (w w w 0 w w w 0); 255 * 256 fits in 16
// bits, and so does the sum, as the weights sum to 256. kTaps is the window's
// length, or 0 for any.
template <int kTaps>
void ScaleRowIn16Bits(const Plan& plan, const uint8_t* src, uint16_t* out) {
  const uint32_t* offset = plan.wide_read_offset.data();
  const int32_t cols = plan.wide_read_cols, taps = kTaps ? kTaps : plan.across.taps;
  const int16_t* weights = LineStart(plan.wide_weights.data());
  const __m128i zero = _mm_setzero_si128();
  auto two_pixels = [&](const uint8_t* left, const uint8_t* right, const int16_t* w) {
    auto tap = [&](int32_t k) {
      const __m128i px = _mm_unpacklo_epi32(Load4(left + 3 * k), Load4(right + 3 * k));
      return _mm_mullo_epi16(_mm_unpacklo_epi8(px, zero), LoadLine(w + 8 * k));
    };
    __m128i sum = tap(0);
    if (kTaps >= 2) sum = _mm_add_epi16(sum, tap(1));
    if (kTaps >= 3) sum = _mm_add_epi16(sum, tap(2));
    for (int32_t k = 1; kTaps == 0 && k < taps; ++k) sum = _mm_add_epi16(sum, tap(k));
    return sum;
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

inline void StoreBlock(__m128i bytes, int32_t i, int32_t values, uint8_t* out) {
  if (i + kValuesPerBlock <= values) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
  } else {
    alignas(16) uint8_t block[kValuesPerBlock];
    _mm_store_si128(reinterpret_cast<__m128i*>(block), bytes);
    std::memcpy(out + i, block, size_t(values - i));
  }
}

// Down, in 16-bit lanes: (w * h) >> 8 is the high half of h times w * 256,
// and in a row of two or more cached rows every weight is below one. A row
// of weight one is its cached row rounded. kCount is the number of cached
// rows, or 0 for any number. The last block is computed whole from the
// padded cache and stored only as far as the row goes.
template <int kCount>
void BlendRowsIn16Bits(const uint16_t* rows, int32_t row_len, const int16_t* w, int32_t count,
                       int32_t values, uint8_t* out) {
  if (kCount) count = kCount;
  const __m128i rounding = _mm_set1_epi16(kPixelRounding);
  auto bytes = [&](__m128i lo, __m128i hi) {
    return _mm_packus_epi16(_mm_srli_epi16(_mm_add_epi16(lo, rounding), kWeightBits),
                            _mm_srli_epi16(_mm_add_epi16(hi, rounding), kWeightBits));
  };
  if (count == 1) {
    for (int32_t i = 0; i < values; i += kValuesPerBlock) {
      StoreBlock(bytes(Load(rows + i), Load(rows + i + 8)), i, values, out);
    }
    return;
  }
  __m128i weights[kCount ? kCount : 1];
  auto weight = [&](int32_t k) {
    const __m128i v = _mm_set1_epi16(int16_t(w[k] << kWeightBits));
    return kCount ? weights[k] : v;
  };
  for (int32_t k = 0; k < kCount; ++k) weights[k] = _mm_set1_epi16(int16_t(w[k] << kWeightBits));
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

QV_VECTOR_ENTRY void ScaleRowVectors(const Plan& plan, const uint8_t* src, uint16_t* out) {
  switch (plan.across.taps) {
    case 1: return ScaleRowIn16Bits<1>(plan, src, out);
    case 2: return ScaleRowIn16Bits<2>(plan, src, out);
    case 3: return ScaleRowIn16Bits<3>(plan, src, out);
    default: return ScaleRowIn16Bits<0>(plan, src, out);
  }
}

QV_VECTOR_ENTRY void BlendRowsVectors(const uint16_t* rows, int32_t row_len, const int16_t* w,
                                      int32_t count, int32_t values, uint8_t* out) {
  switch (count) {
    case 1: return BlendRowsIn16Bits<1>(rows, row_len, w, count, values, out);
    case 2: return BlendRowsIn16Bits<2>(rows, row_len, w, count, values, out);
    case 3: return BlendRowsIn16Bits<3>(rows, row_len, w, count, values, out);
    default: return BlendRowsIn16Bits<0>(rows, row_len, w, count, values, out);
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

void ScaleSourceRow(const Plan& plan, const uint8_t* src, uint16_t* out) {
  int32_t from = 0;
#if defined(QV_SCALE_VECTORS)
  if (plan.use_vectors) {
    ScaleRowVectors(plan, src, out);
    from = plan.wide_read_cols;
  }
#endif
  ScaleRowPlain(plan, src, out, from, plan.across.dst_size);
}

void BlendRows(const Plan& plan, int32_t dst_y, uint8_t* out) {
  const Axis& a = plan.down;
  const uint16_t* rows = &plan.scaled_rows[size_t(a.first[dst_y]) * plan.cache_row_len];
  const int16_t* w = FootprintWeights(a, dst_y);
  const int32_t values = 4 * plan.across.dst_size;
#if defined(QV_SCALE_VECTORS)
  if (plan.use_vectors) return BlendRowsVectors(rows, plan.cache_row_len, w, a.count[dst_y], values, out);
#endif
  BlendRowsPlain(rows, plan.cache_row_len, w, a.count[dst_y], values, out);
}

// The vector horizontal pass reads four bytes from each pixel, with the
// weights of two columns, tap by tap, as (w w w 0 w w w 0). The columns whose
// reads stay inside the row are a leading run.
void LayWideWeights(Plan* plan) {
  const Axis& a = plan->across;
  const int64_t read_end = 3 * (int64_t(a.taps) - 1) + 4;
  plan->wide_read_cols = 0;
  while (plan->wide_read_cols < a.dst_size &&
         3 * int64_t(a.window_first[plan->wide_read_cols]) + read_end <= 3 * int64_t(a.src_size)) {
    ++plan->wide_read_cols;
  }
  const int32_t cols = plan->wide_read_cols;
  plan->wide_read_offset.resize(cols);
  for (int32_t d = 0; d < cols; ++d) plan->wide_read_offset[d] = uint32_t(3 * a.window_first[d]);
  plan->wide_weights.assign(size_t(cols + 1) * a.taps * 8 + 8, 0);
  int16_t* lines = LineStart(plan->wide_weights.data());
  for (int32_t d = 0; d < cols; ++d) {
    for (int32_t k = 0; k < a.taps; ++k) {
      int16_t* line = &lines[(size_t(d / 2) * a.taps + k) * 8 + (d % 2) * 4];
      for (int32_t channel = 0; channel < 3; ++channel) line[channel] = a.weights[size_t(d) * a.taps + k];
    }
  }
}

}  // namespace

Scaler::Scaler() = default;
Scaler::Scaler(Scaler&&) noexcept = default;
Scaler& Scaler::operator=(Scaler&&) noexcept = default;
Scaler::~Scaler() = default;

Scaler::Scaler(int32_t src_wid, int32_t src_hgt, int32_t dst_wid, int32_t dst_hgt)
    : plan_(std::make_unique<Plan>()) {
  Plan& plan = *plan_;
  if (src_wid <= 0 || src_hgt <= 0 || dst_wid <= 0 || dst_hgt <= 0) return;
  plan.across = MakeAxis(src_wid, dst_wid);
  plan.down = MakeAxis(src_hgt, dst_hgt);
  plan.use_vectors = ProcessorHasVectors();
  if (plan.use_vectors) LayWideWeights(&plan);
  plan.cache_row_len = (4 * dst_wid + kValuesPerBlock - 1) / kValuesPerBlock * kValuesPerBlock;
  plan.scaled_rows.assign(size_t(src_hgt) * plan.cache_row_len, 0);
  plan.row_is_scaled.assign(src_hgt, 0);
  plan.changed_before.assign(size_t(src_hgt) + 1, 0);
}

bool Scaler::Fits(int32_t src_wid, int32_t src_hgt, int32_t dst_wid, int32_t dst_hgt) const {
  return plan_ && plan_->across.src_size == src_wid && plan_->down.src_size == src_hgt &&
         plan_->across.dst_size == dst_wid && plan_->down.dst_size == dst_hgt;
}

void Scaler::UsePlainPasses() {
  if (plan_) plan_->use_vectors = false;
}

void Scaler::Scale(const uint8_t* src, int32_t src_stride, const uint8_t* changed_rows, uint8_t* dst,
                   int32_t dst_stride, uint8_t* written_rows) {
  if (!plan_) return;
  Plan& plan = *plan_;
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
