// What the web platform's files share, and the page's entry points into the
// player (shell.cpp): the page turns its events into these calls, as the
// Windows shell turns messages into calls of the same handlers.
#pragma once
#include <cstdint>

struct MovieSource;
struct Player;

namespace web {

// The page's files are the page's own memory, which the player may rewrite.
void AddFile(const char* path, uint8_t* data, int64_t size);
void SetModuleFile(const char* path);
void PutRowsInPlayOrder(const MovieSource& movie);

void RunTimer(int32_t id);

bool PlayerWindowShown();
void PlacePlayerWindow(const Player& p);
void ForgetWindowPicture();

bool SplashShown();
void PlaceSplashWindow();
void PaintSplashWindow();
void HideSplash();

}  // namespace web
