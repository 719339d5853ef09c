#include "platform/failure.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace {
void SayList(const char* format, va_list args) {
  char text[1024];
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(text, sizeof text, format, args);
  if (length >= int(sizeof text)) {
    // Rare: a header line echoed whole.
    char* longer = static_cast<char*>(std::malloc(size_t(length) + 1));
    if (longer) {
      std::vsnprintf(longer, size_t(length) + 1, format, again);
      platform::write_output(longer);
      std::free(longer);
    }
  } else if (length > 0) {
    platform::write_output(text);
  }
  va_end(again);
}
}  // namespace

void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  SayList(format, args);
  va_end(args);
}

void FailBox(const char* text, const char* caption, platform::Box box) {
  platform::message_box(text, caption, box);
  platform::exit_process(kExitFailure);
}

void FailTag(const char* format, ...) {
  va_list args;
  va_start(args, format);
  SayList(format, args);
  va_end(args);
  platform::exit_process(kExitFailure);
}
