// Row lists: "$" then four base-80 digits ("+" = 0 ... "z" = 79) per row, top
// row first. LoadRowList copies the stack rows a list names into a canvas.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "movie/movie_source.h"

// The row index written by four characters, or -1 when a character lies
// outside "+" to "z".
int32_t RowIndex(const char* four);
// Writes the four characters of a row index (0 to 80^4 - 1).
void WriteRowIndex(int32_t index, char* four);

// Rows named by a row list line (text beginning with "$", no line end).
int32_t RowCount(const char* row_list);

// The stack file, mapped when the system allows it and read row by row when it
// does not, with its size and time stamp known so that no row is read from
// beyond its end and a rewritten stack is noticed.
class StackFile {
 public:
  StackFile() = default;
  ~StackFile();
  StackFile(const StackFile&) = delete;
  StackFile& operator=(const StackFile&) = delete;
  bool open(const char* path);
  void close();
  bool is_open() const { return file_ != nullptr || view_ != nullptr; }
  bool mapped() const { return view_ != nullptr; }
  int64_t size() const { return size_; }
  int64_t mtime() const { return mtime_; }
  // Asks the memory system for a row ahead of its copy (mapped stacks only,
  // where the processor has the instruction).
#if defined(__GNUC__) && !defined(__wasm__)
  static constexpr bool kCanPrefetch = true;
#else
  static constexpr bool kCanPrefetch = false;
#endif
  void prefetch(int64_t offset, int64_t count) const;
  // Copies count bytes at offset into dst; returns the bytes copied.
  int64_t read_at(int64_t offset, uint8_t* dst, int64_t count);

 private:
  void remap();

  std::string path_;
  std::FILE* file_ = nullptr;
  const uint8_t* view_ = nullptr;
  int64_t size_ = 0;
  int64_t mtime_ = 0;
  int64_t copied_since_map_ = 0;
};

// The size and time stamp of a file; false when it does not exist.
bool FileStatus(const char* path, int64_t* size, int64_t* mtime);
// The same as a stamp; its bytes are -1 when the file does not exist.
FileStamp StampOf(const std::string& path);

// Fills canvas rows 0 .. n-1 (rows of 9000 bytes) with the stack rows the list
// names and returns n. Never writes past canvas row 2399 or a row's 9000th
// byte: rows beyond 2400 and pixels beyond 3000 are dropped. A row whose code
// is invalid, or whose offset lies beyond the stack or beyond 2,147,483,647,
// copies nothing; a row partly beyond the end copies the whole pixels the file
// still holds.
//
// held_rows, when given, says for each canvas row which stack row it already
// holds in full (-1: not known); such rows are not copied again, and the
// table is kept up to date. Screen movies change few rows from one frame to
// the next, so this saves most of the copying. copied_rows, when given, is
// set to 1 for each canvas row written (the others are left as they are), so
// the caller can pass on only what changed.
int32_t LoadRowList(const char* row_list, StackFile& stack, int32_t stack_wid,
                    int64_t first_stack_byte, uint8_t* canvas, int32_t* held_rows = nullptr,
                    uint8_t* copied_rows = nullptr);
