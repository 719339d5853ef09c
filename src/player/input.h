// The viewer's control of playback: keys, clicks, the title strip and the
// looping notice. The window shell turns its messages into these calls; every
// decision is made here.
#pragma once
#include <cstdint>

#include "player/player.h"

// What a point of the window is: the title strip drags the window.
enum class HitArea { kClient, kDragStrip };

// A point given in screen pixels from the window's top-left corner.
HitArea HitTest(const Player& p, int32_t window_x, int32_t window_y);

void OnKey(Player& p, platform::Key key);

// A left click at a client position in screen pixels: the close area ends the
// process, the minimise area minimises, and a click inside the click region of
// a frame that waits asks for the next frame.
void OnClick(Player& p, int32_t client_x, int32_t client_y);

// The cursor for the pointer over the window: busy while a timed frame plays.
void OnMouseMove(const Player& p);

// Shows the looping state in one or two message boxes; F2 has the platform
// call it beside the player, so the boxes block nothing of playback.
void LoopingNotice(void* player, int32_t);

// Converts a window position in screen pixels to movie pixels of the picture.
int32_t ToMovieX(const DisplayGeometry& g, int32_t screen_x);
int32_t ToMovieY(const DisplayGeometry& g, int32_t screen_y);
