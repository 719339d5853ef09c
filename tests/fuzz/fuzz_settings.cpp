// The line reader and the settings reader over any flow.
#include "fuzz_support.h"
#include "movie/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WriteInput("flow", data, size);
  MovieSource m;
  m.flow_path = "flow";
  m.LastFlowByte = static_cast<int32_t>(size);
  fuzz::Run([&] {
    PlayerSettings s;
    ReadSettings(m, &s);
  });
  // An appended flow starts after the marker: any start within the file.
  if (size > 2) {
    m.FirstFlowByte = data[0] % size;
    fuzz::Run([&] {
      PlayerSettings s;
      ReadSettings(m, &s);
    });
  }
  return 0;
}
