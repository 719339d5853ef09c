// Frame presentation: fetch frame n from the movie, compose it (inactive
// picture, banner), draw it into the player window and arrange the next step.
#pragma once
#include <cstdint>

#include "player/player.h"

// Runs on the main thread only. Past the last frame it wraps to frame 0 when
// looping and otherwise shows nothing; a negative n does nothing.
void ShowFrame(Player& p, int32_t n);

// A frame as read: its rows (FrameWid x FrameHgt) are in FrameCanvas.
struct FetchedFrame {
  int32_t FrameWid = 0, FrameHgt = 0;
  TimingLine timing;
};

// The file side of a presentation: confirms the frame line (rebuilding the
// index and returning false when it has moved), makes n the current frame,
// loads the rows and reads the timing line; the window and layout wait for it.
bool FetchFrame(Player& p, int32_t n, FetchedFrame* frame);
