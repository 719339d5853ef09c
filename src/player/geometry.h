// How the movie is laid out on the screen, and the three canvases frames are
// built in.
#pragma once
#include "player/player.h"

// Lays the window out for the fill mode on the screen the platform reports now
// (the work area, or the whole screen with CoverTaskBarOk). Any screen, 0 x 0
// included, and any movie size give a Scale of at least 1 and a window and a
// picture of at least one pixel each way.
DisplayGeometry ComputeGeometry(const MovieSource& m, const PlayerSettings& s);

// Screen pixels of movie_px movie pixels at a Scale: at least one where the
// movie has any.
int32_t ScaledSize(int32_t movie_px, int32_t scale);

// The player window's top-left corner: 40 pixels in from the work area's
// top-left corner when the window fits that way, else against the screen's
// edge. Only the area's right and bottom count.
platform::Point PlacePlayerWindow(const platform::Rect& work, const DisplayGeometry& g);

Canvases CreateCanvases();
