#include "movie/row_list.h"

#include <cstring>

#include "movie/movie_source.h"

int32_t RowIndex(const char* four) {
  int32_t index = 0;
  for (int i = 0; i < 4; ++i) {
    unsigned char c = static_cast<unsigned char>(four[i]);
    if (c < '+' || c > 'z') return -1;
    index = index * 80 + (c - '+');
  }
  return index;
}

int32_t RowCount(const char* row_list) {
  return static_cast<int32_t>(std::strlen(row_list + 1) / 4);
}

StackFile::~StackFile() { close(); }

bool StackFile::open(const char* path) {
  close();
  file_ = std::fopen(path, "rb");
  if (!file_) return false;
  size_ = 0;
  if (std::fseek(file_, 0, SEEK_END) == 0) {
    long end = std::ftell(file_);
    if (end > 0) size_ = end;
  }
  return true;
}

void StackFile::close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  size_ = 0;
}

int64_t StackFile::read_at(int64_t offset, uint8_t* dst, int64_t count) {
  if (!file_ || offset < 0 || offset >= size_) return 0;
  if (count > size_ - offset) count = size_ - offset;
  if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return 0;
  return static_cast<int64_t>(std::fread(dst, 1, static_cast<size_t>(count), file_));
}

int32_t LoadRowList(const char* row_list, StackFile& stack, int32_t stack_wid,
                    int32_t first_stack_byte, uint8_t* canvas) {
  const int32_t rows = RowCount(row_list);
  const int32_t shown_rows = rows < kMaxRows ? rows : kMaxRows;
  const int32_t wid = stack_wid < kMaxStackWid ? stack_wid : kMaxStackWid;
  if (wid <= 0) return rows;
  const int64_t row_bytes = int64_t{stack_wid} * 3;
  for (int32_t i = 0; i < shown_rows; ++i) {
    const int32_t index = RowIndex(row_list + 1 + 4 * i);
    if (index < 0) continue;
    const int64_t offset = first_stack_byte + int64_t{index} * row_bytes;
    if (offset > INT32_MAX) continue;
    // Only whole pixels: a row cut by the end of the file copies what it holds.
    int64_t count = int64_t{wid} * 3;
    const int64_t held = (stack.size() - offset) / 3 * 3;
    if (held < count) count = held;
    if (count <= 0) continue;
    stack.read_at(offset, canvas + int64_t{i} * kCanvasRowBytes, count);
  }
  return rows;
}
