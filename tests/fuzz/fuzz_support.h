// Shared by the fuzz targets: the input is written to a file (the readers take
// files), the program's own ending is caught, and standard output is silenced.
#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "support/fake_platform.h"

namespace fuzz {

// A scratch directory of this process, made the current directory once.
inline const std::string& Dir() {
  static const std::string dir = [] {
    std::string d = "/tmp/qv_fuzz_" + std::to_string(getpid());
    mkdir(d.c_str(), 0700);
    if (chdir(d.c_str()) != 0) std::abort();
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    return d;
  }();
  return dir;
}

inline void WriteInput(const char* name, const uint8_t* data, size_t size) {
  Dir();
  std::FILE* f = std::fopen(name, "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

// Runs f; the program ending itself (a refusal with its message) is a normal outcome.
template <typename F>
void Run(F f) {
  try {
    f();
  } catch (const fake::Exited&) {
  }
}

}  // namespace fuzz
