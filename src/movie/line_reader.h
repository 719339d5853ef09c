// The one reader of flow lines. The file is opened in binary mode and the
// reader splits lines itself, so CR LF and bare LF both end a line and every
// offset it reports is an exact byte offset in the file, on any runtime.
// A line longer than the caller's buffer arrives in pieces, exactly as a
// text-mode fgets with that buffer size would hand it over.
#pragma once
#include <cstdint>
#include <cstdio>

class LineReader {
 public:
  LineReader() = default;
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  bool open(const char* path);
  void close();
  bool is_open() const { return file_ != nullptr; }
  bool seek(int64_t offset);
  // Reads end at this offset as at the end of the file: in a movie file the
  // flow ends at its end byte, and the width field and the stack follow.
  void set_end(int64_t end) { end_ = end; }

  // Reads the next line (or piece of one) into buf, at most size - 1 logical
  // characters with the line end counting as one, as fgets(buf, size) does in
  // text mode. The line end itself is not stored. Returns false at the end of
  // the file when nothing was read.
  bool read(char* buf, int size);

  int64_t line_offset() const { return line_offset_; }  // where the last line began
  int64_t position() const { return position_; }        // just past the last line read
  int length() const { return length_; }                // characters stored
  bool ended() const { return ended_; }                 // the line end was read

 private:
  int next_byte();   // -1 at the end of the file
  int peek_byte();

  std::FILE* file_ = nullptr;
  // Reads start small after a seek, since a presentation needs one frame
  // record of a few kilobytes, and grow for a pass over the whole flow.
  static constexpr int kFirstChunk = 4096;
  static constexpr int kMaxChunk = 65536;
  unsigned char buffer_[kMaxChunk];
  int chunk_ = kFirstChunk;
  int buffer_pos_ = 0;
  int buffer_len_ = 0;
  int64_t position_ = 0;
  int64_t end_ = INT64_MAX;
  int64_t line_offset_ = 0;
  int length_ = 0;
  bool ended_ = false;
};
