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
#include <optional>
#include <string>
#include <string_view>

#include "base/line_fields.h"
#include "records/data_file.h"
#include "records/state_lists.h"
#include "save/file_system.h"

namespace census {

struct PopulationRecord {
  std::string label;  // one word
  PopulationFigures figures{};
};

// The figures of the list being entered: row i for the list's i-th state.
using FigureTable = std::array<PopulationFigures, kMostStatesInAList>;

// The file content for a list, from rows 1 to N of the figure table.
std::string formatPopulationFile(const StateList& list, const FigureTable& table);

// The save of a list's population file with rows 1 to N of the figure
// table, for FileSystem::replaceFiles.
FileReplacement populationFileReplacement(const StateList& list, const FigureTable& table);

// Replaces the list's population file with rows 1 to N of the figure table.
// Returns false, with the old file left whole and *failure set, when it
// cannot be saved.
bool writePopulationFile(FileSystem& files, const StateList& list, const FigureTable& table,
                         SaveFailure* failure);

// One line of a population file as it reads: the label word, then four
// figures. Each figure is an optionally signed run of digits (so "12abc"
// gives 12); from the first one missing, malformed or outside 32 bits on,
// the figures are 0, and anything after the fourth is ignored.
struct PopulationLine {
  std::string_view text;   // the whole line
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

// What a reader of a population file hands on, line by line in file order,
// with each line's 1-based number. Each method does nothing unless a sink
// overrides it.
class PopulationSink {
 public:
  virtual ~PopulationSink() = default;
  // A line with a label: a record, whatever its label or figures.
  virtual void onRecord(std::size_t /*number*/, const PopulationLine& /*line*/) {}
  // An empty line or one of white space only, which no listing shows.
  virtual void onBlankLine(std::size_t /*number*/, std::string_view /*text*/) {}
};

// Reads the list's population file once, front to back, holding one line
// at a time, and hands each line to sink. A file that is missing or cannot
// be opened hands on nothing; one that fails part way hands on the lines
// before the failure. Returns the file's state.
FileState readPopulationFile(FileSystem& files, const StateList& list, PopulationSink& sink);
// The same, from a file already opened.
FileState readPopulationFile(OpenedFile file, PopulationSink& sink);

}  // namespace census
