#include "dialogue/population_listing.h"

#include <string>
#include <string_view>

#include "records/population_file.h"

namespace census {
namespace {

// What stands before each figure of a row; each figure is followed by "--",
// the last by "-".
constexpr std::array<std::string_view, kFigureCount> kRowCaptions = {
    " State <-- Total Population :: ", "-- Male Population :: ", "-- Female Population :: ",
    "-- Youth Population :: "};

constexpr std::array<std::string_view, kFigureCount> kTotalLines = {
    " <----- The Total(Entire) Population Of The Given List(16 States) Is :: ",
    " <----- The Total(Complete) Male Population Of The Given List(16 States) Is :: ",
    " <----- The Total(Complete) Female Population Of The Given List(16 States) Is :: ",
    " <----- The Total(Complete) Youth Population Of The Given List(16 States) Is :: ",
};

void listRecord(const PopulationRecord& record, Console& console, RunningTotals& totals) {
  console << " " << record.label;
  for (std::size_t figure = 0; figure < kFigureCount; ++figure) {
    console << kRowCaptions[figure] << record.figures[figure];
    totals.sums[figure] += record.figures[figure];
  }
  console << "-" << kEndLine << "  " << kEndLine;
}

}  // namespace

void listPopulation(const StateList& list, Console& console, RunningTotals& totals) {
  console << " " << kEndLine;
  TextFileReader file{std::string(list.file_name)};
  readPopulationFile(file, [&](const PopulationRecord& record, std::size_t) {
    listRecord(record, console, totals);
  });
  for (std::size_t figure = 0; figure < kFigureCount; ++figure) {
    console << kTotalLines[figure] << totals.sums[figure] << kEndLine;
  }
}

}  // namespace census
