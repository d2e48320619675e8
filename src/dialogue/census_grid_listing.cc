#include "dialogue/census_grid_listing.h"

#include <array>
#include <charconv>
#include <cstring>
#include <string>

#include "base/short_text.h"
#include "dialogue/credits.h"
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
// Joined once here, each short enough to be copied in one step, since a
// listing may write millions of rows.
const std::array<ShortText, kColumnFrames.size() + 1> kRowSeparators = [] {
  std::array<std::string, kColumnFrames.size() + 1> joined;
  for (std::size_t column = 0; column < kColumnFrames.size(); ++column) {
    joined[column].append(kColumnFrames[column].gap);
    joined[column + 1].append(kColumnFrames[column].suffix);
  }
  std::array<ShortText, kColumnFrames.size() + 1> separators{
      ShortText(joined[0]),  ShortText(joined[1]),  ShortText(joined[2]),  ShortText(joined[3]),
      ShortText(joined[4]),  ShortText(joined[5]),  ShortText(joined[6]),  ShortText(joined[7]),
      ShortText(joined[8]),  ShortText(joined[9]),  ShortText(joined[10]), ShortText(joined[11]),
      ShortText(joined[12]), ShortText(joined[13]), ShortText(joined[14]), ShortText(joined[15]),
      ShortText(joined[16])};
  return separators;
}();

// The row is put together here and handed to the console in one piece.
void writeRow(const CensusGridRow& row, Console& console) {
  std::array<char,
             kRowSeparators.size() * ShortText::kMostBytes + kGridColumnCount * kMaxDecimalLength>
      text;
  char* next = text.data();
  for (std::size_t column = 0; column < row.size(); ++column) {
    std::memcpy(next, kRowSeparators[column].bytes(), ShortText::kMostBytes);
    next += kRowSeparators[column].size();
    next = std::to_chars(next, next + kMaxDecimalLength, row[column]).ptr;
  }
  std::memcpy(next, kRowSeparators.back().bytes(), ShortText::kMostBytes);
  next += kRowSeparators.back().size();
  console << std::string_view(text.data(), static_cast<std::size_t>(next - text.data()))
          << kEndLine;
}

}  // namespace

// Every line is a row of the listing.
class GridListingSink final : public CensusGridSink {
 public:
  explicit GridListingSink(Console& console) : console_(console) {}
  void onRow(std::size_t, std::string_view, const CensusGridRow& row,
             const IntegerReading&) override {
    writeRow(row, console_);
  }

 private:
  Console& console_;
};

void listCensusGrid(FileSystem& files, Console& console) {
  console << kHeader << kEndLine << kEndLine;
  GridListingSink sink(console);
  const FileState state = readCensusGridFile(files, sink);
  if (state.unreadable()) {
    console.reportError("cannot read " + std::string(kCensusGridFileName) + ": " + state.reason);
  }
  for (std::string_view note : kRowNotes) console << note << kEndLine;
  console << "  !!!\n"
          << " " << kEndLine;
  for (std::string_view note : kSchoolNotes) console << note << kEndLine;
  console << " " << kEndLine;
  console << kClosingRule << kGridCredit << kSignOnCredit3 << kSignOnCredit4 << "  !!!\n";
}

}  // namespace census
