// The census grid file "cens-stat.dat", which the operator prepares and the
// program never writes. Each line holds sixteen optionally signed decimal
// integers separated by blanks or tabs, one for each state of the first
// list in its order:
//
//   1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "base/line_fields.h"

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

// The row a line lists as: the values of readCensusGridLine, without the
// account of where reading stopped, which a listing has no use for.
CensusGridRow parseCensusGridLine(std::string_view line);

}  // namespace census
