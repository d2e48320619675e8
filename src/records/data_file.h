// What reading a data file found: saved (read to its end), not saved yet,
// or unreadable with the reason. Every reader of a data file returns one,
// so that the listings, the commands and their exit statuses agree on it.
#pragma once

#include <string>
#include <string_view>

#include "records/text_file.h"

namespace census {

enum class FileStatus { kSaved, kNotSavedYet, kUnreadable };

struct FileState {
  FileStatus status = FileStatus::kNotSavedYet;
  std::string reason;         // why, where unreadable: "Is a directory"
  bool read_in_part = false;  // unreadable after its first lines had been read

  bool saved() const { return status == FileStatus::kSaved; }
  bool unreadable() const { return status == FileStatus::kUnreadable; }
};

// The state of a file once the reader has read all it could.
FileState stateAfterReading(const TextFileReader& file);

// "saved", "not saved yet", "unreadable": the status as exported data says it.
std::string_view statusName(FileStatus status);

}  // namespace census
