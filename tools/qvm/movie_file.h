// Finds the movie in a file the way the player finds it in its own: after the
// marker line of a bundled player, in a movie file up to its end byte, or in a
// "demoFlow.txt" with "demoStack.kts" beside it. The layout is read by the
// player's own reader, so a file the player would refuse is refused here with
// the same fault, in words.
#pragma once
#include <string>

#include "movie/movie_layout.h"

struct MovieFile {
  std::string path;  // the file named on the command line
  MovieSource movie;
  LayoutFault fault = LayoutFault::kNone;
  bool has_end() const { return movie.LastFlowByte >= 0; }
};

const char* LayoutName(MovieKind kind);

// Throws std::runtime_error when the file cannot be opened; any other fault
// is returned with what could be read, for the caller to judge.
MovieFile OpenMovieFile(const std::string& path);

// Throws unless the player would play the movie.
void RequirePlayable(const MovieFile& movie);

// Bytes from offset to offset + count (fewer at the end of the file).
std::string ReadFileRange(const std::string& path, int64_t offset, int64_t count);
std::string Folder(const std::string& path);  // before the last "/"; "." without one
