#include "platform/failure.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

namespace {
void SayList(const char* format, va_list args) {
  std::vprintf(format, args);
  std::fflush(stdout);
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
