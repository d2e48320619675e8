// `census import`: population figures from a CSV file into the program's
// own files, all or nothing. The CSV is what `census export` writes or what
// a spreadsheet saves: a header naming the columns, in any order, then one
// row per state. Needed columns: list; at least one of label, iso_code and
// state to name the state (where several are given they must agree); and
// total, male, female and youth as whole 32-bit numbers. Other columns are
// ignored, and so are rows whose fields are all empty.
#pragma once

#include <array>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "records/population_file.h"
#include "records/state_lists.h"
#include "save/file_system.h"

namespace census {

// What a CSV text holds once it has been read whole and judged: ok where
// no problem was found, and the figures of each list that appears.
struct ImportPlan {
  bool ok = false;
  std::array<std::optional<FigureTable>, kStateListCount> lists;  // by list number - 1
};

// Reads and judges the CSV text as importCsv does, saying every problem
// on errors; reads and writes no file.
ImportPlan planImport(std::string_view text, const std::string& source, std::ostream& errors);

// The saves of the population files of the lists a plan holds, in list
// order, for FileSystem::replaceFiles.
std::vector<FileReplacement> importReplacements(const ImportPlan& plan);

// Checks the whole CSV text first: every problem found goes to errors as
// "SOURCE:LINE: error: ...", and then nothing is written and kExitFailure
// returned. Each list that appears must have every one of its states
// exactly once; lists that do not appear are left alone. Without problems,
// the population files of all the lists that appear are replaced in the
// program's own format as one save, all of them or none; "datas.dat: 16
// states saved" goes to out for each, then a line that points to `census
// check`, and kExitSuccess is returned. A save that cannot be made says
// which file and why on errors, changes nothing, and returns kExitFailure.
// With dry_run the same is checked and said, including that every file
// could be replaced, and nothing is written. source names the input in
// messages ("<stdin>" for standard input).
int importCsv(FileSystem& files, std::string_view text, const std::string& source, bool dry_run,
              std::ostream& out, std::ostream& errors);

// The command: reads FILE, or standard input for "-". A file that cannot be
// read: "census: FILE: REASON" on errors, and kExitUsage.
int runImport(FileSystem& files, const std::string& input, bool dry_run, std::istream& in,
              std::ostream& out, std::ostream& errors);

}  // namespace census
