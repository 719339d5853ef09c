// Click logs, as screen recorders and input loggers write them: one click a
// line, its time, x and y and perhaps the button. Each click becomes a click
// stop whose box, of a size the author chooses, is centred on it and clipped
// to the picture.
#pragma once
#include <cstdint>
#include <string>

#include "movie/timing_line.h"

struct LoggedClick {
  int64_t at_ms = 0;
  int32_t x = 0, y = 0;
  std::string where;  // "FILE line N", for the messages
};

// True for a line of the "T:X1,Y1,X2,Y2" form: four whole numbers after its
// last colon, separated by commas alone. A log's fields are separated by
// blanks, tabs, commas or semicolons, so a log line that also looks like this
// (a time M:SS, x, y and a button number, with commas) is read as a region.
bool IsRegionLine(const std::string& line);

// Reads "T X Y [BUTTON]"; false for a line that has no number where the time
// belongs (a log's column heads). Throws, naming where, for a bad number.
//   T: seconds ("12", "12.5", "12.345678", "12.5s"), milliseconds ("12500ms"),
//      or minutes and seconds ("1:02.5", "0:01:02.5").
//   X, Y: movie pixels from the top left; a fraction is dropped.
//   BUTTON: any word ("left", "right", "1"); every button's click stops.
bool ParseLoggedClick(const std::string& line, const std::string& where, LoggedClick* click);

// The box_w x box_h box centred on the click, its edges clipped to the
// width x height picture; throws when the click lies outside the picture.
ClickRegion BoxAround(const LoggedClick& click, int32_t box_w, int32_t box_h, int32_t width, int32_t height);
