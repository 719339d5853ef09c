#include "movie/row_list.h"

#include <sys/stat.h>

#include <cstring>

#include "movie/movie_source.h"
#include "platform/platform.h"

int32_t RowIndex(const char* four) {
  int32_t index = 0;
  for (int i = 0; i < 4; ++i) {
    unsigned char c = static_cast<unsigned char>(four[i]);
    if (c < '+' || c > 'z') return -1;
    index = index * 80 + (c - '+');
  }
  return index;
}

void WriteRowIndex(int32_t index, char* four) {
  for (int i = 3; i >= 0; --i) {
    four[i] = static_cast<char>('+' + index % 80);
    index /= 80;
  }
}

int32_t RowCount(const char* row_list) {
  return static_cast<int32_t>(std::strlen(row_list + 1) / 4);
}

bool FileStatus(const char* path, int64_t* size, int64_t* mtime) {
  struct stat st;
  if (stat(path, &st) != 0) return false;
  *size = st.st_size;
  *mtime = static_cast<int64_t>(st.st_mtime);
  return true;
}

FileStamp StampOf(const std::string& path) {
  FileStamp stamp;
  if (!FileStatus(path.c_str(), &stamp.bytes, &stamp.mtime)) return FileStamp();
  return stamp;
}

StackFile::~StackFile() { close(); }

namespace {
// Every page of a mapped stack that a row was copied from stays in the
// working set while the view lasts, and a movie's stack may be far larger
// than its canvases. After this many bytes copied the view is made afresh,
// which lets those pages go.
constexpr int64_t kCopiedBytesPerView = int64_t{32} << 20;
}  // namespace

bool StackFile::open(const char* path) {
  close();
  if (!FileStatus(path, &size_, &mtime_)) return false;
  path_ = path;
  view_ = platform::map_file(path, size_);
  copied_since_map_ = 0;
  if (view_) return true;
  file_ = std::fopen(path, "rb");
  return file_ != nullptr;
}

void StackFile::remap() {
  platform::unmap_file(view_, size_);
  view_ = platform::map_file(path_.c_str(), size_);
  copied_since_map_ = 0;
  if (!view_) file_ = std::fopen(path_.c_str(), "rb");
}

void StackFile::close() {
  if (file_) std::fclose(file_);
  if (view_) platform::unmap_file(view_, size_);
  file_ = nullptr;
  view_ = nullptr;
  size_ = 0;
}

int64_t StackFile::read_at(int64_t offset, uint8_t* dst, int64_t count) {
  if (offset < 0 || offset >= size_) return 0;
  if (count > size_ - offset) count = size_ - offset;
  if (view_ && copied_since_map_ > kCopiedBytesPerView) remap();
  if (view_) {
    std::memcpy(dst, view_ + offset, static_cast<size_t>(count));
    copied_since_map_ += count;
    return count;
  }
  if (!file_ || offset > INT32_MAX || std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) {
    return 0;
  }
  return static_cast<int64_t>(std::fread(dst, 1, static_cast<size_t>(count), file_));
}

void StackFile::prefetch(int64_t offset, int64_t count) const {
  if (!kCanPrefetch || !view_ || offset < 0 || offset + count > size_) return;
  for (int64_t at = 0; at < count; at += 64) __builtin_prefetch(view_ + offset + at);
}

namespace {

// Where a row's bytes lie in the stack, and how many whole pixels it holds there;
// false when the row copies nothing.
bool RowSpan(const char* code, const StackFile& stack, int64_t row_bytes, int64_t copy_bytes,
             int64_t first_stack_byte, int32_t* index, int64_t* offset, int64_t* count) {
  *index = RowIndex(code);
  if (*index < 0) return false;
  *offset = first_stack_byte + int64_t{*index} * row_bytes;
  if (*offset > INT32_MAX) return false;
  // Only whole pixels: a row cut by the end of the file copies what it holds.
  *count = copy_bytes;
  if (stack.size() - *offset < copy_bytes) *count = (stack.size() - *offset) / 3 * 3;
  return *count > 0;
}

}  // namespace

int32_t LoadRowList(const char* row_list, StackFile& stack, int32_t stack_wid,
                    int64_t first_stack_byte, uint8_t* canvas, int32_t* held_rows,
                    uint8_t* copied_rows) {
  const int32_t rows = RowCount(row_list);
  const int32_t shown_rows = rows < kMaxRows ? rows : kMaxRows;
  const int32_t wid = stack_wid < kMaxStackWid ? stack_wid : kMaxStackWid;
  if (wid <= 0) return rows;
  const int64_t row_bytes = int64_t{stack_wid} * 3;
  const int64_t copy_bytes = int64_t{wid} * 3;
  // Rows are spread over the stack, so the next row to copy is asked for
  // while this one is copied.
  constexpr int32_t kAhead = 2;
  for (int32_t i = 0; i < shown_rows; ++i) {
    const char* code = row_list + 1 + 4 * i;
    // A row already held costs no more than reading its code.
    if (held_rows && held_rows[i] >= 0 && held_rows[i] == RowIndex(code)) continue;
    int32_t index, ahead_index;
    int64_t offset, count;
    if (StackFile::kCanPrefetch && i + kAhead < shown_rows &&
        RowSpan(row_list + 1 + 4 * (i + kAhead), stack, row_bytes, copy_bytes, first_stack_byte,
                &ahead_index, &offset, &count) &&
        !(held_rows && held_rows[i + kAhead] == ahead_index)) {
      stack.prefetch(offset, count);
    }
    if (!RowSpan(code, stack, row_bytes, copy_bytes, first_stack_byte, &index, &offset, &count)) {
      continue;
    }
    int64_t got = stack.read_at(offset, canvas + int64_t{i} * kCanvasRowBytes, count);
    if (held_rows) held_rows[i] = got == copy_bytes ? index : -1;
    if (copied_rows && got > 0) copied_rows[i] = 1;
  }
  return rows;
}
