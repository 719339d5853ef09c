// The splash screen's decisions: where its window goes, what one paint draws
// (the movie's splash block, the key help and the status line) and what the
// viewer's keys do.
// The win32 shell owns the window, its thread and its drawing context.
#pragma once
#include <cstdint>

#include "movie/movie_source.h"
#include "platform/platform.h"

// The splash window, in screen pixels, and its colours (0x00BBGGRR).
constexpr int32_t kSplashWid = 560;
constexpr int32_t kSplashHgt = 500;
constexpr uint32_t kSplashBackground = 0xC8FFC8;  // pale green
constexpr uint32_t kSplashLineColour = 0x000000;
constexpr uint32_t kHelpColour = 0x191919;
constexpr uint32_t kStatusColour = 0x000080;      // dark red

// Draws the whole splash through the platform's splash painting operations.
// The flow is read afresh on every paint; indexing_done is the frame index's
// IndexingDone (0 while the index is being built). Ends the process with
// "NoFlowS1" when the flow cannot be read.
void PaintSplash(const MovieSource& movie, int32_t indexing_done);

// The splash window's top-left corner: centred on the work area.
platform::Point PlaceSplash(const platform::Rect& work);

// A key pressed on the splash once it invites a click: true when it dismisses
// the splash (Right arrow). Esc ends the program here; other keys do nothing.
bool OnSplashKey(platform::Key key);
