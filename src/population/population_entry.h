// Options 2, 4 and 6: the operator enters the total, male, female and youth
// population of every state of one list; the program shows each state's
// total in a summary and saves the figures to the list's population file.
#pragma once

#include "population/population_file.h"
#include "shell/console.h"

namespace census {

// Writes the list's headline (if any), then for each state and each figure
// its prompt, reading the answer into the figure table; a word that is not a
// whole 32-bit number is discarded and its prompt written again. Then the
// separator, the summary lines (totals, two states a line), and the save.
// A failed save writes "Unable to open file" and keeps the old file.
// At end of input the entry is abandoned: nothing more is written and the
// file keeps what it held.
// REQUIRES: option_code is 2, 4 or 6.
void enterPopulation(int option_code, Console& console, FigureTable& table);

}  // namespace census
