// The population files: one per state list, one line per state, in list
// order. A line is the state's file label, one blank, then its total, male,
// female and youth figures in plain decimal, separated by one blank each:
//
//   Oyo 120 60 55 30
//   Cross-River -5 0 2147483647 -2147483648
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "population/state_lists.h"

namespace census {

struct PopulationRecord {
  std::string label;  // one word
  PopulationFigures figures{};
};

// The figures of the list being entered: row i for the list's i-th state.
using FigureTable = std::array<PopulationFigures, kMostStatesInAList>;

// The file content for a list, from rows 1 to N of the figure table.
std::string formatPopulationFile(const StateList& list, const FigureTable& table);

// Replaces the list's population file with rows 1 to N of the figure table.
// Returns false, with the old file left whole, when it cannot be saved.
bool writePopulationFile(const StateList& list, const FigureTable& table);

// Takes a population file line apart: a label word, then four figures. Each
// figure is an optionally signed run of digits (so "12abc" gives 12); from
// the first one missing, malformed or outside 32 bits on, the figures are 0,
// and anything after the fourth is ignored. A line with no label at all
// (empty, or only white space) yields nothing.
std::optional<PopulationRecord> parsePopulationLine(std::string_view line);

// Calls on_record for each record of the file, in file order, whatever its
// labels or number of lines. A file that cannot be opened yields nothing.
void readPopulationFile(const std::string& file_name,
                        const std::function<void(const PopulationRecord&)>& on_record);

}  // namespace census
