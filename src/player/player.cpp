#include "player/player.h"

Player& ThePlayer() {
  // Made on first use and never destroyed: threads may still read it while
  // the process ends.
  static Player* player = new Player;
  return *player;
}
