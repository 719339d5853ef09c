// Small rules of the flow's text shared by every reader: the keyword prefix
// match, the rule by which a text value ends, and digit runs as numbers.
#pragma once
#include <algorithm>
#include <cstdint>

// True when the line begins with the whole keyword (trailing blank, "=" or
// double quote included), case sensitive.
bool MatchesKeyword(const char* line, const char* keyword);

// True for a byte that ends a text value: code below 16 or above 127.
inline bool EndsText(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u < 16 || u > 127;
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The run of digits at line[*p] as a number, clamped to 32 bits (0 for none);
// *p ends after it.
inline int32_t ReadDigits(const char* line, int* p) {
  int64_t value = 0;
  for (; IsDigit(line[*p]); ++*p) value = std::min<int64_t>(value * 10 + line[*p] - '0', INT32_MAX);
  return static_cast<int32_t>(value);
}

// Copies the text value at src into dst, stopping at the first byte that ends
// text or after max_chars characters; terminates dst and returns the count.
int CopyText(const char* src, char* dst, int max_chars);

// The length of the frame name on a frame line ("~" and the name): every
// character after the "~" up to the first byte that ends text.
int FrameNameLength(const char* frame_line);
