// A row list and a stack of any bytes: the input is the row list up to its
// first line feed, two width bytes, then the stack. The rows put in play
// order must show the same picture.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "movie/movie_source.h"
#include "movie/row_list.h"
#include "movie/row_order.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<uint8_t> canvas(size_t(kCanvasRowBytes) * kMaxRows);
  static int32_t held[kMaxRows];
  const uint8_t* lf = static_cast<const uint8_t*>(std::memchr(data, '\n', size));
  size_t list_len = lf ? size_t(lf - data) : size;
  std::string list = "$" + std::string(reinterpret_cast<const char*>(data), list_len);
  const uint8_t* rest = lf ? lf + 1 : data + size;
  size_t rest_len = size - size_t(rest - data);
  if (rest_len < 2) return 0;
  int32_t wid = rest[0] * 256 + rest[1];
  fuzz::WriteInput("stack", rest, rest_len);
  StackFile stack;
  if (!stack.open("stack")) return 0;
  for (int32_t& h : held) h = -1;
  LoadRowList(list.c_str(), stack, wid, 2, canvas.data());
  LoadRowList(list.c_str(), stack, wid, 2, canvas.data(), held);
  LoadRowList(list.c_str(), stack, wid, 2, canvas.data(), held);

  // In the flow the list is the line after a frame line, which the player
  // reads without the carriage return before its line feed. Where the rows
  // can be put in play order, every code names a whole row, so every row is
  // copied.
  std::string flow = "~\n" + list + "\n";
  if (!list.empty() && list.back() == '\r') list.pop_back();
  std::vector<uint8_t> ordered(rest, rest + rest_len);
  if (!PutRowsInPlayOrder(flow.data(), flow.size(), ordered.data() + 2, int64_t(rest_len) - 2, wid, 2)) {
    return 0;
  }
  const int32_t rows = LoadRowList(list.c_str(), stack, wid, 2, canvas.data());
  static std::vector<uint8_t> again(canvas.size());
  fuzz::WriteInput("stack", ordered.data(), ordered.size());
  if (!stack.open("stack")) std::abort();
  LoadRowList(flow.substr(2, list.size()).c_str(), stack, wid, 2, again.data());
  const size_t row_bytes = size_t(wid < kMaxStackWid ? wid : kMaxStackWid) * 3;
  for (int32_t y = 0; y < rows && y < kMaxRows; ++y) {
    const size_t at = size_t(y) * kCanvasRowBytes;
    if (std::memcmp(canvas.data() + at, again.data() + at, row_bytes) != 0) std::abort();
  }
  return 0;
}
