#include "movie/line_reader.h"

#include <cstring>

LineReader::~LineReader() { close(); }

bool LineReader::open(const char* path) {
  close();
  file_ = std::fopen(path, "rb");
  // The stream's own buffer would only add a copy: reads are in chunks already.
  if (file_) std::setvbuf(file_, nullptr, _IONBF, 0);
  return file_ != nullptr && seek(0);
}

void LineReader::close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

bool LineReader::seek(int64_t offset) {
  buffer_pos_ = buffer_len_ = 0;
  chunk_ = kFirstChunk;
  if (offset < 0 || offset > INT32_MAX) return false;
  if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return false;
  position_ = offset;
  return true;
}

int LineReader::peek_byte() {
  if (buffer_pos_ == buffer_len_) {
    if (position_ >= end_) return -1;
    int64_t want = end_ - position_ < chunk_ ? end_ - position_ : chunk_;
    buffer_len_ = static_cast<int>(std::fread(buffer_, 1, static_cast<size_t>(want), file_));
    buffer_pos_ = 0;
    if (chunk_ < kMaxChunk) chunk_ *= 2;
    if (buffer_len_ == 0) return -1;
  }
  return buffer_[buffer_pos_];
}

int LineReader::next_byte() {
  int c = peek_byte();
  if (c >= 0) {
    ++buffer_pos_;
    ++position_;
  }
  return c;
}

bool LineReader::read(char* buf, int size) {
  line_offset_ = position_;
  length_ = 0;
  ended_ = false;
  bool any = false;
  // Copies runs of buffered bytes up to the next LF or the end of the room.
  while (length_ < size - 1 && peek_byte() >= 0) {
    any = true;
    const unsigned char* run = buffer_ + buffer_pos_;
    int avail = buffer_len_ - buffer_pos_;
    int room = size - 1 - length_;
    int take = avail < room ? avail : room;
    const void* lf = std::memchr(run, '\n', take);
    int n = lf ? static_cast<int>(static_cast<const unsigned char*>(lf) - run) : take;
    std::memcpy(buf + length_, run, n);
    length_ += n;
    buffer_pos_ += n;
    position_ += n;
    if (lf) {
      next_byte();
      ended_ = true;
      if (length_ > 0 && buf[length_ - 1] == '\r') --length_;
      break;
    }
  }
  // CR LF counts as one character, so it still fits after a CR that filled the room.
  if (!ended_ && length_ > 0 && length_ == size - 1 && buf[length_ - 1] == '\r' &&
      peek_byte() == '\n') {
    next_byte();
    ended_ = true;
    --length_;
  }
  if (size > 0) buf[length_] = '\0';
  return any;
}
