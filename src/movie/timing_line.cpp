#include "movie/timing_line.h"

namespace {

int32_t ReadDigits(const char* line, int* p) {
  int64_t value = 0;
  while (line[*p] >= '0' && line[*p] <= '9') {
    value = value * 10 + (line[*p] - '0');
    if (value > INT32_MAX) value = INT32_MAX;
    ++*p;
  }
  return static_cast<int32_t>(value);
}

void SkipBlanks(const char* line, int* p) {
  while (line[*p] == ' ') ++*p;
}

void SkipToken(const char* line, int* p) {
  while (line[*p] != ' ' && line[*p] != '\0') ++*p;
}

// Steps over one separator the format does not check, but never past the end.
void SkipOne(const char* line, int* p) {
  if (line[*p] != '\0') ++*p;
}

}  // namespace

TimingLine ReadTimingLine(const char* line) {
  TimingLine t;
  int p = 0;
  SkipBlanks(line, &p);
  SkipToken(line, &p);
  SkipBlanks(line, &p);
  SkipToken(line, &p);
  SkipBlanks(line, &p);
  t.delay_ms = ReadDigits(line, &p);
  if (line[p] != ',') return t;
  t.click = true;
  ++p;
  t.top = ReadDigits(line, &p);
  SkipOne(line, &p);
  t.right = ReadDigits(line, &p);
  SkipOne(line, &p);
  t.bottom = ReadDigits(line, &p);
  return t;
}
