// Options 8 and 9: fixed commands for the system command interpreter.
#pragma once

#include "shell/console.h"
#include "shell/platform.h"

namespace census {

// Asks the interpreter to open "media-files.dat", then to start the
// calculator, whatever the first call achieved. Writes nothing itself.
void runShellCommands(Console& console, Platform& platform);

// Asks the interpreter to clear the screen, then writes three credit lines.
void showCredits(Console& console, Platform& platform);

}  // namespace census
