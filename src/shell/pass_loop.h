// The program's one control loop. It signs on, then runs passes until the
// operator enters -1: each pass asks for a number, echoes it, asks for an
// option code, runs at most one option and shows the pass counter. Then it
// signs off and waits for one key press.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>

#include "population/population_file.h"
#include "population/population_listing.h"
#include "shell/console.h"
#include "shell/platform.h"

namespace census {

// What lives for the whole run.
struct RunState {
  // The "x" of the sign-on line and the "x" of the sign-off line.
  static constexpr std::int32_t LocalX = 24;
  static constexpr std::int32_t GlobalX = 8;

  bool quit = false;
  std::int32_t pass_counter = 0;
  std::int32_t pass_value = 0;
  std::int32_t OptionCode = 0;
  RunningTotals totals;
  FigureTable figure_table{};
};

// Runs the whole dialogue on the given streams and returns the exit status,
// which is always 0. End of input at either prompt of a pass ends the run as
// -1 does; a word that is not a whole 32-bit number is discarded and its
// prompt written again.
int runCensus(std::istream& in, std::ostream& out, Platform& platform);

// The three banner lines that close pass number pass_number.
void printPassBanner(Console& console, std::int32_t pass_number);

}  // namespace census
