#include "qvm/row_store.h"

#include <cstring>
#include <stdexcept>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Four base-80 digits name at most 80^4 rows.
constexpr int64_t kMaxStackRows = 80LL * 80 * 80 * 80;
// Rows are kept in blocks of about this many bytes, so the store never moves
// what it holds and never needs twice its size while it grows.
constexpr size_t kChunkBytes = size_t{4} << 20;

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ULL, kPrime2 = 0xC2B2AE3D27D4EB4FULL;

uint64_t Rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Four independent lanes keep the multiplier busy; a row of 1920 pixels
// hashes in about a microsecond.
uint64_t HashRow(const uint8_t* p, size_t n) {
  uint64_t lane[4] = {kPrime1, kPrime2, kPrime1 ^ kPrime2, ~kPrime1};
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    for (int k = 0; k < 4; ++k) lane[k] = Rotl(lane[k] + Load64(p + i + 8 * k) * kPrime2, 31) * kPrime1;
  }
  uint64_t h = Rotl(lane[0], 1) + Rotl(lane[1], 7) + Rotl(lane[2], 12) + Rotl(lane[3], 18) + n;
  for (; i < n; ++i) h = Rotl(h ^ (p[i] * kPrime1), 11) * kPrime2;
  h ^= h >> 33;
  h *= kPrime2;
  h ^= h >> 29;
  return h;
}

}  // namespace

bool RowsWithin(const uint8_t* a, const uint8_t* b, size_t bytes, int32_t tolerance) {
  size_t i = 0;
#ifdef __SSE2__
  const __m128i limit = _mm_set1_epi8(static_cast<char>(tolerance));
  const __m128i zero = _mm_setzero_si128();
  // 64 bytes a step: a row that differs usually differs early and everywhere.
  for (; i + 64 <= bytes; i += 64) {
    __m128i over = zero;
    for (int k = 0; k < 64; k += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i + k));
      const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i + k));
      const __m128i diff = _mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x));
      over = _mm_or_si128(over, _mm_subs_epu8(diff, limit));
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(over, zero)) != 0xFFFF) return false;
  }
#endif
  for (; i < bytes; ++i) {
    const int diff = a[i] > b[i] ? a[i] - b[i] : b[i] - a[i];
    if (diff > tolerance) return false;
  }
  return true;
}

RowStore::RowStore(int32_t width, int32_t tolerance)
    : row_bytes_(size_t(width) * 3),
      tolerance_(tolerance),
      // Wider buckets than twice the tolerance: a row's average then lies
      // within reach of at most two buckets on each part of the key.
      bucket_width_(4 * tolerance + 4),
      rows_per_chunk_(row_bytes_ >= kChunkBytes ? 1 : kChunkBytes / row_bytes_),
      slots_(1024, -1) {
  for (int s = 1; s <= kSignature; ++s) segment_ends_.push_back(uint32_t(row_bytes_ * s / kSignature));
}

int32_t RowStore::Intern(const uint8_t* row, int32_t previous) {
  const uint8_t* above = previous >= 0 && previous < count_ ? this->row(previous) : nullptr;
  // On a still screen most rows are the previous frame's, byte for byte.
  if (above && std::memcmp(row, above, row_bytes_) == 0) {
    ++counts_.exact;
    return previous;
  }
  const uint64_t hash = HashRow(row, row_bytes_);
  int32_t found = FindExact(row, hash);
  if (found >= 0) {
    ++counts_.exact;
    return found;
  }
  uint8_t signature[kSignature + kKeyParts] = {};
  if (tolerance_ > 0) {
    if (above && RowsWithin(row, above, row_bytes_, tolerance_)) {
      ++counts_.previous;
      return previous;
    }
    Sign(row, signature);
    found = FindSimilar(row, signature);
    if (found >= 0) {
      ++counts_.indexed;
      return found;
    }
  }
  ++counts_.stored;
  return Store(row, hash, signature);
}

int32_t RowStore::FindExact(const uint8_t* row, uint64_t hash) const {
  const size_t mask = slots_.size() - 1;
  for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const int32_t index = slots_[slot];
    if (index < 0) return -1;
    if (hashes_[size_t(index)] == hash && std::memcmp(this->row(index), row, row_bytes_) == 0) {
      return index;
    }
  }
}

// signature: kSignature segment averages, then kKeyParts averages of four
// segments each. Each is the floor of a mean of bytes, so two rows within T
// of each other have every one of them within T as well.
void RowStore::Sign(const uint8_t* row, uint8_t* signature) const {
  uint32_t start = 0;
  uint32_t part_sum = 0, part_bytes = 0;
  for (int s = 0; s < kSignature; ++s) {
    const uint32_t end = segment_ends_[size_t(s)];
    uint32_t sum = 0;
    for (uint32_t i = start; i < end; ++i) sum += row[i];
    signature[s] = uint8_t(end > start ? sum / (end - start) : 0);
    part_sum += sum;
    part_bytes += end - start;
    if (s % (kSignature / kKeyParts) == kSignature / kKeyParts - 1) {
      signature[kSignature + s / (kSignature / kKeyParts)] = uint8_t(part_bytes ? part_sum / part_bytes : 0);
      part_sum = part_bytes = 0;
    }
    start = end;
  }
}

uint32_t RowStore::KeyOf(const uint8_t* part_means) const {
  uint32_t key = 0;
  for (int k = 0; k < kKeyParts; ++k) key = key << 8 | uint32_t(part_means[k] / bucket_width_);
  return key;
}

int32_t RowStore::FindSimilar(const uint8_t* row, const uint8_t* signature) const {
  // The buckets a row within T may sit in: on each part of the key the
  // bucket of the average less T and the one of the average plus T.
  uint8_t low[kKeyParts], high[kKeyParts];
  for (int k = 0; k < kKeyParts; ++k) {
    const int mean = signature[kSignature + k];
    low[k] = uint8_t((mean - tolerance_ < 0 ? 0 : mean - tolerance_) / bucket_width_);
    high[k] = uint8_t((mean + tolerance_ > 255 ? 255 : mean + tolerance_) / bucket_width_);
  }
  for (int pick = 0; pick < (1 << kKeyParts); ++pick) {
    uint32_t key = 0;
    bool repeat = false;
    for (int k = 0; k < kKeyParts; ++k) {
      const bool up = pick >> k & 1;
      if (up && high[k] == low[k]) repeat = true;
      key = key << 8 | (up ? high[k] : low[k]);
    }
    if (repeat) continue;
    auto bucket = buckets_.find(key);
    if (bucket == buckets_.end()) continue;
    const std::vector<int32_t>& rows = bucket->second;
    // Newest first: what the screen showed lately is what it shows again.
    for (size_t n = rows.size(); n-- > 0;) {
      const int32_t index = rows[n];
      const uint8_t* theirs = &signatures_[size_t(index) * kSignature];
      if (RowsWithin(signature, theirs, kSignature, tolerance_) &&
          RowsWithin(row, this->row(index), row_bytes_, tolerance_)) {
        return index;
      }
    }
  }
  return -1;
}

int32_t RowStore::Store(const uint8_t* row, uint64_t hash, const uint8_t* signature) {
  if (count_ >= kMaxStackRows) throw std::runtime_error("a movie holds at most 40960000 distinct rows");
  if (size_t(count_) % rows_per_chunk_ == 0) {
    chunks_.emplace_back(new uint8_t[rows_per_chunk_ * row_bytes_]);
  }
  const int32_t index = count_++;
  std::memcpy(const_cast<uint8_t*>(this->row(index)), row, row_bytes_);
  hashes_.push_back(hash);
  if (size_t(count_) * 2 > slots_.size()) GrowSlots();
  const size_t mask = slots_.size() - 1;
  size_t slot = hash & mask;
  while (slots_[slot] >= 0) slot = (slot + 1) & mask;
  slots_[slot] = index;
  if (tolerance_ > 0) {
    signatures_.insert(signatures_.end(), signature, signature + kSignature);
    buckets_[KeyOf(signature + kSignature)].push_back(index);
  }
  return index;
}

void RowStore::GrowSlots() {
  std::vector<int32_t> slots(slots_.size() * 2, -1);
  const size_t mask = slots.size() - 1;
  for (int32_t index = 0; index < count_; ++index) {
    if (index == count_ - 1) break;  // the caller places the newest itself
    size_t slot = hashes_[size_t(index)] & mask;
    while (slots[slot] >= 0) slot = (slot + 1) & mask;
    slots[slot] = index;
  }
  slots_.swap(slots);
}
