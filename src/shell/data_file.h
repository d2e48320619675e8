// Reading and saving the program's plain-text data files, which live in the
// current working directory under fixed names. Lines end at a newline; a
// carriage return right before it belongs to the line end, so files written
// on Windows read the same as their Linux twins.
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace census {

// The program's one message about a file: a listing that cannot open its
// file, or a save that failed.
inline constexpr std::string_view kUnableToOpenFile = "Unable to open file";

// Reads a data file one line at a time, holding one line in memory.
// A file that is missing, unreadable or a directory cannot be opened and
// yields no lines.
class DataFileReader {
 public:
  explicit DataFileReader(const std::string& file_name);

  bool isOpen() const { return is_open_; }

  // Reads the next line into line, without its line end. A last line without
  // a newline is a line too. Returns false at end of file or on a read error.
  bool nextLine(std::string& line);

 private:
  std::ifstream file_;
  bool is_open_ = false;
};

// Takes one line of a data file apart, front to back.
class LineFields {
 public:
  explicit LineFields(std::string_view line) : rest_(line) {}

  // Skips white space and returns the next white-space-delimited word, or an
  // empty view when only white space is left.
  std::string_view nextWord();

  // Skips white space, then takes an optional sign and the decimal digits
  // after it, stopping at the first other character (so "12abc" gives 12 and
  // leaves "abc"). Fails where no digit stands or the value does not fit in
  // 32 bits signed; after a failure every later call fails too.
  std::optional<std::int32_t> nextInteger();

 private:
  void skipWhiteSpace();

  std::string_view rest_;
  bool failed_ = false;
};

// Replaces the whole content of a data file, or leaves it exactly as it was.
// The content (lines ending in "\n", written in the platform's text form) goes
// to a temporary file beside the target, which is flushed to disk and then
// renamed over the target in one step; a replaced file keeps its permission
// bits. Returns false, with the target untouched and no temporary file left,
// when any step fails, also when the target exists but may not be written.
bool saveDataFile(const std::string& file_name, std::string_view content);

}  // namespace census
