// The command line: with no command, census runs the dialogue; each command
// of the table runs beside it (check, export, import, report). Options and
// exit statuses are those Debian and GNU users expect: --help and --version
// on standard output with status 0, usage errors on standard error with
// status 2, -C DIR to run as if started in DIR.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "base/exit_status.h"
#include "os/platform.h"
#include "save/file_system.h"

namespace census {

// Runs census with these arguments (the program name left out) on the given
// streams and files, and returns the exit status. Before anything is read,
// a save that was cut short in the working directory is finished or undone.
// Nothing is run and no file touched after a usage error.
int runCommandLine(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
                   std::ostream& errors, Platform& platform, FileSystem& files);

}  // namespace census
