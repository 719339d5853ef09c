// Temporary: stands in for the splash window until it lands, so the player
// links. It reports a splash that exists and is already gone.
#include "platform/platform.h"

namespace platform {

void start_splash(Player*) {}
int32_t splash_window_state() { return 1; }
bool splash_window_visible() { return false; }

}  // namespace platform
