#include "qvm/stack_order.h"

#include <algorithm>
#include <cstring>
#include <numeric>

std::vector<int32_t> ZipFriendlyOrder(int32_t rows, size_t row_bytes,
                                      const std::function<const uint8_t*(int32_t)>& row_at) {
  std::vector<const uint8_t*> bytes(static_cast<size_t>(rows));
  for (int32_t r = 0; r < rows; ++r) bytes[size_t(r)] = row_at(r);
  std::vector<int32_t> order(static_cast<size_t>(rows));
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    return std::memcmp(bytes[size_t(a)], bytes[size_t(b)], row_bytes) < 0;
  });
  return order;
}

bool ReorderStack(MovieBytes* movie) {
  const size_t row_bytes = size_t(movie->width) * 3;
  if (row_bytes == 0 || movie->stack.size() % row_bytes != 0) return false;
  const int32_t rows = int32_t(movie->stack.size() / row_bytes);
  const uint8_t* stack = reinterpret_cast<const uint8_t*>(movie->stack.data());
  const std::vector<int32_t> order =
      ZipFriendlyOrder(rows, row_bytes, [&](int32_t r) { return stack + size_t(r) * row_bytes; });
  if (!RenumberRowLists(movie->flow.data(), movie->flow.size(), NewIndices(order))) return false;
  PermuteRows(reinterpret_cast<uint8_t*>(movie->stack.data()), row_bytes, order);
  return true;
}

bool ReorderMovieFile(std::string* bytes) {
  const size_t end = bytes->find(static_cast<char>(0xFF));
  if (end == std::string::npos || bytes->size() < end + 3) return false;
  MovieBytes movie;
  movie.flow = bytes->substr(0, end);
  movie.width = int32_t(uint8_t((*bytes)[end + 1])) << 8 | uint8_t((*bytes)[end + 2]);
  movie.stack = bytes->substr(end + 3);
  if (!ReorderStack(&movie)) return false;
  *bytes = MovieFileBytes(movie);
  return true;
}
