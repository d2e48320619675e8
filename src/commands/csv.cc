#include "commands/csv.h"

#include "base/text.h"

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

namespace {

std::string utf16AsUtf8(std::string_view bytes, bool big_endian) {
  std::string out;
  out.reserve(bytes.size());
  const auto unit = [&](std::size_t at) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<char32_t>(big_endian ? (first << 8) | second : (second << 8) | first);
  };
  for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
    char32_t c = unit(at);
    if (c >= 0xD800 && c <= 0xDBFF && at + 3 < bytes.size() && unit(at + 2) >= 0xDC00 &&
        unit(at + 2) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
      at += 2;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    appendUtf8(c, out);
  }
  return out;
}

}  // namespace

std::string csvTextAsUtf8(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
  if (bytes.starts_with("\xFF\xFE")) return utf16AsUtf8(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return utf16AsUtf8(bytes.substr(2), true);
  return std::string(bytes);
}

char csvSeparator(std::string_view text) {
  std::size_t commas = 0, semicolons = 0, tabs = 0;
  bool quoted = false;
  for (const char c : text) {
    if (!quoted && (c == '\n' || c == '\r')) break;
    quoted = c == '"' ? !quoted : quoted;
    if (quoted) continue;
    commas += c == ',';
    semicolons += c == ';';
    tabs += c == '\t';
  }
  if (semicolons > commas && semicolons >= tabs) return ';';
  if (tabs > commas && tabs > semicolons) return '\t';
  return ',';
}

CsvReader::CsvReader(std::string_view text, char separator) : rest_(text), separator_(separator) {}

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
        line_ += c == '\n' || (c == '\r' && (at + 1 == rest_.size() || rest_[at + 1] != '\n'));
        field.push_back(c);
      }
    } else if (c == '"' && field.empty()) {
      quoted = true;
      quote_line = line_;
    } else if (c == separator_) {
      record.fields.emplace_back();
    } else if (c == '\n' || c == '\r') {
      at += c == '\r' && at + 1 < rest_.size() && rest_[at + 1] == '\n' ? 2 : 1;
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
