#include "movie/flow_text.h"

#include <cstring>

bool MatchesKeyword(const char* line, const char* keyword) {
  return std::strncmp(line, keyword, std::strlen(keyword)) == 0;
}

int CopyText(const char* src, char* dst, int max_chars) {
  int n = 0;
  while (n < max_chars && !EndsText(src[n])) {
    dst[n] = src[n];
    ++n;
  }
  dst[n] = '\0';
  return n;
}

int FrameNameLength(const char* frame_line) {
  int n = 0;
  while (!EndsText(frame_line[1 + n])) ++n;
  return n;
}
