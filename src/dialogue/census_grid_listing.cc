#include "dialogue/census_grid_listing.h"

#include <array>
#include <string>

#include "dialogue/credits.h"
#include "os/text_file.h"
#include "records/census_grid_file.h"

namespace census {
namespace {

constexpr std::string_view kHeader =
    " Oyo    Lagos  Kwara  Delta  Osun   Abuja  Kaduna  Edo   Jos   Kano    Ondo   Sokoto   "
    "Ekiti   Kogi   Nassarawa   C-River  ";

struct GridColumnFrame {
  std::string_view gap;
  std::string_view suffix;
};

constexpr GridColumnFrame kNarrow = {" ", "--"};
constexpr std::array<GridColumnFrame, kGridColumnCount> kColumnFrames = {
    kNarrow,       kNarrow,      kNarrow,       kNarrow,          kNarrow, kNarrow,
    kNarrow,       kNarrow,      kNarrow,       kNarrow,          kNarrow, kNarrow,
    {"   ", "--"}, {"  ", "--"}, {"   ", "--"}, {"    ", "...."},
};

constexpr std::array<std::string_view, 4> kRowNotes = {
    " Row '0' Represents The Names Of The States , Row '1' Is Meant To List The Population Of "
    "Males In Each State. ",
    " Row '2' Lists The Females Population For Each States , Row '3' Is Meant To List The "
    "Population Of Underages In Each State. ",
    " Row '4' Lists The Youths Population For Each States , Row '5' Is Meant To List The "
    "Population Of Out Of State Indigenes. ",
    " Unlisted Rows Include Death Reports With Related Statisitc, Casualty(s) Datas(Values) And "
    "Unimportant Road Accidents. ",
};

constexpr std::array<std::string_view, 2> kSchoolNotes = {
    " <----  This Prompt(Option) Enables Yout To Enter The Number Of Subjects(Courses) Offered In "
    "Your School ::  ----> ",
    " <----  And Those Available In Other Schools In Your Community(Environment) For Development "
    "And Rural Development(s). ::  ----> ",
};

const std::string kClosingRule = std::string(124, '*') + " !!!\n";

// What stands between the values of a row: before column 1 its gap, then
// each column's suffix joined to the next column's gap, and the last suffix.
// Joined once here, since a listing may write millions of rows.
const std::array<std::string, kColumnFrames.size() + 1> kRowSeparators = [] {
  std::array<std::string, kColumnFrames.size() + 1> separators;
  for (std::size_t column = 0; column < kColumnFrames.size(); ++column) {
    separators[column].append(kColumnFrames[column].gap);
    separators[column + 1].append(kColumnFrames[column].suffix);
  }
  return separators;
}();

void writeRow(const CensusGridRow& row, Console& console) {
  for (std::size_t column = 0; column < row.size(); ++column) {
    console << kRowSeparators[column] << row[column];
  }
  console << kRowSeparators.back() << kEndLine;
}

}  // namespace

void listCensusGrid(Console& console) {
  console << kHeader << kEndLine << kEndLine;
  TextFileReader file{std::string(kCensusGridFileName)};
  std::string_view line;
  while (file.nextLine(line)) writeRow(parseCensusGridLine(line), console);
  for (std::string_view note : kRowNotes) console << note << kEndLine;
  console << "  !!!\n"
          << " " << kEndLine;
  for (std::string_view note : kSchoolNotes) console << note << kEndLine;
  console << " " << kEndLine;
  console << kClosingRule << kGridCredit << kSignOnCredit3 << kSignOnCredit4 << "  !!!\n";
}

}  // namespace census
