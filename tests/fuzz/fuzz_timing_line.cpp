// Timing lines of any bytes.
#include <string>

#include "fuzz_support.h"
#include "movie/timing_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  TimingLine t = ReadTimingLine(line.c_str());
  const ClickRegion& r = t.region;  // the click form's delay is -1: the frame waits
  if (t.click ? t.delay_ms != -1 : t.delay_ms < 0) __builtin_trap();
  if (r.left < 0 || r.top < 0 || r.right < 0 || r.bottom < 0) __builtin_trap();
  return 0;
}
