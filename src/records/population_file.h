// The population files: one per state list, one line per state, in list
// order. A line is the state's file label, one blank, then its total, male,
// female and youth figures in plain decimal, separated by one blank each:
//
//   Oyo 120 60 55 30
//   Cross-River -5 0 2147483647 -2147483648
//
// Reading is lenient, as the listing shows a file: any label, any number of
// lines, and figures read as far as they can be (see readPopulationLine).
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/line_fields.h"
#include "os/text_file.h"
#include "records/state_lists.h"

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
// Returns false, with the old file left whole and *reason set, when it
// cannot be saved.
bool writePopulationFile(const StateList& list, const FigureTable& table, std::string* reason);

// One line of a population file as it reads: the label word, then four
// figures. Each figure is an optionally signed run of digits (so "12abc"
// gives 12); from the first one missing, malformed or outside 32 bits on,
// the figures are 0, and anything after the fourth is ignored.
struct PopulationLine {
  bool has_label = false;  // false for an empty line or one of white space only
  WordSpot label;
  PopulationFigures figures{};
  std::array<std::size_t, kFigureCount> columns{};  // where each figure was read
  IntegerReading reading;
  WordSpot trailing;  // what follows the fourth figure; empty where nothing does
};
PopulationLine readPopulationLine(std::string_view line);

// The record a line lists as, or nothing for a line with no label at all
// (empty, or only white space), which the listing skips.
std::optional<PopulationRecord> parsePopulationLine(std::string_view line);

// Calls on_record(record, line) for each record of the file, in file order,
// with the record's 1-based line, whatever its labels or number of lines;
// a line with no label is no record. A file that could not be opened yields
// nothing, and file.state() says afterwards whether it was read to its end.
void readPopulationFile(
    TextFileReader& file,
    const std::function<void(const PopulationRecord& record, std::size_t line)>& on_record);

}  // namespace census
