// Option 1 lists the census grid file "cens-stat.dat", which the operator
// prepares and the program never writes: a header naming the sixteen states
// of the first list, one row per line of the file, then fixed notes and a
// closing block of credit lines. Each line of the file holds sixteen
// optionally signed decimal integers separated by blanks or tabs, one for
// each state of the first list in its order:
//
//   1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "shell/console.h"

namespace census {

inline constexpr std::string_view kCensusGridFileName = "cens-stat.dat";

// The sixteen values of one line of the grid file, columns 1 to 16.
using CensusGridRow = std::array<std::int32_t, 16>;

// Takes a grid line apart. Each value is an optionally signed run of digits
// (so "12abc" gives 12); from the first one missing, malformed or outside
// 32 bits on, the columns are 0. Anything after the sixteenth is ignored.
CensusGridRow parseCensusGridLine(std::string_view line);

// Writes the header, a row for every line of the file (none when the file
// cannot be opened; nothing is reported), the notes and the closing block.
// Reads nothing from standard input.
void listCensusGrid(Console& console);

}  // namespace census
