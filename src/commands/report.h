// `census report`: one self-contained HTML page of the figures, to look at,
// print and hand on. Inline CSS and inline SVG only: no script, no font and
// no link to anything outside the file, so it opens offline and mails as
// one attachment. It holds an overview of the three lists, a table and a
// bar chart for each saved list, the census grid's column summaries and
// first rows, the facility record, and every finding of `census check`,
// marked on the rows they concern.
#pragma once

#include <ostream>
#include <string>

namespace census {

// What the page says about when and where it was made.
struct ReportOrigin {
  std::string directory;  // the working directory
  std::string made;       // local time, ISO 8601: "2026-12-10T09:30:00+01:00"
};

// Writes the page for the data files of the working directory to out. Reads
// each file as the listings do, holding one line at a time and, of the grid,
// its first rows and the column summaries; so the page stays small however
// long the grid. Findings are shown up to a limit per file, with the count
// of the rest.
void writeReport(const ReportOrigin& origin, std::ostream& out);

// The command: writes "census-report.html" in the working directory, or the
// output file, through an all-or-nothing save, and prints the path written;
// "-" writes the page to out instead. Returns 0, or 1 where the file cannot
// be saved (errors says why). Problems in the data do not fail it. The page
// says it was made now, in local time, or where SOURCE_DATE_EPOCH is set (as
// for reproducible builds) at that moment.
int runReport(const std::string& output_file, std::ostream& out, std::ostream& errors);

}  // namespace census
