// The order in which qvm writes a stack's rows: the one that compresses best.
// Deflate looks back 32 KB, about eleven rows of a 994-pixel movie, so rows
// that look alike must sit side by side to be found: sorted by their bytes,
// they do. (A page puts them back in the order the frames name them.)
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "movie/movie_source.h"
#include "movie/row_order.h"
#include "qvm/movie_writer.h"

// The rows in the order they are to be written: order[place] = old index.
std::vector<int32_t> ZipFriendlyOrder(int32_t rows, size_t row_bytes,
                                      const std::function<const uint8_t*(int32_t)>& row_at);

// A whole movie in the order above; false, with the movie untouched, when
// its row lists cannot be renumbered (see RenumberRowLists) or its stack is
// not whole rows.
bool ReorderStack(MovieBytes* movie);

// The same for the bytes of a movie file (flow, end byte, width field, stack)
// whose layout has been read.
bool ReorderMovieFile(const MovieSource& layout, std::string* bytes);

// The player's offsets are signed 32-bit; every stack row must lie within them.
bool WithinOffsets(size_t flow_bytes, int64_t rows, size_t row_bytes);
extern const char kBeyondOffsets[];

class OutputFile;
// Writes a movie file: the flow, the width field and the rows in the order
// that zips smallest, the flow's row lists renumbered to match. Returns what
// is wrong, and writes nothing, for a movie that would pass the player's
// offsets (kBeyondOffsets) or whose row lists cannot be renumbered; "" once
// written.
std::string WriteSortedMovie(OutputFile* out, std::string flow, int32_t width, int32_t rows,
                             const std::function<const uint8_t*(int32_t)>& row_at);
