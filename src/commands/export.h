// `census export`: the figures out of the program's own files, as CSV or
// JSON, for spreadsheets and other programs. Every record is exported as the
// listing reads it (so a file with problems exports what the screen shows;
// `census check` says what is wrong), with the state's ISO 3166-2 name and
// code where its label is one of its list's.
#pragma once

#include <ostream>
#include <string>

namespace census {

enum class ExportFormat { kCsv, kJson };

// CSV (RFC 4180, CR LF line ends on every platform), a header and one row
// per record of lists 1, 2 and 3, in file order:
//
//   list,position,label,state,iso_code,total,male,female,youth
//   1,9,Jos,Plateau,NG-PL,3206531,1598998,1607533,1000000
//
// or one JSON document, two-space indent, of the lists, the census grid
// and the facility record. A label that begins with '=', '+', '-' or '@' is
// written after an apostrophe in CSV, so a spreadsheet takes it as text.
// Streams to out, holding one line of a data file at a time. Returns 0, or
// 1 where a data file exists but cannot be read (it is exported as empty,
// and errors says which and why).
int writeExport(ExportFormat format, std::ostream& out, std::ostream& errors);

// The command: to out, or with an output file name to that file through an
// all-or-nothing save, out then staying empty. Returns 0, or 1 where a data
// file cannot be read or the output file cannot be saved (errors says why).
int runExport(ExportFormat format, const std::string& output_file, std::ostream& out,
              std::ostream& errors);

}  // namespace census
