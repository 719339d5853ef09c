// Where the movie is and the boundaries of its flow and stack. Offsets count
// bytes from the start of the file they refer to; they are 64-bit so that any
// file is described as it is, and the layout reader refuses what lies beyond
// the player's 32-bit reach.
#pragma once
#include <cstdint>
#include <string>

// Limits of the data model: the canvases hold 3000 x 2400 pixels in rows of
// 9000 bytes, a name slot holds 48 characters, the index holds 50,000 frames.
constexpr int32_t kMaxStackWid = 3000;
constexpr int32_t kMaxRows = 2400;
constexpr int32_t kCanvasRowBytes = 9000;
constexpr int32_t kMaxFrameName = 48;
constexpr int32_t kMaxFrames = 50000;
constexpr int64_t kMaxStackRows = 80LL * 80 * 80 * 80;  // four base-80 digits name a row
constexpr int kPathSize = 99;      // 98 characters and the terminator
constexpr int kLineSize = 9996;    // most flow lines: 9994 characters read whole
constexpr int kShortLineSize = 296;  // splash lines and the settings' first line

// The three ways a movie is kept: after the marker line of a player's own
// file, a movie file of its own (flow, end byte, width field, stack), or the
// pair of a flow file and a stack file that begins with the width field.
enum class MovieKind { kAppended, kMovieFile, kExternalPair };

// A file's size and time stamp: a file rewritten since is another movie.
struct FileStamp {
  int64_t bytes = -1, mtime = -1;
  bool operator==(const FileStamp& o) const { return bytes == o.bytes && mtime == o.mtime; }
  bool operator!=(const FileStamp& o) const { return !(*this == o); }
};

struct MovieSource {
  MovieKind kind = MovieKind::kMovieFile;
  std::string flow_path;
  std::string stack_path;
  int64_t marker_offset = -1;  // the marker's "!" in a player's own file
  int64_t FirstFlowByte = 0;
  int64_t LastFlowByte = -1;   // the end byte, or the flow file's size
  int64_t FirstStackByte = 0;
  int32_t StackWid = 0;        // 0 also when the width field is cut off
  int32_t MaxFrameHgt = -1;    // rows of the first row list; -1 when there is none
  FileStamp flow_stamp;        // the flow file as the layout was read from it
  int64_t stack_file_bytes = 0;
};
