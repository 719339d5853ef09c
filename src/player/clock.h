// The playback clock: every timed frame stays on screen for its delay. A
// frame is due when the frame before it was due plus that frame's delay, so
// due times chain and a long movie does not drift; the clock asks for the
// next frame that much before its due time that presenting it costs, as
// measured. The chain starts afresh from the present moment when the viewer
// acts or when the player has fallen behind by more than a frame: it never
// races to catch up.
#pragma once
#include <cstdint>

#include "player/player.h"

// Called as a request for frame n reaches the main thread; true when it is the
// clock's own request for it, which continues the chain.
bool RequestArrived(Player& p, int32_t n);

// Called once frame n (the frame shown, after any wrap) is on screen, with the
// time its presentation began: keeps the chain and starts the clock of a
// timed frame. A frame that waits for a click starts none, except the last
// frame of a looping movie, which never waits: it stays 2000 ms.
void TimeFrame(Player& p, int32_t n, double started_ms, bool from_clock);

// The viewer acted: the next frame shown starts the chain afresh.
void RestartTiming(Player& p);

// One clock running out: asks for the frame after `noted` only when the movie
// is still playing and still at that frame, and no other clock's request is
// still on its way.
void ClockDue(Player& p, int32_t noted);
