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

#include "movie/row_order.h"
#include "qvm/movie_writer.h"

// The rows in the order they are to be written: order[place] = old index.
std::vector<int32_t> ZipFriendlyOrder(int32_t rows, size_t row_bytes,
                                      const std::function<const uint8_t*(int32_t)>& row_at);

// A whole movie in the order above; false, with the movie untouched, when
// its row lists cannot be renumbered (see RenumberRowLists) or its stack is
// not whole rows.
bool ReorderStack(MovieBytes* movie);

// The same for the bytes of a movie file: flow, end byte, width field, stack.
bool ReorderMovieFile(std::string* bytes);
