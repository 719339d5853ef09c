#include "platform/failure.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

void FailBox(const char* text, const char* caption, unsigned style) {
  platform::message_box(text, caption, style);
  platform::exit_process(kExitFailure);
}

void FailTag(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
  platform::exit_process(kExitFailure);
}
