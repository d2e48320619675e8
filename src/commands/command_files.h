// What the commands share about files: how they say that a data file cannot
// be read, how they save a file the operator named with -o, and how they
// save data files.
#pragma once

#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "records/data_file.h"
#include "save/file_system.h"

namespace census {

// "census: cannot read datas.dat: Is a directory\n", for the error stream.
std::string cannotReadLine(std::string_view file, const FileState& state);

// Where the output file `name` is one of the folder's own, which no output
// may replace (a data file, the DHIS2 mapping, the save's journal or lock,
// anything in census-history/), the usage problem that says so; else "".
std::string ownFileProblem(FileSystem& files, const std::string& name);

// Replaces the output file `name` with content, byte for byte, all or
// nothing (a FIFO or a device is written into). Returns false, after saying
// "census: cannot save NAME: REASON" on errors, where it cannot.
bool saveOutputFile(FileSystem& files, const std::string& name, std::string content,
                    std::ostream& errors);

// Writes the output file `name` as write makes it, and makes it whole
// where write returns kExitSuccess; otherwise the file stays as it was and
// write's status is returned. Returns kExitFailure, after saying "census:
// cannot save NAME: REASON" on errors, where the file cannot be written.
int writeOutputFile(FileSystem& files, const std::string& name,
                    const std::function<int(std::ostream& out)>& write, std::ostream& errors);

// Replaces the data files as one save, or with dry_run only checks that
// they could be replaced. Returns false, after saying "census: cannot save
// NAME: REASON; no file was changed" on errors, where not.
bool saveDataFiles(FileSystem& files, std::span<const FileReplacement> saves, bool dry_run,
                   std::ostream& errors);

}  // namespace census
