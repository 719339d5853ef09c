// The header directives of the flow, with their defaults. The header is every
// line from the flow's start to the first frame line; each is echoed to
// standard output as it is read.
#pragma once
#include <cstdint>

#include "movie/movie_source.h"

struct PlayerSettings {
  char WindowText[kPathSize] = "Zebrik Demo";
  int32_t TitleBarHeight = 21;  // movie pixels
  int32_t CloseRightEdge = 21;  // movie pixels
  // The part of the frame that stays live while the window is in the
  // background; an x of -1 turns the inactive picture off.
  int32_t inactive_x = -1, inactive_y = -1, inactive_wid = -1, inactive_hgt = -1;
  int32_t HelpOn = 0;  // the directive as read; the banner's state is the player's
  int32_t CoverTaskBarOk = 0;
  int32_t ScreenFill = 0;           // 0, 1 or 2
  int32_t WindowRoundingStyle = 0;  // 0 or 1
};

// Reads the header into *settings, echoing each line to standard output when
// echo is set, as the player does. False when the flow cannot be read.
bool ReadSettings(const MovieSource& movie, PlayerSettings* settings, bool echo = true);

// The inactive picture shows only when the header gives its live rectangle a
// place and a size and the flow holds an inactive record; otherwise its x
// becomes -1. Nothing turns it back on, so a later index of a rewritten flow
// can only take it away.
void SettleInactiveLook(PlayerSettings* settings, bool flow_has_inactive);

// Applies one header line to the settings (exposed for tests).
void ApplyDirective(const char* line, PlayerSettings* s);
