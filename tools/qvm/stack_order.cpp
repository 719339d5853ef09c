#include "qvm/stack_order.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "qvm/output_file.h"

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

bool ReorderMovieFile(const MovieSource& layout, std::string* bytes) {
  if (layout.FirstFlowByte != 0 || layout.FirstStackByte > int64_t(bytes->size())) return false;
  MovieBytes movie;
  movie.flow = bytes->substr(0, size_t(layout.LastFlowByte));
  movie.width = layout.StackWid;
  movie.stack = bytes->substr(size_t(layout.FirstStackByte));
  if (!ReorderStack(&movie)) return false;
  *bytes = MovieFileBytes(movie);
  return true;
}

const char kBeyondOffsets[] = "the movie would pass 2147483647 bytes, beyond the player's offsets";

bool WithinOffsets(size_t flow_bytes, int64_t rows, size_t row_bytes) {
  return int64_t(flow_bytes) + 3 + rows * int64_t(row_bytes) <= INT32_MAX;
}

std::string WriteSortedMovie(OutputFile* out, std::string flow, int32_t width, int32_t rows,
                             const std::function<const uint8_t*(int32_t)>& row_at) {
  const size_t row_bytes = size_t(width) * 3;
  if (!WithinOffsets(flow.size(), rows, row_bytes)) return kBeyondOffsets;
  const std::vector<int32_t> order = ZipFriendlyOrder(rows, row_bytes, row_at);
  if (!RenumberRowLists(flow.data(), flow.size(), NewIndices(order))) {
    return "the row lists cannot be renumbered to match the sorted rows: one names a row the stack "
           "lacks, or a flow line is longer than the player reads whole";
  }
  out->Write(flow);
  out->Write(FlowEnd(width));
  for (int32_t old : order) out->Write(row_at(old), row_bytes);
  out->Commit();
  return "";
}
