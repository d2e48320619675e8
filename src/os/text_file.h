// Reading and saving the program's plain-text files. Lines end at a newline;
// a carriage return right before it belongs to the line end, so files
// written on Windows read the same as their Linux twins.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace census {

// Reads a text file one line at a time, in blocks, holding at most one block
// and the longest line in memory. A file that is missing, unreadable or a
// directory cannot be opened and yields no lines.
class TextFileReader {
 public:
  enum class State { kOpen, kMissing, kUnreadable };

  explicit TextFileReader(const std::string& file_name);
  ~TextFileReader();
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;

  bool isOpen() const { return state_ == State::kOpen; }
  // kMissing where there is no such file; kUnreadable where something is
  // there that cannot be read (a directory, no permission, a read error).
  State state() const { return state_; }
  // Why the file cannot be read ("Is a directory"); empty while all is well.
  const std::string& reason() const { return reason_; }

  // Sets line to the next line, without its line end; the view holds until
  // the next call. A last line without a newline is a line too. Returns
  // false at end of file or on a read error, after which state() is
  // kUnreadable.
  bool nextLine(std::string_view& line);

 private:
  bool fill();

  std::FILE* file_ = nullptr;
  State state_ = State::kMissing;
  std::string reason_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // the unread bytes are [begin_, end_)
  std::size_t end_ = 0;
  bool at_end_ = false;
};

// Reads a whole file, byte for byte, into *content. Returns false with
// *reason set ("No such file or directory", "Is a directory") where it
// cannot be read.
bool readWholeFile(const std::string& file_name, std::string* content, std::string* reason);

// Replaces the whole content of a file, or leaves it exactly as it was. The
// content (lines ending in "\n", written in the platform's text form) goes
// to a temporary file beside the target, "<file_name>.tmp", which is
// flushed to disk and then renamed over the target in one step; a replaced
// file keeps its permission bits. Returns false, with the target untouched,
// no temporary file left and *reason set ("Permission denied"), when any
// step fails, also when the target exists but may not be written.
bool saveTextFile(const std::string& file_name, std::string_view content, std::string* reason);

// Replaces a file's content with these exact bytes (no line-end
// translation), in the same all-or-nothing way as saveTextFile.
bool saveBinaryFile(const std::string& file_name, std::string_view content, std::string* reason);

// The system's text for an errno value, as the C library gives it.
std::string errorText(int error_number);

}  // namespace census
