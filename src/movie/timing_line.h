// The timing line: two tokens the player does not read, then the delay field.
// A comma right after the delay's digits gives the click form, whose four
// numbers are the left, top, right and bottom of a click region.
#pragma once
#include <cstdint>

// A rectangle of the frame in movie pixels, its bounds inclusive.
struct ClickRegion { int32_t left = 0, top = 0, right = 0, bottom = 0; };

struct TimingLine {
  int32_t delay_ms = 0;  // the delay field; -1 in the click form: the frame waits
  bool click = false;
  ClickRegion region;    // the click form's region; all 0 in the timed form
};

// Every scan stops at the line's end, so a line that ends before its fields
// reads as delay 0. Digit runs too long for 32 bits are clamped.
TimingLine ReadTimingLine(const char* line);
