// `census report`: one self-contained HTML page of the figures, to look at,
// print and hand on. Inline CSS and inline SVG only: no script, no font and
// no link to anything outside the file, so it opens offline and mails as
// one attachment. It holds an overview of the three lists, a table and a
// bar chart for each saved list, the census grid's column summaries and
// first rows, the facility record, and every finding of `census check`,
// marked on the rows they concern.
#pragma once

#include <ctime>
#include <ostream>
#include <string>

#include "commands/check.h"
#include "save/file_system.h"

namespace census {

// What the page says about when and where it was made.
struct ReportOrigin {
  std::string directory;  // the working directory
  std::string made;       // local time, ISO 8601: "2026-12-10T09:30:00+01:00"
};

// The working directory, and the local time now or at SOURCE_DATE_EPOCH
// where it is set.
ReportOrigin reportOriginNow();

// Writes the page for the data files of the working directory to out. Reads
// each file as the listings do, holding one line at a time and, of the grid,
// its first rows and the column summaries; so the page stays small however
// long the grid. Findings are shown up to a limit per file, with the count
// of the rest.
// Returns what the check of the files found, the states of the files with it.
CheckSummary writeReport(FileSystem& files, const ReportOrigin& origin, std::ostream& out);

// The command: writes "census-report.html" in the working directory, or the
// output file, through an all-or-nothing save, and prints the path written;
// "-" writes the page to out instead. Returns kExitSuccess, or kExitFailure
// where a data file cannot be read (the page says so, a file named for it is
// left as it was, and errors says which) or the file cannot be saved.
// Problems in the data do not fail it. The page
// says it was made now, in local time, or where SOURCE_DATE_EPOCH is set (as
// for reproducible builds) at that moment.
// What is wrong with SOURCE_DATE_EPOCH, where it is set to something that
// is not a whole number of seconds since 1970 up to the end of the year
// 3000: "SOURCE_DATE_EPOCH is not ...". "" where it is sound or not set.
std::string sourceDateEpochProblem();

// The moment an output is made at: SOURCE_DATE_EPOCH where it is set (so
// that an output can be made again byte for byte), else now.
std::time_t outputMoment();

int runReport(FileSystem& files, const std::string& output_file, std::ostream& out,
              std::ostream& errors);

}  // namespace census
