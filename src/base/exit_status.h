// The exit statuses of every form of the command line, named once here so
// that no unit returns a bare number.
#pragma once

namespace census {

enum ExitStatus : int {
  kExitSuccess = 0,
  kExitFailure = 1,  // the data has problems, a file cannot be read, or a save failed
  kExitUsage = 2,    // usage, or the environment (directory, input)
};

}  // namespace census
