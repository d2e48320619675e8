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

// Each record is a row, whatever its label; blank lines show nothing.
class ListingSink final : public PopulationSink {
 public:
  ListingSink(Console& console, RunningTotals& totals) : console_(console), totals_(totals) {}

  void onRecord(std::size_t, const PopulationLine& line) override {
    console_ << " " << line.label.word;
    for (std::size_t figure = 0; figure < kFigureCount; ++figure) {
      console_ << kRowCaptions[figure] << line.figures[figure];
      totals_.sums[figure] += line.figures[figure];
    }
    console_ << "-" << kEndLine << "  " << kEndLine;
  }

 private:
  Console& console_;
  RunningTotals& totals_;
};

}  // namespace

void listPopulation(FileSystem& files, const StateList& list, Console& console,
                    RunningTotals& totals) {
  console << " " << kEndLine;
  ListingSink sink(console, totals);
  const FileState state = readPopulationFile(files, list, sink);
  if (state.unreadable()) {
    console.reportError("cannot read " + std::string(list.file_name) + ": " + state.reason);
  }
  for (std::size_t figure = 0; figure < kFigureCount; ++figure) {
    console << kTotalLines[figure] << totals.sums[figure] << kEndLine;
  }
}

}  // namespace census
