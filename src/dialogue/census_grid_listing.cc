#include "dialogue/census_grid_listing.h"

#include <array>
#include <cstring>
#include <string>

#include "base/decimal.h"
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

// The most a row takes: every separator and sixteen numbers.
constexpr std::size_t kMostRowBytes =
    kRowSeparators.size() * ShortText::kMostBytes + kGridColumnCount * kMaxDecimalLength;

// Puts column's separator at next, then the figure that put_figure puts
// after it; then, after the last column, the last separator.
template <typename PutFigure>
char* putRow(char* next, PutFigure put_figure) {
  for (std::size_t column = 0; column < kGridColumnCount; ++column) {
    std::memcpy(next, kRowSeparators[column].bytes(), ShortText::kMostBytes);
    next = put_figure(next + kRowSeparators[column].size(), column);
  }
  std::memcpy(next, kRowSeparators.back().bytes(), ShortText::kMostBytes);
  return next + kRowSeparators.back().size();
}

void writeRow(const CensusGridRow& row, Console& console) {
  console.writeInPlace(kMostRowBytes, [&](char* at) {
    return putRow(at,
                  [&](char* next, std::size_t column) { return writeDecimal(next, row[column]); });
  }) << kEndLine;
}

// A row of sixteen unsigned figures shows each figure as its line has it,
// unless it has leading zeros: nothing to read or write anew. A word is
// copied sixteen bytes at a time where the line goes on that far: the
// bytes after it are overwritten by what follows.
void writeDigitRow(std::string_view line, std::span<const std::string_view, kGridColumnCount> words,
                   Console& console) {
  const char* const line_end = line.data() + line.size();
  console.writeInPlace(kMostRowBytes, [&](char* at) {
    return putRow(at, [&](char* next, std::size_t column) {
      const std::string_view word = words[column];
      if (word.size() > 1 && word.front() == '0') {
        return writeDecimal(next, parseWholeNumber(word).value_or(0));
      }
      static_assert(kMaxDecimalLength >= 16, "a column has room for sixteen bytes");
      if (line_end - word.data() >= 16) {
        std::memcpy(next, word.data(), 16);
      } else {
        std::memcpy(next, word.data(), word.size());
      }
      return next + word.size();
    });
  }) << kEndLine;
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
  void onDigitRow(std::size_t, std::string_view text,
                  std::span<const std::string_view, kGridColumnCount> words) override {
    writeDigitRow(text, words, console_);
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
