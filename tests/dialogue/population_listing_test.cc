#include "dialogue/population_listing.h"

#include <sstream>

#include "dialogue/facility_dialogue.h"
#include "test_support.h"

namespace census {
namespace {

class PopulationListing : public InMemory {
 protected:
  // Runs listing option 3, 5 or 7 as the pass loop does.
  std::string list(int option_code) {
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream errors;
    Console console(in, out, errors);
    listPopulation(files, stateList((option_code - 1) / 2), console, totals);
    if (option_code == 7) listFacilityRecord(files, console);
    console.flush();
    return out.str();
  }

  RunningTotals totals;
};

std::string row(const std::string& label, long long total, long long male, long long female,
                long long youth) {
  return " " + label + " State <-- Total Population :: " + std::to_string(total) +
         "-- Male Population :: " + std::to_string(male) +
         "-- Female Population :: " + std::to_string(female) +
         "-- Youth Population :: " + std::to_string(youth) + "-\n  \n";
}

std::string totalLines(long long total, long long male, long long female, long long youth) {
  return " <----- The Total(Entire) Population Of The Given List(16 States) Is :: " +
         std::to_string(total) +
         "\n <----- The Total(Complete) Male Population Of The Given List(16 States) Is :: " +
         std::to_string(male) +
         "\n <----- The Total(Complete) Female Population Of The Given List(16 States) Is :: " +
         std::to_string(female) +
         "\n <----- The Total(Complete) Youth Population Of The Given List(16 States) Is :: " +
         std::to_string(youth) + "\n";
}

TEST_F(PopulationListing, ListsRowsThenRunningTotals) {
  writeFile("datas.dat", "Oyo 120 60 55 30\nCross-River -20 1 2 3\n");
  EXPECT_EQ(list(3), " \n" + row("Oyo", 120, 60, 55, 30) + row("Cross-River", -20, 1, 2, 3) +
                         totalLines(100, 61, 57, 33));
  // The totals run on: a second listing shows twice the sums.
  EXPECT_EQ(list(3), " \n" + row("Oyo", 120, 60, 55, 30) + row("Cross-River", -20, 1, 2, 3) +
                         totalLines(200, 122, 114, 66));
}

TEST_F(PopulationListing, MissingOrEmptyFilesListOnlyTheTotals) {
  writeFile("Loc-datas.dat", "");
  EXPECT_EQ(list(3), " \n" + totalLines(0, 0, 0, 0));
  EXPECT_EQ(list(5), " \n" + totalLines(0, 0, 0, 0));
  EXPECT_EQ(list(7), " \n" + totalLines(0, 0, 0, 0) + "Unable to open file");
}

TEST_F(PopulationListing, TotalsAccumulateAcrossLists) {
  writeFile("datas.dat", "Oyo 1 2 3 4\n");
  writeFile("Loc-datas.dat", "Abia 10 20 30 40\r\nAkwa-Ibom 100 200 300 400");
  list(3);
  EXPECT_EQ(list(5), " \n" + row("Abia", 10, 20, 30, 40) + row("Akwa-Ibom", 100, 200, 300, 400) +
                         totalLines(111, 222, 333, 444));
}

TEST_F(PopulationListing, SumsPastThirtyTwoBitsShowTheirTrueValue) {
  writeFile("datas.dat", "Lagos 2147483647 -2147483648 1 0\nKano 2147483647 -2147483648 1 0\n");
  const std::string output = list(3);
  EXPECT_TRUE(output.ends_with(totalLines(4294967294, -4294967296, 2, 0))) << output;
}

TEST_F(PopulationListing, MalformedLinesAreSkippedOrZeroFilled) {
  writeFile("datas.dat", "Oyo 1 2 3 4 extra 5\n\n   \nKwara 7 x 8 9\nDelta 12abc\n");
  EXPECT_EQ(list(3), " \n" + row("Oyo", 1, 2, 3, 4) + row("Kwara", 7, 0, 0, 0) +
                         row("Delta", 12, 0, 0, 0) + totalLines(20, 2, 3, 4));
}

TEST_F(PopulationListing, OptionSevenEndsWithTheFacilityListing) {
  writeFile("Loc-datas0.dat", "Kebi 1 1 1 1\n");
  writeFile("Recs-Loc.dat", "first line\r\nsecond\n");
  const std::string rule = std::string(123, '-') + "\n";
  EXPECT_EQ(list(7), " \n" + row("Kebi", 1, 1, 1, 1) + totalLines(1, 1, 1, 1) + rule +
                         " \n  first line\n" + rule + " \n  second\n");
}

}  // namespace
}  // namespace census
