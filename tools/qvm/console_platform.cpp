// The platform for qvm, a console tool: the few operations the movie readers
// it links call. Message boxes become lines on standard error.
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace platform {

void write_output(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

void message_box(const char* text, const char* caption, Box) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
}

void exit_process(int code) {
  std::fflush(stdout);
  std::exit(code);
}

// qvm reads stacks row by row.
const uint8_t* map_file(const char*, int64_t) { return nullptr; }
void unmap_file(const uint8_t*, int64_t) {}

}  // namespace platform
