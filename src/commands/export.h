// `census export`: the figures out of the program's own files, as CSV or
// JSON, for spreadsheets and other programs. Every record is exported as the
// listing reads it (so a file with problems exports what the screen shows;
// `census check` says what is wrong), with the state's ISO 3166-2 name and
// code where its label is one of its list's.
#pragma once

#include <ostream>
#include <string>

#include "save/file_system.h"

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
// Each file says its status: "saved", "not saved yet" or "unreadable" (with
// the reason). Streams to out, reading each data file once and holding one
// line of it at a time. Returns kExitSuccess, or kExitFailure where a data
// file exists but cannot be read (what could be read of it is exported, and
// errors says which and why).
int writeExport(FileSystem& files, ExportFormat format, std::ostream& out, std::ostream& errors);

// The command: to out, or with an output file name to that file through an
// all-or-nothing save, out then staying empty. Returns kExitSuccess, or
// kExitFailure where a data file cannot be read (the output file is then
// left as it was) or the output file cannot be saved; errors says why.
int runExport(FileSystem& files, ExportFormat format, const std::string& output_file,
              std::ostream& out, std::ostream& errors);

}  // namespace census
