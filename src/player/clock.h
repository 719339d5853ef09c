// The playback clock: a run per timed frame, on a thread the platform lends,
// sleeps the frame's delay less an allowance for fetching the next, then asks for it.
#pragma once
#include <cstdint>

#include "player/player.h"

// The allowance in ms: 25, and 1 more for every 1,250 frames, at most 200.
int32_t ClockCompensation(int32_t last_frame);

// One clock run: notes the current frame, sleeps, and asks for the next frame
// only when still playing, still on the noted frame, and no other clock's
// request is still on its way.
void RunClock(Player& p);

// Starts a clock run for the player on another thread.
void StartClock(Player& p);

// Called as a request for frame n reaches the main thread: a clock's request
// for it has arrived.
void RequestArrived(Player& p, int32_t n);
