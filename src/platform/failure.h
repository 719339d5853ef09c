// How the program reports and ends. Diagnostics go to standard output and are
// flushed at once, so a redirected stream shows them live. A failure shows its
// message box or writes its console tag, then ends the process with code 1.
#pragma once
#include "platform/platform.h"

void Say(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

constexpr int kExitNormal = 0;
constexpr int kExitFailure = 1;

[[noreturn]] void FailBox(const char* text, const char* caption, platform::Box box);
// Writes the tag (a printf format) with no line end, as the flow readers
// report their failures.
[[noreturn]] void FailTag(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
