// How the movie is laid out on the screen, and the three canvases frames are
// built in.
#pragma once
#include "player/player.h"

// Lays the window out for the fill mode, turns looping on when "noNotes.txt"
// exists and the banner when the header says HelpOn, and writes the summary.
// Reads StackWid, MaxFrameHgt and the settings; writes geometry, StopAtEnd, HelpOn.
void ComputeGeometry(Player* p);

// The player window's top-left corner: 40 pixels in from the work area's
// top-left corner when the window fits that way, else against the screen's
// edge. Only the area's right and bottom count.
platform::Point PlacePlayerWindow(const platform::Rect& work, const DisplayGeometry& g);

Canvases CreateCanvases();
