// The census grid file "cens-stat.dat", which the operator prepares and the
// program never writes. Each line holds sixteen optionally signed decimal
// integers separated by blanks or tabs, one for each state of the first
// list in its order:
//
//   1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/line_fields.h"
#include "records/data_file.h"
#include "save/file_system.h"

namespace census {

inline constexpr std::string_view kCensusGridFileName = "cens-stat.dat";
inline constexpr std::size_t kGridColumnCount = 16;

// The sixteen values of one line of the grid file, columns 1 to 16.
using CensusGridRow = std::array<std::int32_t, kGridColumnCount>;

// One grid line as it reads. Each value is an optionally signed run of
// digits (so "12abc" gives 12); from the first one missing, malformed or
// outside 32 bits on, the columns are 0. Anything after the sixteenth is
// ignored.
struct CensusGridLine {
  CensusGridRow row{};
  IntegerReading reading;
  WordSpot trailing;  // what follows the sixteenth value; empty where nothing does
};

// Reads a line; where columns is not null it gets each value's column.
CensusGridLine readCensusGridLine(std::string_view line, std::size_t* columns = nullptr);

// What a reader of the grid file hands on, line by line in file order, with
// each line's 1-based number. Does nothing unless a sink overrides it.
class CensusGridSink {
 public:
  virtual ~CensusGridSink() = default;
  // A line, every one a row: its text, its values as the listing reads them
  // and how they read (reading.plain: sixteen values and blanks, nothing
  // else). readCensusGridLine tells more of a line that is not plain.
  virtual void onRow(std::size_t /*number*/, std::string_view /*text*/,
                     const CensusGridRow& /*row*/, const IntegerReading& /*reading*/) {}
  // A line of sixteen unsigned figures of one to nine digits and blanks or
  // tabs, nothing else, as its words; most lines of a grid are such. By
  // default hands their values on to onRow as a plain line; a sink that
  // does not need the values, or can use the words as they stand, saves
  // reading them.
  virtual void onDigitRow(std::size_t number, std::string_view text,
                          std::span<const std::string_view, kGridColumnCount> words);
  // Whether a digit row is nothing to this sink (as to a check: sixteen
  // unsigned figures break no rule), so that it is only told apart, and
  // neither onDigitRow nor onRow hears of it.
  virtual bool skipsDigitRows() const { return false; }
  // Whether it wants more rows: once it does not, the lines after are only
  // counted, not read, and onLineCount says how many there were in all.
  virtual bool wantsMoreRows() const { return true; }
  virtual void onLineCount(std::size_t /*lines*/) {}
};

// Reads the grid file once, front to back, holding one line at a time, and
// hands each line to sink. A file that is missing or cannot be opened hands
// on nothing; one that fails part way hands on the lines before the
// failure. Returns the file's state.
FileState readCensusGridFile(FileSystem& files, CensusGridSink& sink);

}  // namespace census
