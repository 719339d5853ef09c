// Frame presentation: render frame n (fetch and compose, render_frame.h),
// draw it into the player window and arrange the next step.
#pragma once
#include <cstdint>

#include "player/player.h"
#include "player/render_frame.h"

// Runs on the main thread only. Past the last frame it wraps to frame 0 when
// looping and otherwise shows nothing; a negative n does nothing.
void ShowFrame(Player& p, int32_t n);
