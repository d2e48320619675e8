#include "records/data_file.h"

namespace census {

FileState stateAfterReading(const TextFileReader& file) {
  switch (file.status()) {
    case OpenStatus::kOpen:
      return {FileStatus::kSaved, "", false};
    case OpenStatus::kMissing:
      return {FileStatus::kNotSavedYet, "", false};
    default:
      return {FileStatus::kUnreadable, file.reason(), file.wasOpened()};
  }
}

std::string_view statusName(FileStatus status) {
  switch (status) {
    case FileStatus::kSaved:
      return "saved";
    case FileStatus::kNotSavedYet:
      return "not saved yet";
    default:
      return "unreadable";
  }
}

}  // namespace census
