// Frame presentation: fetch frame n from the movie, compose it (inactive
// picture, banner), draw it into the player window and arrange the next step.
#pragma once
#include <cstdint>

#include "player/player.h"

// Runs on the main thread only. Past the last frame it wraps to frame 0 when
// looping and otherwise shows nothing; a negative n does nothing.
void ShowFrame(Player& p, int32_t n);

// The file side of a presentation: confirms the frame line (rebuilding the
// index and returning false when it has moved), loads the rows into
// FrameCanvas and reads the timing line into StepDelay and the click region.
bool FetchFrame(Player& p, int32_t n);

// The banner text for the frame now shown (exposed for tests).
void BannerText(const Player& p, int32_t n, char* text, int size);
