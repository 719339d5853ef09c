// The locator's scans over a player file of any bytes: the marker search, the
// end byte, the width field and the first row list.
#include "fuzz_support.h"
#include "movie/locator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WriteInput("QV_MoviePlayer.exe", data, size);
  fake::Reset();
  fake::state().module_path = "C:\\x\\QV_MoviePlayer.exe";
  fuzz::Run([] { LocateMovie(); });
  return 0;
}
