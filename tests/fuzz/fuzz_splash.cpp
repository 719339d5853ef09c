// The splash reader and painter over any flow.
#include "fuzz_support.h"
#include "splash/splash.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WriteInput("flow", data, size);
  fake::Reset();
  MovieSource m;
  m.flow_path = "flow";
  m.LastFlowByte = static_cast<int32_t>(size);
  fuzz::Run([&] { PaintSplash(m, 2); });
  return 0;
}
