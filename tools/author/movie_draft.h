// The movie an author edits: its header lines, its stack of rows and its
// pictures (row lists into the stack), with the frames naming a picture and a
// timing each. Edits change only the frames, the header and the inactive
// choice; pictures and rows stay as they were read or imported, so any
// earlier state of an edit is a list of frames that is still valid.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "movie/movie_source.h"
#include "movie/timing_line.h"

struct DraftFrame {
  int32_t picture = 0;
  TimingLine timing;
};

struct MovieDraft {
  std::vector<std::string> header;  // the lines before the first record
  int32_t width = 0;
  std::string stack;                // rows of width * 3 bytes
  std::vector<std::vector<int32_t>> pictures;
  std::vector<DraftFrame> frames;
  int32_t inactive = -1;            // the inactive picture; -1 for none

  int32_t stack_rows() const { return width ? int32_t(stack.size() / (size_t(width) * 3)) : 0; }
  const uint8_t* row(int32_t r) const {
    return reinterpret_cast<const uint8_t*>(stack.data()) + size_t(r) * size_t(width) * 3;
  }
};

// Reads the movie the layout reader located: the header, every frame record
// up to "StopReading" and the last inactive record, as the player indexes
// them. Returns "" or what is wrong, in words.
std::string ReadDraft(const MovieSource& movie, MovieDraft* draft);

// The bytes of a movie file of the draft: its header and frames, only the
// rows they name, sorted for size as qvm build writes them. Throws
// std::runtime_error for a movie beyond the data model's limits.
std::string DraftMovieFile(const MovieDraft& draft);
