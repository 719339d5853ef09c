// The player's side of the movie's readers: what they report becomes the
// player's state, or the failure the player shows before it ends. Main thread.
#pragma once
#include "player/player.h"

// The header's settings; a flow that cannot be read ends the process with
// "NoFlowEx1".
void TakeSettings(Player& p);

// Builds the frame index and settles the inactive look; a fault ends the
// process with its tag or box.
void IndexMovie(Player& p);

// The movie has changed under the player: its layout is read again, as at
// start-up, and it is indexed afresh.
void Reindex(Player& p);

// Reads the layout again when the flow file is no longer the one it was read
// from (another size or time stamp); a missing flow ends the process with
// "No file '%s'".
void FollowRewrittenFlow(Player& p);

// True when the flow file exists and has changed since the index was built.
bool FlowChangedSinceIndex(const Player& p);
