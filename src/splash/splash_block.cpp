#include "splash/splash_block.h"

#include <cstdlib>
#include <cstring>

#include "movie/flow_text.h"
#include "movie/line_reader.h"
#include "platform/failure.h"
#include "platform/platform.h"
#include "splash/splash.h"

namespace {

constexpr int32_t kFirstLineY = 15;

// The block's text starts at the fifth character; the fourth is a separator
// of any kind, so "40 Wide" shows "ide".
constexpr int kTextStart = 4;

// Finds the "SplashText" line; false when the flow's header has none.
bool FindBlockStart(LineReader* flow, char* line, int32_t last_flow_byte) {
  while (flow->read(line, kShortLineSize)) {
    if (MatchesKeyword(line, "SplashText")) return true;
    if (flow->position() >= last_flow_byte) return false;
  }
  return false;
}

void DrawLine(const char* line, int length, int32_t height, int32_t y) {
  char text[kShortLineSize];
  if (length <= kTextStart) return;
  if (CopyText(line + kTextStart, text, kShortLineSize - 1) == 0) return;
  int32_t width = platform::splash_text_width(height, platform::kFontQualityProof, text);
  platform::splash_draw_text((kSplashWid - width) / 2, y, height, platform::kFontQualityProof,
                             kSplashLineColour, false, text);
}

}  // namespace

int32_t SplashLineHeight(const char* line) {
  // Only the first three characters count, so "1234" asks for 123.
  char head[4] = {};
  for (int i = 0; i < 3 && line[i] != '\0'; ++i) head[i] = line[i];
  int32_t height = std::atoi(head);
  return height <= 4 ? 5 : height;
}

void DrawSplashBlock(const MovieSource& movie) {
  LineReader flow;
  if (!flow.open(movie.flow_path.c_str()) || !flow.seek(movie.FirstFlowByte)) FailTag("NoFlowS1");
  // 296 bytes, as the block has always been read: a longer line comes in
  // pieces and each piece is a line of its own.
  char line[kShortLineSize];
  if (!FindBlockStart(&flow, line, movie.LastFlowByte)) return;
  int32_t y = kFirstLineY;
  while (flow.read(line, kShortLineSize)) {
    if (MatchesKeyword(line, "EndSplashText")) return;
    // The line that reaches the end of the flow is not part of the block.
    if (flow.position() >= movie.LastFlowByte) return;
    int32_t height = SplashLineHeight(line);
    DrawLine(line, flow.length(), height, y);
    y += (4 * height) / 5;
    // Heights only push later lines down: once a line would start below the
    // window nothing more can show, and a block left open in a long flow is
    // not read through on every paint. It also keeps y far from overflow.
    if (y >= kSplashHgt) return;
  }
}
