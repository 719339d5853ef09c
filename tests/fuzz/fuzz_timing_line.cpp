// Timing lines of any bytes.
#include <string>

#include "fuzz_support.h"
#include "movie/timing_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  TimingLine t = ReadTimingLine(line.c_str());
  if (t.delay_ms < 0 || t.top < 0 || t.right < 0 || t.bottom < 0) __builtin_trap();
  return 0;
}
