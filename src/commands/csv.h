// CSV as RFC 4180 has it, and as spreadsheets write it: fields separated by
// commas, quoted where they hold a comma, a quote or a line end, with quotes
// doubled inside quotes; records end in CR LF or LF; a UTF-8 byte order mark
// at the start is skipped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace census {

// One field as it is written: quoted only where it must be.
//   csvField("Jos") == "Jos";  csvField("a,b") == "\"a,b\"";  csvField("x\"y") == "\"x\"\"y\""
std::string csvField(std::string_view text);

struct CsvRecord {
  std::size_t line = 0;  // 1-based line of the input on which the record begins
  std::vector<std::string> fields;
};

// Reads records one at a time from the whole text of a CSV file.
class CsvReader {
 public:
  explicit CsvReader(std::string_view text);

  // Reads the next record. Returns false at the end of the text, and also
  // where a quoted field is never closed: then error() says so and names
  // the line where the field began.
  bool next(CsvRecord& record);
  const std::string& error() const { return error_; }

 private:
  std::string_view rest_;
  std::size_t line_ = 1;
  std::string error_;
};

}  // namespace census
