#include "movie/timing_line.h"

#include "movie/flow_text.h"

namespace {

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
  t.region.left = t.delay_ms;
  t.delay_ms = -1;
  ++p;
  t.region.top = ReadDigits(line, &p);
  SkipOne(line, &p);
  t.region.right = ReadDigits(line, &p);
  SkipOne(line, &p);
  t.region.bottom = ReadDigits(line, &p);
  return t;
}
