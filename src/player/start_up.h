// The player's start-up in its fixed order, shared by every shell: the stages
// up to the frame index, then, once the viewer has let the splash go (or at
// once when the player was started with an argument), the window and frame 0.
// The wait between the two is the shell's: the Windows main thread polls the
// splash window, the page waits for the viewer's click.
#pragma once
#include "player/player.h"

// Locates the movie, reads its header, lays the window out, creates it
// hidden, starts the splash (and waits for its window), makes the canvases
// and builds the frame index. Every stage ends the process on its own
// failures.
void StartUp(Player& p);

// Shows the player window and asks for frame 0, then runs the platform's
// message loop where it has one; returns the process's exit code. The page's
// loop is the browser's own, so there it returns at once.
int BeginPlaying(Player& p);
