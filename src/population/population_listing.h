// Options 3, 5 and 7: list a saved population file state by state and print
// the running totals of the four figures, which grow with every row listed
// in the run and are never set back. Option 7 then lists the facility record.
#pragma once

#include <array>
#include <cstdint>

#include "population/state_lists.h"
#include "shell/console.h"

namespace census {

// Sums of every row listed so far in the run, in figure order (total, male,
// female, youth). 64 bits wide, so that no sum of 32-bit figures wraps.
struct RunningTotals {
  std::array<std::int64_t, kFigureCount> sums{};
};

// Writes a line holding one blank; then for each record of the option's
// population file its row and a line of two blanks, adding its figures to
// the totals; then the four total lines. A missing file lists no rows.
// REQUIRES: option_code is 3, 5 or 7.
void listPopulation(int option_code, Console& console, RunningTotals& totals);

}  // namespace census
