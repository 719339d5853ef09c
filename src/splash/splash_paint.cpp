// One paint of the splash, back to front: the background, the movie's splash
// block, the key help and the status line with its cursor.
#include "platform/platform.h"
#include "splash/splash.h"
#include "splash/splash_block.h"

namespace {

constexpr int32_t kHelpFontHgt = 35;
constexpr int32_t kKeyFontHgt = 25;

struct KeyLine {
  int32_t y;
  const char* text;
};

// Bottom line first: each opaque cell is 25 pixels high on a 20-pixel pitch,
// so every line covers the top of the one below it, and the order decides
// which edge shows.
constexpr KeyLine kKeyLines[] = {
    {433, " F2 = Toggle Looping Play Mode "},
    {413, " F1 = Hide Red Frame Numbers "},
    {393, " PAGEUP = Skip backward 100 frames "},
    {373, " PAGEDOWN = Skip forward 100 frames "},
    {353, " ESC = Close the window(s) and Exit the demo "},
    {333, " Home key = Return to demo Home"},
    {313, " Right Arrow = Step Foreward in the flow (while Paused) "},
    {293, " Left Arrow = Step Backward in the flow (while Paused) "},
    {273, " SPACEBAR = Pause / Continue play "},
};

constexpr const char* kWaitText = "  Initializing - please wait... ";
constexpr const char* kClickText = "  Click anywhere in the window to run the demo...  ";

// x is (560 - width) / 2 truncated toward zero, negative for a text wider
// than the window.
void DrawCentred(int32_t y, int32_t height, uint32_t colour, const char* text) {
  int32_t width = platform::splash_text_width(height, platform::kFontQualityDefault, text);
  platform::splash_draw_text((kSplashWid - width) / 2, y, height, platform::kFontQualityDefault,
                             colour, false, text);
}

void DrawKeyHelp() {
  DrawCentred(175, kHelpFontHgt, kHelpColour, "---- Demo Help ----");
  platform::splash_draw_text(50, 240, kKeyFontHgt, platform::kFontQualityDefault, kHelpColour,
                             false, "Keyboard keys with special functions...");
  // Opaque cells take the drawing context's own background colour, white.
  for (const KeyLine& k : kKeyLines) {
    platform::splash_draw_text(20, k.y, kKeyFontHgt, platform::kFontQualityDefault, kHelpColour,
                               true, k.text);
  }
}

void DrawStatus(int32_t indexing_done) {
  platform::set_cursor(platform::kCursorArrow);
  const char* text = kClickText;
  if (indexing_done == 0) {
    text = kWaitText;
    platform::set_cursor(platform::kCursorWait);
  }
  DrawCentred(465, kKeyFontHgt, kStatusColour, text);
}

}  // namespace

void PaintSplash(const MovieSource& movie, int32_t indexing_done) {
  platform::splash_fill(kSplashWid, kSplashHgt, kSplashBackground);
  DrawSplashBlock(movie);
  DrawKeyHelp();
  DrawStatus(indexing_done);
}
