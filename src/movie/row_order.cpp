#include "movie/row_order.h"

#include <cstring>

#include "movie/flow_text.h"
#include "movie/movie_source.h"
#include "movie/row_list.h"

namespace {

// Calls visit(offset of the first code, code count) for every row list.
// False, having stopped there, at a line longer than the player reads whole:
// it reads such a line in pieces, and a piece may then begin like a frame
// line where this sees none.
template <typename Visit>
bool ForEachRowList(const char* flow, size_t size, Visit visit) {
  bool list_next = false;
  size_t start = 0;
  while (start < size) {
    const void* newline = std::memchr(flow + start, '\n', size - start);
    const size_t end = newline ? size_t(static_cast<const char*>(newline) - flow) : size;
    size_t text_end = end;
    if (text_end > start && flow[text_end - 1] == '\r') --text_end;
    if (text_end - start > size_t(kLineSize - 2)) return false;
    if (list_next && start < text_end && flow[start] == '$') {
      visit(start + 1, (text_end - start - 1) / 4);
    }
    // The flow has no terminator: the keyword is looked for only where the
    // line is long enough to hold it.
    constexpr char kInactive[] = "InactiveFrame";
    list_next = start < end && (flow[start] == '~' || (end - start >= sizeof kInactive - 1 &&
                                                       MatchesKeyword(flow + start, kInactive)));
    start = end + 1;
  }
  return true;
}

// Calls name(index) for each code of each row list, in the flow's order.
// False at a code outside the code set or naming a row at or past rows, or
// at a line read in pieces (see ForEachRowList).
template <typename Name>
bool ForEachNamedRow(const char* flow, size_t size, int64_t rows, Name name) {
  bool valid = true;
  const bool whole = ForEachRowList(flow, size, [&](size_t at, size_t codes) {
    for (size_t c = 0; c < codes && valid; ++c) {
      const int32_t index = RowIndex(flow + at + 4 * c);
      valid = index >= 0 && index < rows;
      if (valid) name(index);
    }
  });
  return whole && valid;
}

// The renumbering itself, for row lists already found valid.
void RewriteRowLists(char* flow, size_t size, const std::vector<int32_t>& new_index) {
  ForEachRowList(flow, size, [&](size_t at, size_t codes) {
    for (size_t c = 0; c < codes; ++c) {
      char* code = flow + at + 4 * c;
      WriteRowIndex(new_index[size_t(RowIndex(code))], code);
    }
  });
}

}  // namespace

std::vector<int32_t> NewIndices(const std::vector<int32_t>& order) {
  std::vector<int32_t> new_index(order.size());
  for (size_t place = 0; place < order.size(); ++place) new_index[size_t(order[place])] = int32_t(place);
  return new_index;
}

bool RenumberRowLists(char* flow, size_t size, const std::vector<int32_t>& new_index) {
  if (!ForEachNamedRow(flow, size, int64_t(new_index.size()), [](int32_t) {})) return false;
  RewriteRowLists(flow, size, new_index);
  return true;
}

void PermuteRows(uint8_t* stack, size_t row_bytes, const std::vector<int32_t>& order) {
  // Each cycle of the order is followed once, with one row set aside.
  std::vector<uint8_t> spare(row_bytes);
  std::vector<bool> placed(order.size());
  for (size_t start = 0; start < order.size(); ++start) {
    if (placed[start]) continue;
    std::memcpy(spare.data(), stack + start * row_bytes, row_bytes);
    size_t place = start;
    for (;;) {
      placed[place] = true;
      const size_t from = size_t(order[place]);
      if (from == start) break;
      std::memcpy(stack + place * row_bytes, stack + from * row_bytes, row_bytes);
      place = from;
    }
    std::memcpy(stack + place * row_bytes, spare.data(), row_bytes);
  }
}

bool PutRowsInPlayOrder(char* flow, size_t flow_bytes, uint8_t* stack, int64_t stack_bytes,
                        int32_t stack_wid, int64_t first_stack_byte) {
  const int64_t row_bytes = int64_t{stack_wid} * 3;
  if (row_bytes <= 0 || stack_bytes % row_bytes != 0 ||
      first_stack_byte + stack_bytes - row_bytes > INT32_MAX) {
    return false;
  }
  const int32_t rows = int32_t(stack_bytes / row_bytes);
  std::vector<int32_t> order;
  std::vector<bool> named(static_cast<size_t>(rows));
  const bool valid = ForEachNamedRow(flow, flow_bytes, rows, [&](int32_t index) {
    if (named[size_t(index)]) return;
    named[size_t(index)] = true;
    order.push_back(index);
  });
  if (!valid) return false;
  for (int32_t r = 0; r < rows; ++r) {
    if (!named[size_t(r)]) order.push_back(r);
  }
  RewriteRowLists(flow, flow_bytes, NewIndices(order));
  PermuteRows(stack, size_t(row_bytes), order);
  return true;
}
