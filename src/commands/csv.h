// CSV as RFC 4180 has it, and as spreadsheets write it: fields separated by
// commas (or by semicolons or tabs, as spreadsheets of some countries save
// it), quoted where they hold a separator, a quote or a line end, with
// quotes doubled inside quotes; records end in CR LF, LF or CR.
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

// The text of a CSV file as UTF-8, whatever a spreadsheet saved: UTF-8 with
// or without a byte order mark (which is dropped), or UTF-16, little or
// big endian, with one. A UTF-16 code unit that pairs with none becomes
// U+FFFD.
std::string csvTextAsUtf8(std::string_view bytes);

// The separator the header line uses: of ',', ';' and a tab, the one it
// holds most of outside quotes; ',' where it holds none.
char csvSeparator(std::string_view text);

// Reads records one at a time from the whole text of a CSV file.
class CsvReader {
 public:
  explicit CsvReader(std::string_view text, char separator = ',');

  // Reads the next record. Returns false at the end of the text, and also
  // where a quoted field is never closed: then error() says so and names
  // the line where the field began.
  bool next(CsvRecord& record);
  const std::string& error() const { return error_; }

 private:
  std::string_view rest_;
  char separator_;
  std::size_t line_ = 1;
  std::string error_;
};

}  // namespace census
