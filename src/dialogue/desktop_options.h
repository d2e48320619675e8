// Options 8 and 9: the desktop's file opener and calculator, and the screen
// cleared for the credit lines.
#pragma once

#include "dialogue/console.h"
#include "os/platform.h"

namespace census {

// Asks the platform to open "media-files.dat", then to start the
// calculator, whatever the first request achieved. Writes nothing itself.
void runShellCommands(Console& console, Platform& platform);

// Clears the screen, then writes three credit lines.
void showCredits(Console& console, Platform& platform);

}  // namespace census
