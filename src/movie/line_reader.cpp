#include "movie/line_reader.h"

LineReader::~LineReader() { close(); }

bool LineReader::open(const char* path) {
  close();
  file_ = std::fopen(path, "rb");
  buffer_pos_ = buffer_len_ = 0;
  position_ = 0;
  return file_ != nullptr;
}

void LineReader::close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

bool LineReader::seek(int64_t offset) {
  buffer_pos_ = buffer_len_ = 0;
  if (offset < 0 || offset > INT32_MAX) return false;
  if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return false;
  position_ = offset;
  return true;
}

int LineReader::peek_byte() {
  if (buffer_pos_ == buffer_len_) {
    buffer_len_ = static_cast<int>(std::fread(buffer_, 1, sizeof buffer_, file_));
    buffer_pos_ = 0;
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
  while (length_ < size - 1) {
    int c = next_byte();
    if (c < 0) break;
    any = true;
    if (c == '\n') {
      ended_ = true;
      break;
    }
    if (c == '\r' && peek_byte() == '\n') {
      next_byte();
      ended_ = true;
      break;
    }
    buf[length_++] = static_cast<char>(c);
  }
  if (size > 0) buf[length_] = '\0';
  return any;
}
