// Reading the program's plain-text files one line at a time. Lines end at a
// newline; a carriage return right before it belongs to the line end, so
// files written on Windows read the same as their Linux twins.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "save/file_system.h"

namespace census {

// Reads a text file one line at a time, in blocks, holding at most one block
// and the longest line in memory. A file that is missing, unreadable or a
// directory cannot be opened and yields no lines.
class TextFileReader {
 public:
  TextFileReader(FileSystem& files, const std::string& name);
  // Reads a file already opened (or found missing or unreadable).
  explicit TextFileReader(OpenedFile opened);
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;

  // kMissing where there is no such file; kUnreadable where something is
  // there that cannot be read (a directory, no permission), or where a read
  // failed part way.
  OpenStatus status() const { return status_; }
  // Why the file cannot be read ("Is a directory"); empty while all is well.
  const std::string& reason() const { return reason_; }
  // Whether the file was opened, even if a read failed later.
  bool wasOpened() const { return file_ != nullptr; }

  // Sets line to the next line, without its line end; the view holds until
  // the next call. A last line without a newline is a line too. Returns
  // false at end of file or on a read error, after which status() is
  // kUnreadable.
  bool nextLine(std::string_view& line);

 private:
  bool fill();

  std::unique_ptr<InputFile> file_;
  OpenStatus status_ = OpenStatus::kMissing;
  std::string reason_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // the unread bytes are [begin_, end_)
  std::size_t end_ = 0;
  bool at_end_ = false;
};

// A file whose content is already in memory, opened for reading: for a
// reader of a file that was read whole once, as a page that shows its
// version does.
OpenedFile openedContent(std::string content);

}  // namespace census
