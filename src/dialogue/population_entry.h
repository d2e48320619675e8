// Options 2, 4 and 6: the operator enters the total, male, female and youth
// population of every state of one list; the program shows each state's
// total in a summary and saves the figures to the list's population file.
#pragma once

#include <string>

#include "dialogue/console.h"
#include "records/population_file.h"
#include "records/state_lists.h"

namespace census {

// Writes the list's headline (lists 1 and 2 have one), then for each state
// and each figure its prompt, reading the answer into the figure table; a
// word that is not a whole 32-bit number is discarded and its prompt written
// again. Then the separator, the summary lines (totals, two states a line),
// and the save. A failed save writes "Unable to open file", keeps the old
// file, and reports the file and the reason on the error stream. At end of
// input the entry is abandoned: nothing more is written and the file keeps
// what it held.
void enterPopulation(FileSystem& files, const StateList& list, Console& console,
                     FigureTable& table);

// "  <---- Enter The Male Population For Oyo State <---- ", with the few
// states whose prompts name them otherwise.
std::string promptText(const StateEntry& state, Figure figure);

// "<---- Oyo State Total Population Is :: "
std::string summaryText(const StateEntry& state);

}  // namespace census
