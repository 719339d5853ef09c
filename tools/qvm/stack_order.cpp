#include "qvm/stack_order.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "movie/flow_text.h"
#include "movie/row_list.h"

namespace {

// Calls visit(offset of the first code, code count) for every row list.
template <typename Visit>
void ForEachRowList(const std::string& flow, Visit visit) {
  bool list_next = false;
  size_t start = 0;
  while (start < flow.size()) {
    size_t end = flow.find('\n', start);
    if (end == std::string::npos) end = flow.size();
    size_t text_end = end;
    if (text_end > start && flow[text_end - 1] == '\r') --text_end;
    if (list_next && start < text_end && flow[start] == '$') {
      visit(start + 1, (text_end - start - 1) / 4);
    }
    list_next = flow[start] == '~' || MatchesKeyword(flow.c_str() + start, "InactiveFrame");
    start = end + 1;
  }
}

}  // namespace

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

std::vector<int32_t> NewIndices(const std::vector<int32_t>& order) {
  std::vector<int32_t> new_index(order.size());
  for (size_t place = 0; place < order.size(); ++place) new_index[size_t(order[place])] = int32_t(place);
  return new_index;
}

bool RenumberRowLists(std::string* flow, const std::vector<int32_t>& new_index, int32_t rows) {
  bool valid = true;
  ForEachRowList(*flow, [&](size_t at, size_t codes) {
    for (size_t c = 0; c < codes && valid; ++c) {
      const int32_t index = RowIndex(flow->data() + at + 4 * c);
      valid = index >= 0 && index < rows;
    }
  });
  if (!valid) return false;
  ForEachRowList(*flow, [&](size_t at, size_t codes) {
    for (size_t c = 0; c < codes; ++c) {
      char* code = &(*flow)[at + 4 * c];
      const std::string renamed = EncodeRowIndex(new_index[size_t(RowIndex(code))]);
      std::memcpy(code, renamed.data(), 4);
    }
  });
  return true;
}

bool ReorderStack(MovieBytes* movie) {
  const size_t row_bytes = size_t(movie->width) * 3;
  if (row_bytes == 0 || movie->stack.size() % row_bytes != 0) return false;
  const int32_t rows = int32_t(movie->stack.size() / row_bytes);
  const uint8_t* stack = reinterpret_cast<const uint8_t*>(movie->stack.data());
  const std::vector<int32_t> order =
      ZipFriendlyOrder(rows, row_bytes, [&](int32_t r) { return stack + size_t(r) * row_bytes; });
  if (!RenumberRowLists(&movie->flow, NewIndices(order), rows)) return false;
  std::string sorted;
  sorted.reserve(movie->stack.size());
  for (int32_t old : order) sorted.append(movie->stack, size_t(old) * row_bytes, row_bytes);
  movie->stack.swap(sorted);
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
