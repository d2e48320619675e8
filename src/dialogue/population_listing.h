// Options 3, 5 and 7: list a saved population file state by state and print
// the running totals of the four figures, which grow with every row listed
// in the run and are never set back.
#pragma once

#include <array>
#include <cstdint>

#include "dialogue/console.h"
#include "records/state_lists.h"
#include "save/file_system.h"

namespace census {

// Sums of every row listed so far in the run, in figure order (total, male,
// female, youth). 64 bits wide, so that no sum of 32-bit figures wraps.
struct RunningTotals {
  std::array<std::int64_t, kFigureCount> sums{};
};

// Writes a line holding one blank; then for each record of the list's
// population file its row and a line of two blanks, adding its figures to
// the totals; then the four total lines. A missing file lists no rows.
void listPopulation(FileSystem& files, const StateList& list, Console& console,
                    RunningTotals& totals);

}  // namespace census
