#include "dialogue/desktop_options.h"

#include "dialogue/credits.h"

namespace census {

void runShellCommands(Console& console, Platform& platform) {
  // The file to open is handed over from a buffer of its own.
  char media_files[] = "media-files.dat";
  console.flush();
  platform.openFile(media_files);
  platform.startCalculator();
}

void showCredits(Console& console, Platform& platform) {
  // Everything written so far reaches the screen before it is cleared.
  console.flush();
  platform.clearScreen();
  console << kSignOffCredit1 << kSignOffCredit2 << kSignOnCredit3;
}

}  // namespace census
