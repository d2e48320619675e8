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

#include "os/platform.h"

namespace census {

// Exit statuses of every form of the command line.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitDataProblem = 1;  // the data has problems, or a command failed on it
inline constexpr int kExitUsage = 2;        // usage, or the environment (directory, input)

// Runs census with these arguments (the program name left out) on the given
// streams, and returns the exit status. Nothing is run and no file touched
// after a usage error.
int runCommandLine(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
                   std::ostream& errors, Platform& platform);

}  // namespace census
