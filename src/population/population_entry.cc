#include "population/population_entry.h"

#include <optional>
#include <string>

#include "shell/data_file.h"

namespace census {
namespace {

const std::string kSeparator = std::string(124, '*') + " ";

// Returns false at end of input, with the rest of the table unread.
bool readFigures(const StateList& list, Console& console, FigureTable& table) {
  for (std::size_t row = 0; row < list.states.size(); ++row) {
    for (std::size_t figure = 0; figure < kFigureCount; ++figure) {
      const std::string prompt = promptText(list.states[row], static_cast<Figure>(figure));
      const std::optional<std::int32_t> answer =
          askNumber(console, [&](Console& c) { c << prompt << kEndLine; });
      if (!answer) return false;
      table[row][figure] = *answer;
    }
  }
  return true;
}

void writeSummary(const StateList& list, Console& console, const FigureTable& table) {
  for (std::size_t row = 0; row + 1 < list.states.size(); row += 2) {
    console << "  " << summaryText(list.states[row]) << table[row][kTotal] << ",  "
            << summaryText(list.states[row + 1]) << table[row + 1][kTotal] << kEndLine;
  }
}

}  // namespace

void enterPopulation(int option_code, Console& console, FigureTable& table) {
  const StateList& list = stateListForOption(option_code);
  if (!list.entry_headline.empty()) console << list.entry_headline << kEndLine;
  if (!readFigures(list, console, table)) return;
  console << kSeparator << kEndLine;
  writeSummary(list, console, table);
  if (!writePopulationFile(list, table)) console << kUnableToOpenFile << kEndLine;
}

}  // namespace census
