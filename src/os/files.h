// What the platform hands up about files: an open file to read, how an
// open went, a file's stamp, and the system's words for an error. The
// saves above (save/) and everything that reads a data file are made of
// these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace census {

// A file open for reading, front to back.
class InputFile {
 public:
  virtual ~InputFile() = default;

  // Reads up to size bytes into buffer and sets *count to how many; 0 at
  // the end of the file. Returns false with *reason set on a read error.
  virtual bool read(char* buffer, std::size_t size, std::size_t* count, std::string* reason) = 0;

  // Goes on reading from this many bytes from the file's start. Returns
  // false with *reason set where it cannot.
  virtual bool seek(std::uint64_t offset, std::string* reason) = 0;
};

// How a file to be read was found.
enum class OpenStatus {
  kOpen,
  kMissing,     // there is no such file
  kUnreadable,  // something is there that cannot be read: a directory, no permission
};

struct OpenedFile {
  OpenStatus status = OpenStatus::kMissing;
  std::unique_ptr<InputFile> file;  // set where status is kOpen
  std::string reason;               // why, where status is kUnreadable: "Is a directory"
};

// What tells one content of a file from another without reading it: where
// a file's stamp is unchanged, so is its content, unless it was rewritten in
// place within the clock tick of its last change (see settled below).
struct FileStamp {
  std::uint64_t device = 0;   // the file system it is on (the volume's serial on Windows)
  std::uint64_t file_id = 0;  // the inode, or the file index on Windows
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0;  // the last change of its content, in ns since 1970
  std::int64_t changed_ns = 0;   // the last change of its metadata where known, else 0

  bool operator==(const FileStamp&) const = default;
  // Whether it was last changed long enough before now_ns that any later
  // change must bear a later time.
  bool settled(std::int64_t now_ns) const { return modified_ns < now_ns - 2'000'000'000; }
  // Whether two stamps are of one file, whatever names it was reached by.
  bool sameFileAs(const FileStamp& other) const {
    return device == other.device && file_id == other.file_id;
  }
};

// Reads an open file to its end into *content. Returns false with *reason
// set on a read error, *content then holding what was read before it.
bool readInputFile(InputFile& file, std::string* content, std::string* reason);

// The system's text for an errno value, as the C library gives it.
std::string errorText(int error_number);

}  // namespace census
