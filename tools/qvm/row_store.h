// The unique rows of a movie being made from a recording, and the search for
// the stored row a new row can share. Lossy video never repeats a row
// exactly, so with a tolerance T a row counts as stored when every channel of
// some stored row is within T of it. The search tries, in this order, the
// row with the same bytes, the row the previous frame showed at the same
// height, and then any stored row close enough, found through an index of
// coarse row averages and verified byte by byte. Every row handed out is
// within T of the row asked for, so the error never passes T, however long a
// row stays on screen.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class RowStore {
 public:
  // width in pixels (rows of width * 3 bytes); tolerance 0 to 255.
  RowStore(int32_t width, int32_t tolerance);

  // The index of the stored row that stands for this one, storing it when
  // none does. previous: the index the previous frame showed at this
  // height, or -1. Throws std::runtime_error when the stack is full.
  int32_t Intern(const uint8_t* row, int32_t previous);

  int32_t size() const { return count_; }
  size_t row_bytes() const { return row_bytes_; }
  const uint8_t* row(int32_t index) const {
    return chunks_[size_t(index) / rows_per_chunk_].get() +
           (size_t(index) % rows_per_chunk_) * row_bytes_;
  }

  // How each row asked for was found.
  struct Counts {
    int64_t exact = 0;     // the same bytes
    int64_t previous = 0;  // within T of the previous frame's row at its height
    int64_t indexed = 0;   // within T of another stored row
    int64_t stored = 0;    // new
  };
  const Counts& counts() const { return counts_; }

 private:
  // Averages of 64 stretches of a row, compared 16 at a time, rule out
  // nearly every candidate without touching its row.
  static constexpr int kSignature = 64;
  // The index's key: the averages of eight parts of the row, in buckets of
  // 16 levels. A search looks in the buckets within 2 levels of the row's
  // averages (or T, when smaller): over a part of a row the codec's noise
  // averages out, and rows whose part averages differ by more were found
  // to match almost never (one row in 28,000 at T = 6 on a screen
  // recording), while reaching as far as T took a third longer.
  static constexpr int kKeyParts = 8;
  static constexpr int kBucketLevels = 16;
  static constexpr int kReach = 2;

  struct Description {
    uint8_t signature[kSignature] = {};
    uint16_t part_means[kKeyParts] = {};  // sixteenths of a level
  };

  int32_t FindExact(const uint8_t* row, uint64_t hash) const;
  int32_t FindSimilar(const uint8_t* row, const Description& about) const;
  int32_t Store(const uint8_t* row, uint64_t hash, const Description& about);
  void GrowSlots();
  void Describe(const uint8_t* row, Description* about) const;
  static uint64_t KeyOf(const Description& about);

  size_t row_bytes_;
  int32_t tolerance_;
  int32_t reach_;
  size_t rows_per_chunk_;
  int32_t count_ = 0;
  std::vector<std::unique_ptr<uint8_t[]>> chunks_;
  std::vector<uint64_t> hashes_;  // by row
  // One bit for each sample hash of a stored row (modulo its size).
  static constexpr uint64_t kSampleBits = uint64_t(1) << 24;
  std::vector<uint64_t> sampled_ = std::vector<uint64_t>(kSampleBits / 64);
  std::vector<int32_t> slots_;    // open addressing by hash; -1 free
  std::vector<uint32_t> stretch_ends_;  // the 16-byte block ending each stretch
  // Rows by coarse averages, each with its signature beside it, so a search
  // reads one bucket front to back instead of one cache line a candidate.
  struct Bucket {
    std::vector<int32_t> rows;
    std::vector<uint8_t> signatures;  // kSignature bytes a row, in the order of rows
  };
  std::unordered_map<uint64_t, Bucket> buckets_;
  Counts counts_;
};

// True when every byte of a and b differs by at most tolerance.
bool RowsWithin(const uint8_t* a, const uint8_t* b, size_t bytes, int32_t tolerance);
