// A row list and a stack of any bytes: the input is the row list up to its
// first line feed, two width bytes, then the stack.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "movie/movie_source.h"
#include "movie/row_list.h"

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
  return 0;
}
