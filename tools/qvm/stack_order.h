// The order of the stack's rows. The player reads rows by index, so any
// order plays once the row lists are renumbered; the order only matters to
// whoever compresses the movie. Deflate looks back 32 KB, about eleven rows
// of a 994-pixel movie, so rows that look alike must sit side by side to be
// found: sorted by their bytes, they do.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "qvm/movie_writer.h"

// The rows in the order they are to be written: order[place] = old index.
std::vector<int32_t> ZipFriendlyOrder(int32_t rows, size_t row_bytes,
                                      const std::function<const uint8_t*(int32_t)>& row_at);

// new_index[old] for an order as above.
std::vector<int32_t> NewIndices(const std::vector<int32_t>& order);

// Rewrites the row lists of the flow (the line after a frame line or an
// "InactiveFrame" line) in place: every code stays four characters, so no
// offset moves. False, with the flow untouched, when a row list holds a
// character outside the code or names a row at or past rows.
bool RenumberRowLists(std::string* flow, const std::vector<int32_t>& new_index, int32_t rows);

// A whole movie in the order above; false, with the movie untouched, when
// its row lists cannot be renumbered (see RenumberRowLists) or its stack is
// not whole rows.
bool ReorderStack(MovieBytes* movie);

// The same for the bytes of a movie file: flow, end byte, width field, stack.
bool ReorderMovieFile(std::string* bytes);
