// Counts what a movie holds and finds everything in it that the player would
// refuse, clip or misread, each with the offset of the line at fault.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "qvm/movie_file.h"

struct Finding {
  int64_t offset = 0;
  bool warning = false;  // still playable
  std::string text;
};

struct MovieReport {
  int64_t frames = 0;          // frame records the player indexes
  int64_t row_refs = 0;        // rows named by those frames and the inactive pictures
  int64_t unique_rows = 0;     // distinct row indices among them
  int64_t stack_rows = 0;      // whole rows the stack holds
  int64_t raw_frame_bytes = 0; // the indexed frames as plain 24-bit pictures
  std::vector<Finding> findings;
  int64_t problems() const;
};

MovieReport CheckMovie(const MovieFile& movie);
