// How the movie is laid out on the screen, and the three canvases frames are
// built in.
#pragma once
#include "player/player.h"

// Lays the window out for the fill mode, turns looping on when "noNotes.txt"
// exists, and writes the geometry summary. Reads StackWid, MaxFrameHgt and
// the settings; writes p->geometry and p->StopAtEnd.
void ComputeGeometry(Player* p);

Canvases CreateCanvases();
