#include "movie/settings.h"

#include <cstring>

#include "movie/flow_text.h"
#include "movie/line_reader.h"
#include "platform/failure.h"

namespace {

// Passes over characters that are neither digits nor text ends; returns false
// when a text end (line end included) comes first.
bool SkipToDigit(const char* line, int* p) {
  while (!IsDigit(line[*p])) {
    if (EndsText(line[*p])) return false;
    ++*p;
  }
  return true;
}

// One- or two-digit number; the setting keeps its value when there is none.
void ReadSmallNumber(const char* line, int p, int32_t* value) {
  if (!SkipToDigit(line, &p)) return;
  int32_t v = line[p] - '0';
  if (IsDigit(line[p + 1])) v = v * 10 + (line[p + 1] - '0');
  *value = v;
}

// Two numbers; both are written whenever the keyword matches. The byte after
// the first run is a separator of any kind.
void ReadPair(const char* line, int p, int32_t* first, int32_t* second) {
  *first = 0;
  *second = 0;
  if (SkipToDigit(line, &p)) *first = ReadDigits(line, &p);
  if (line[p] == '\0') return;
  ++p;
  if (IsDigit(line[p])) *second = ReadDigits(line, &p);
}

// One digit from low to high after "=", else 0.
int32_t ReadDigitSetting(const char* line, int p, char high) {
  char c = line[p];
  return (c >= '0' && c <= high) ? c - '0' : 0;
}

void ReadTitle(const char* line, int p, char* title) {
  int n = 0;
  while (n < kPathSize - 1 && line[p] != '"' && !EndsText(line[p])) title[n++] = line[p++];
  title[n] = '\0';
}

}  // namespace

void ApplyDirective(const char* line, PlayerSettings* s) {
  if (MatchesKeyword(line, "WindowText \"")) {
    ReadTitle(line, 12, s->WindowText);
  } else if (MatchesKeyword(line, "TitleBarHeight ")) {
    ReadSmallNumber(line, 15, &s->TitleBarHeight);
  } else if (MatchesKeyword(line, "CloseRightEdge ")) {
    ReadSmallNumber(line, 15, &s->CloseRightEdge);
  } else if (MatchesKeyword(line, "InactiveUpperLeft ")) {
    ReadPair(line, 18, &s->inactive_x, &s->inactive_y);
  } else if (MatchesKeyword(line, "InactiveWidHeight ")) {
    ReadPair(line, 18, &s->inactive_wid, &s->inactive_hgt);
  } else if (MatchesKeyword(line, "HelpOn")) {
    s->HelpOn = 1;
  } else if (MatchesKeyword(line, "CoverTaskBarOk")) {
    s->CoverTaskBarOk = 1;
  } else if (MatchesKeyword(line, "ScreenFill=")) {
    s->ScreenFill = ReadDigitSetting(line, 11, '2');
  } else if (MatchesKeyword(line, "WindowRoundingStyle=")) {
    s->WindowRoundingStyle = ReadDigitSetting(line, 20, '1');
  }
}

bool ReadSettings(const MovieSource& movie, PlayerSettings* settings, bool echo) {
  PlayerSettings& s = *settings;
  s = PlayerSettings();
  LineReader flow;
  if (!flow.open(movie.flow_path.c_str()) || !flow.seek(movie.FirstFlowByte)) return false;
  static char line[kLineSize];
  // The first line gets the short buffer: in an appended movie it is the rest
  // of the marker line.
  bool more = flow.read(line, kShortLineSize);
  while (more && line[0] != '~') {
    if (flow.position() >= movie.LastFlowByte) break;
    if (echo) Say(flow.ended() ? "%s\n" : "%s", line);
    ApplyDirective(line, &s);
    more = flow.read(line, kLineSize);
  }
  return true;
}

void SettleInactiveLook(PlayerSettings* s, bool flow_has_inactive) {
  if (!flow_has_inactive || s->inactive_y < 0 || s->inactive_wid <= 0 || s->inactive_hgt <= 0) {
    s->inactive_x = -1;
  }
}
