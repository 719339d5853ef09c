// The line reader and the settings reader over any flow.
#include "fuzz_support.h"
#include "movie/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WriteInput("flow", data, size);
  MovieSource m;
  std::snprintf(m.flow_path, kPathSize, "flow");
  m.LastFlowByte = static_cast<int32_t>(size);
  fuzz::Run([&] { ReadSettings(m); });
  // An appended flow starts after the marker: any start within the file.
  if (size > 2) {
    m.FirstFlowByte = data[0] % size;
    fuzz::Run([&] { ReadSettings(m); });
  }
  return 0;
}
