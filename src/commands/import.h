// `census import`: population figures from a CSV file into the program's
// own files, all or nothing. The CSV is what `census export` writes or what
// a spreadsheet saves: a header naming the columns, in any order, then one
// row per state. Needed columns: list; at least one of label, iso_code and
// state to name the state (where several are given they must agree); and
// total, male, female and youth as whole 32-bit numbers. Other columns are
// ignored, and so are rows whose fields are all empty.
#pragma once

#include <istream>
#include <ostream>
#include <string>

namespace census {

// Checks the whole CSV text first: every problem found goes to errors as
// "SOURCE:LINE: error: ...", and then nothing is written and 1 returned.
// Each list that appears must have every one of its states exactly once;
// lists that do not appear are left alone. Without problems, each list's
// population file is replaced in the program's own format (one save each,
// all or nothing), "datas.dat: 16 states saved" goes to out for each, then
// a line that points to `census check`; 0 is returned. With dry_run the
// same is checked and said, and nothing is written. source names the input
// in messages ("<stdin>" for standard input).
int importCsv(std::string_view text, const std::string& source, bool dry_run, std::ostream& out,
              std::ostream& errors);

// The command: reads FILE, or standard input for "-". A file that cannot be
// read: "census: FILE: REASON" on errors, and 2.
int runImport(const std::string& input, bool dry_run, std::istream& in, std::ostream& out,
              std::ostream& errors);

}  // namespace census
