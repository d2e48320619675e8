#include "commands/csv.h"

namespace census {

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted.push_back('"');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

CsvReader::CsvReader(std::string_view text) : rest_(text) {
  if (rest_.starts_with("\xEF\xBB\xBF")) rest_.remove_prefix(3);
}

bool CsvReader::next(CsvRecord& record) {
  if (rest_.empty() || !error_.empty()) return false;
  record.line = line_;
  record.fields.assign(1, std::string());
  std::size_t at = 0;
  bool quoted = false;
  std::size_t quote_line = 0;
  for (; at < rest_.size(); ++at) {
    const char c = rest_[at];
    std::string& field = record.fields.back();
    if (quoted) {
      if (c == '"' && at + 1 < rest_.size() && rest_[at + 1] == '"') {
        field.push_back('"');
        ++at;
      } else if (c == '"') {
        quoted = false;
      } else {
        line_ += c == '\n';
        field.push_back(c);
      }
    } else if (c == '"' && field.empty()) {
      quoted = true;
      quote_line = line_;
    } else if (c == ',') {
      record.fields.emplace_back();
    } else if (c == '\n' || (c == '\r' && at + 1 < rest_.size() && rest_[at + 1] == '\n')) {
      at += c == '\r' ? 2 : 1;
      ++line_;
      rest_.remove_prefix(at);
      return true;
    } else {
      field.push_back(c);
    }
  }
  if (quoted) {
    error_ =
        "a quoted field that begins on line " + std::to_string(quote_line) + " is never closed";
    rest_ = {};
    return false;
  }
  rest_ = {};
  return true;
}

}  // namespace census
