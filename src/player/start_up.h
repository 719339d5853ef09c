// The player's start-up in its fixed order, shared by every shell: the stages
// up to the frame index, then, once the viewer has let the splash go (or at
// once when the player was started with an argument), the window and frame 0.
// Nothing here waits: each shell calls BeginPlaying when its splash says it
// was let go, or at once.
#pragma once
#include "player/player.h"

// Locates the movie, reads its header, makes the start-up choices, lays the
// window out, creates it hidden, puts up the splash, makes the canvases,
// builds the frame index and lets the splash invite the viewer. Every stage
// ends the process on its own failures.
void StartUp(Player& p);

// The choices the header and the folder make before the first frame: the
// banner as the header says, looping on where "noNotes.txt" is in the
// current directory. Then the start-up summary, which names the layout's
// Scale: made after the layout, once.
void TakeStartChoices(Player& p);

// Shows the player window and frame 0; later calls do nothing, so the splash
// let go after the player began (started with an argument) changes nothing.
void BeginPlaying(Player& p);
