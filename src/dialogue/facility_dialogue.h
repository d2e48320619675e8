// Option 10 asks six questions about the state where the program is used and
// some facilities in it, and saves the one-word answers to "Recs-Loc.dat",
// each behind its caption, one line each:
//
//   ----> One Family Healthcare Planning Facility In This Region(State) :: Clinic
//
// Option 7 lists that file back.
#pragma once

#include "dialogue/console.h"
#include "save/file_system.h"

namespace census {

// For each question: its prompt, then one word read from the input; the rest
// of a typed line stays for the next read. Then the six captioned lines
// replace "Recs-Loc.dat"; a failed save writes "Unable to open file" and
// keeps the old file. At end of input the entry is abandoned and the file
// keeps what it held.
void enterFacilityRecord(FileSystem& files, Console& console);

// Writes every line of "Recs-Loc.dat" as a rule of 123 hyphens, a line of
// one blank, and the stored line after two blanks. Where the file cannot be
// opened, writes "Unable to open file" alone, with no newline and no flush,
// so the next output of the run continues that line.
void listFacilityRecord(FileSystem& files, Console& console);

}  // namespace census
