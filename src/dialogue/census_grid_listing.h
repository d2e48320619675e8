// Option 1 lists the census grid file "cens-stat.dat": a header naming the
// sixteen states of the first list, one row per line of the file, then
// fixed notes and a closing block of credit lines.
#pragma once

#include "dialogue/console.h"
#include "save/file_system.h"

namespace census {

// Writes the header, a row for every line of the file (none when the file
// cannot be opened; nothing is reported), the notes and the closing block.
// Reads nothing from standard input.
void listCensusGrid(FileSystem& files, Console& console);

}  // namespace census
