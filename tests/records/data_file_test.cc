// The readers of the three kinds of data file, through sinks that record
// what they are handed: small contents in, the events and the state out.
#include <cerrno>
#include <string>
#include <vector>

#include "records/census_grid_file.h"
#include "records/facility_file.h"
#include "records/population_file.h"
#include "test_support.h"

namespace census {
namespace {

using Oddity = MemoryFileSystem::Oddity;

// Each event as a line: "3 record Kano 1 2 3 4", "2 blank", "1 row 16 plain".
class Recorder final : public PopulationSink, public CensusGridSink, public FacilitySink {
 public:
  void onRecord(std::size_t number, const PopulationLine& line) override {
    std::string text = std::to_string(number) + " record " + std::string(line.label.word);
    for (const std::int32_t figure : line.figures) text += " " + std::to_string(figure);
    events.push_back(text);
  }
  void onBlankLine(std::size_t number, std::string_view) override {
    events.push_back(std::to_string(number) + " blank");
  }
  void onRow(std::size_t number, std::string_view, const CensusGridRow& row,
             const IntegerReading& reading) override {
    events.push_back(std::to_string(number) + " row " + std::to_string(row[0]) + " read " +
                     std::to_string(reading.read) + (reading.plain ? " plain" : ""));
  }
  void onLine(std::size_t number, std::string_view text) override {
    events.push_back(std::to_string(number) + " line " + std::string(text));
  }

  std::vector<std::string> events;
};

std::string stateText(const FileState& state) {
  return std::string(statusName(state.status)) + (state.reason.empty() ? "" : ": ") + state.reason +
         (state.read_in_part ? " (in part)" : "");
}

TEST(DataFileReaders, HandOnEachLineAndSayTheFileState) {
  enum Kind { kPopulation, kGrid, kFacility };
  struct Case {
    const char* name;
    Kind kind;
    std::optional<std::string> content;  // none: no file
    Oddity oddity;
    std::vector<std::string> events;
    std::string state;
  };
  const std::string grid_line = "7 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16";
  const Case cases[] = {
      {"records and blanks",
       kPopulation,
       "Oyo 1 2 3 4\r\n \n\nKano 5 x",
       Oddity::kNone,
       {"1 record Oyo 1 2 3 4", "2 blank", "3 blank", "4 record Kano 5 0 0 0"},
       "saved"},
      {"not saved yet", kPopulation, std::nullopt, Oddity::kNone, {}, "not saved yet"},
      {"a directory", kPopulation, "", Oddity::kDirectory, {}, "unreadable: Is a directory"},
      {"no permission", kGrid, "", Oddity::kUnreadable, {}, "unreadable: Permission denied"},
      {"failing part way",
       kPopulation,
       "Oyo 1 2 3 4\n",
       Oddity::kFailsMidway,
       {"1 record Oyo 1 2 3 4"},
       "unreadable: Input/output error (in part)"},
      {"grid rows",
       kGrid,
       grid_line + "\n\n1 2",
       Oddity::kNone,
       {"1 row 7 read 16 plain", "2 row 0 read 0", "3 row 1 read 2"},
       "saved"},
      {"empty grid", kGrid, "", Oddity::kNone, {}, "saved"},
      {"facility lines",
       kFacility,
       "a b\n\nc",
       Oddity::kNone,
       {"1 line a b", "2 line ", "3 line c"},
       "saved"},
  };
  for (const Case& c : cases) {
    MemoryFileSystem files;
    const char* names[] = {"datas.dat", "cens-stat.dat", "Recs-Loc.dat"};
    if (c.content) files.set(names[c.kind], *c.content, c.oddity);
    Recorder recorder;
    FileState state;
    switch (c.kind) {
      case kPopulation:
        state = readPopulationFile(files, stateList(1), recorder);
        break;
      case kGrid:
        state = readCensusGridFile(files, recorder);
        break;
      case kFacility:
        state = readFacilityFile(files, recorder);
        break;
    }
    EXPECT_EQ(recorder.events, c.events) << c.name;
    EXPECT_EQ(stateText(state), c.state) << c.name;
  }
}

}  // namespace
}  // namespace census
