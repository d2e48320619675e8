// The program's one control loop, the dialogue. It signs on, then runs
// passes until the operator enters -1: each pass asks for a number, echoes
// it, asks for an option code, runs at most one option and shows the pass
// counter. Then it signs off and waits for one key press.
#pragma once

#include <istream>
#include <ostream>

#include "os/platform.h"
#include "save/file_system.h"

namespace census {

// Runs the whole dialogue on the given streams, with the data files of the
// working directory, and returns the exit status. End of input at either
// prompt of a pass ends the run as -1 does; a word that is not a whole
// 32-bit number is discarded and its prompt written again. A save that
// fails is reported on errors as well as in the dialogue. Where writing to
// out fails, the run ends as at end of input, "census: write error: REASON"
// goes to errors, and the status is 1; otherwise it is 0.
int runCensus(std::istream& in, std::ostream& out, std::ostream& errors, Platform& platform,
              FileSystem& files);

}  // namespace census
