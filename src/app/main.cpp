// QV_MoviePlayer entry point: the start-up stages, then the message loop on
// this, the main thread, where the splash's going begins playing. Every stage
// ends the process itself on its own failures.
#include "platform/platform.h"
#include "player/player.h"
#include "player/start_up.h"

int main(int argc, char**) {
  Player& p = ThePlayer();
  StartUp(p);
  // Started with any argument, the player does not wait for the viewer to
  // let the splash go.
  if (argc > 1) BeginPlaying(p);
  return platform::run_player();
}
