// Finds the movie in a file the way the player finds it in its own: after the
// marker line of a bundled player, in a movie file up to its end byte, or in a
// "demoFlow.txt" with "demoStack.kts" beside it. Offsets are 64-bit here, so a
// file too big for the player's 32-bit offsets is described, not misread.
#pragma once
#include <cstdint>
#include <string>

enum class Layout { kAppended, kMovieFile, kExternalPair };

struct MovieFile {
  Layout layout = Layout::kMovieFile;
  std::string path;        // the file named on the command line
  std::string flow_path;
  std::string stack_path;
  int64_t marker_offset = -1;  // the marker line's "!" in a bundled player
  int64_t first_flow = 0;
  int64_t last_flow = -1;      // the end byte, or the flow file's size; -1: no end byte
  int64_t first_stack = 0;
  int32_t stack_wid = 0;       // 0 also when the width field is cut off
  int64_t flow_file_bytes = 0;
  int64_t stack_file_bytes = 0;
  bool has_end() const { return last_flow >= 0; }
};

const char* LayoutName(Layout layout);

// Throws std::runtime_error when the file cannot be read. A movie without an
// end byte is returned with last_flow -1, for the caller to judge.
MovieFile OpenMovieFile(const std::string& path);

// Throws unless the movie can be read the way the player reads it: an end
// byte, a width of 1 to 3000 and every offset within 32 bits.
void RequirePlayable(const MovieFile& movie);

// Bytes from offset to offset + count (fewer at the end of the file).
std::string ReadFileRange(const std::string& path, int64_t offset, int64_t count);
