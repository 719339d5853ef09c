// The playback clock: one short-lived thread per timed frame, which sleeps the
// frame's delay less an allowance for fetching the next frame, then asks for it.
#pragma once
#include <cstdint>

#include "player/player.h"

// The allowance in ms: 25, and 1 more for every 1,250 frames, at most 200.
int32_t ClockCompensation(int32_t last_frame);

// One clock run: notes the current frame, sleeps, and posts the next frame
// only when still playing and still on the noted frame.
void RunClock(Player& p);

// Starts a clock thread for the player.
void StartClock(Player& p);
