// Small rules of the flow's text shared by every reader: the keyword prefix
// match and the rule by which a text value ends.
#pragma once

// True when the line begins with the whole keyword (trailing blank, "=" or
// double quote included), case sensitive.
bool MatchesKeyword(const char* line, const char* keyword);

// True for a byte that ends a text value: code below 16 or above 127.
inline bool EndsText(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u < 16 || u > 127;
}

// Copies the text value at src into dst, stopping at the first byte that ends
// text or after max_chars characters; terminates dst and returns the count.
int CopyText(const char* src, char* dst, int max_chars);

// The length of the frame name on a frame line ("~" and the name): every
// character after the "~" up to the first byte that ends text.
int FrameNameLength(const char* frame_line);
