#include "qvm/row_store.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "movie/movie_source.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Rows are kept in blocks of about this many bytes, so the store never moves
// what it holds and never needs twice its size while it grows.
constexpr size_t kChunkBytes = size_t{4} << 20;

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ULL, kPrime2 = 0xC2B2AE3D27D4EB4FULL;

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

uint64_t Mix(uint64_t h) {
  h ^= h >> 33;
  h *= kPrime2;
  h ^= h >> 29;
  return h;
}

// Four independent lanes keep the multiplier busy: a row of 1920 pixels
// hashes in a few hundred nanoseconds.
uint64_t HashRow(const uint8_t* p, size_t n) {
  uint64_t a = kPrime1, b = kPrime2, c = kPrime1 ^ kPrime2, d = ~kPrime1;
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    a = (a ^ Load64(p + i)) * kPrime1;
    b = (b ^ Load64(p + i + 8)) * kPrime1;
    c = (c ^ Load64(p + i + 16)) * kPrime1;
    d = (d ^ Load64(p + i + 24)) * kPrime1;
  }
  uint64_t h = Mix(a) ^ Mix(b + 1) * 3 ^ Mix(c + 2) * 5 ^ Mix(d + 3) * 7 ^ n;
  for (; i < n; ++i) h = (h ^ p[i]) * kPrime2;
  return Mix(h);
}

// A hash of one word in eight, for the filter that tells most rows with
// no stored copy from the rest before the whole row is hashed.
uint64_t SampleHash(const uint8_t* p, size_t n) {
  if (n < 64) return HashRow(p, n);
  uint64_t a = kPrime1, b = kPrime2;
  size_t i = 0;
  for (; i + 128 <= n; i += 128) {
    a = (a ^ Load64(p + i)) * kPrime1;
    b = (b ^ Load64(p + i + 64)) * kPrime1;
  }
  if (i + 64 <= n) a = (a ^ Load64(p + i)) * kPrime2;
  return Mix(Mix(a) ^ Mix(b + 1) * 3 ^ Load64(p + n - 8));
}

// The sum of each 16-byte block of a row, from the block'th on.
uint32_t BlockSum(const uint8_t* p) {
#ifdef __SSE2__
  const __m128i sums = _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
  return uint32_t(_mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
#else
  uint32_t sum = 0;
  for (int i = 0; i < 16; ++i) sum += p[i];
  return sum;
#endif
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
      reach_(std::min<int32_t>(tolerance, kReach)),
      rows_per_chunk_(row_bytes_ >= kChunkBytes ? 1 : kChunkBytes / row_bytes_),
      slots_(1024, -1) {
  // Stretches are whole 16-byte blocks; the bytes after the last block
  // belong to the last stretch.
  const uint32_t blocks = uint32_t(row_bytes_ / 16);
  for (int s = 1; s <= kSignature; ++s) stretch_ends_.push_back(uint32_t(uint64_t(blocks) * s / kSignature));
}

int32_t RowStore::Intern(const uint8_t* row, int32_t previous) {
  const uint8_t* above = previous >= 0 && previous < count_ ? this->row(previous) : nullptr;
  // On a still screen most rows are the previous frame's, byte for byte.
  if (above && std::memcmp(row, above, row_bytes_) == 0) {
    ++counts_.exact;
    return previous;
  }
  // A row whose sample was never stored has no stored copy either.
  const uint64_t sample = SampleHash(row, row_bytes_);
  const bool sample_stored = sampled_[(sample >> 6) % sampled_.size()] >> (sample & 63) & 1;
  uint64_t hash = 0;
  int32_t found = -1;
  if (sample_stored) {
    hash = HashRow(row, row_bytes_);
    found = FindExact(row, hash);
    if (found >= 0) {
      ++counts_.exact;
      return found;
    }
  }
  Description about;
  if (tolerance_ > 0) {
    if (above && RowsWithin(row, above, row_bytes_, tolerance_)) {
      ++counts_.previous;
      return previous;
    }
    Describe(row, &about);
    found = FindSimilar(row, about);
    if (found >= 0) {
      ++counts_.indexed;
      return found;
    }
  }
  ++counts_.stored;
  sampled_[(sample >> 6) % sampled_.size()] |= uint64_t(1) << (sample & 63);
  return Store(row, sample_stored ? hash : HashRow(row, row_bytes_), about);
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

// Every figure is a mean of the row's bytes over some stretch, so two rows
// within T of each other have every figure within T as well.
void RowStore::Describe(const uint8_t* row, Description* about) const {
  uint32_t block = 0;
  uint32_t part_sum = 0, part_bytes = 0;
  const uint32_t blocks = uint32_t(row_bytes_ / 16);
  for (int s = 0; s < kSignature; ++s) {
    const uint32_t end = stretch_ends_[size_t(s)];
    uint32_t sum = 0;
    for (; block < end; ++block) sum += BlockSum(row + 16 * block);
    uint32_t bytes = 16 * (end - (s == 0 ? 0 : stretch_ends_[size_t(s) - 1]));
    if (s == kSignature - 1) {
      for (size_t i = size_t(blocks) * 16; i < row_bytes_; ++i) sum += row[i];
      bytes += uint32_t(row_bytes_ - size_t(blocks) * 16);
    }
    about->signature[s] = uint8_t(bytes ? sum / bytes : 0);
    part_sum += sum;
    part_bytes += bytes;
    if ((s + 1) % (kSignature / kKeyParts) == 0) {
      // In sixteenths of a level: the search tells how near a border it is.
      about->part_means[s / (kSignature / kKeyParts)] = uint16_t(part_bytes ? part_sum * 16 / part_bytes : 0);
      part_sum = part_bytes = 0;
    }
  }
}

uint64_t RowStore::KeyOf(const Description& about) {
  uint64_t key = 0;
  for (int k = 0; k < kKeyParts; ++k) key = key << 8 | uint64_t(about.part_means[k] / (16 * kBucketLevels));
  return key;
}

int32_t RowStore::FindSimilar(const uint8_t* row, const Description& about) const {
  // The buckets a similar row may sit in: on each part of the key, those of
  // the mean less and plus the reach. Only the parts whose reach spans a
  // border double the probes.
  uint64_t base = 0;
  uint64_t spans[kKeyParts];
  int span_count = 0;
  for (int k = 0; k < kKeyParts; ++k) {
    const int mean = about.part_means[k];
    const int low = std::max(0, mean - 16 * reach_) / (16 * kBucketLevels);
    const int high = std::min(255 * 16, mean + 16 * reach_) / (16 * kBucketLevels);
    base = base << 8 | uint64_t(low);
    if (high != low) spans[span_count++] = uint64_t(1) << (8 * (kKeyParts - 1 - k));
  }
  for (uint32_t pick = 0; pick < (uint32_t(1) << span_count); ++pick) {
    uint64_t key = base;
    for (int k = 0; k < span_count; ++k) {
      if (pick >> k & 1) key += spans[k];
    }
    auto bucket = buckets_.find(key);
    if (bucket == buckets_.end()) continue;
    const Bucket& rows = bucket->second;
    // Newest first: what the screen showed lately is what it shows again.
    for (size_t n = rows.rows.size(); n-- > 0;) {
      const int32_t index = rows.rows[n];
      if (RowsWithin(about.signature, &rows.signatures[n * kSignature], kSignature, tolerance_) &&
          RowsWithin(row, this->row(index), row_bytes_, tolerance_)) {
        return index;
      }
    }
  }
  return -1;
}

int32_t RowStore::Store(const uint8_t* row, uint64_t hash, const Description& about) {
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
    Bucket& bucket = buckets_[KeyOf(about)];
    bucket.rows.push_back(index);
    bucket.signatures.insert(bucket.signatures.end(), about.signature, about.signature + kSignature);
  }
  return index;
}

void RowStore::GrowSlots() {
  std::vector<int32_t> slots(slots_.size() * 2, -1);
  const size_t mask = slots.size() - 1;
  // The newest row is placed by the caller.
  for (int32_t index = 0; index + 1 < count_; ++index) {
    size_t slot = hashes_[size_t(index)] & mask;
    while (slots[slot] >= 0) slot = (slot + 1) & mask;
    slots[slot] = index;
  }
  slots_.swap(slots);
}
