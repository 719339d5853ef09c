// Row lists: "$" then four base-80 digits ("+" = 0 ... "z" = 79) per row, top
// row first. LoadRowList copies the stack rows a list names into a canvas.
#pragma once
#include <cstdint>
#include <cstdio>

// The row index written by four characters, or -1 when a character lies
// outside "+" to "z".
int32_t RowIndex(const char* four);

// Rows named by a row list line (text beginning with "$", no line end).
int32_t RowCount(const char* row_list);

// The stack file, opened in binary mode, with its size known so that no row is
// read from beyond its end.
class StackFile {
 public:
  StackFile() = default;
  ~StackFile();
  StackFile(const StackFile&) = delete;
  StackFile& operator=(const StackFile&) = delete;
  bool open(const char* path);
  void close();
  int64_t size() const { return size_; }
  // Reads count bytes at offset into dst; returns the bytes read.
  int64_t read_at(int64_t offset, uint8_t* dst, int64_t count);

 private:
  std::FILE* file_ = nullptr;
  int64_t size_ = 0;
};

// Fills canvas rows 0 .. n-1 (rows of 9000 bytes) with the stack rows the list
// names and returns n. Never writes past canvas row 2399 or a row's 9000th
// byte: rows beyond 2400 and pixels beyond 3000 are dropped. A row whose code
// is invalid, or whose offset lies beyond the stack or beyond 2,147,483,647,
// copies nothing; a row partly beyond the end copies the whole pixels the file
// still holds.
int32_t LoadRowList(const char* row_list, StackFile& stack, int32_t stack_wid,
                    int32_t first_stack_byte, uint8_t* canvas);
