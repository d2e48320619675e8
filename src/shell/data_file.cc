#include "shell/data_file.h"

#include <charconv>
#include <filesystem>

namespace census {
namespace {

bool isWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

DataFileReader::DataFileReader(const std::string& file_name) {
  std::error_code error;
  if (std::filesystem::is_directory(file_name, error)) return;
  file_.open(file_name, std::ios::binary);
  is_open_ = file_.is_open();
}

bool DataFileReader::nextLine(std::string& line) {
  if (!is_open_ || !std::getline(file_, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void LineFields::skipWhiteSpace() {
  while (!rest_.empty() && isWhiteSpace(rest_.front())) rest_.remove_prefix(1);
}

std::string_view LineFields::nextWord() {
  skipWhiteSpace();
  std::size_t length = 0;
  while (length < rest_.size() && !isWhiteSpace(rest_[length])) ++length;
  const std::string_view word = rest_.substr(0, length);
  rest_.remove_prefix(length);
  return word;
}

std::optional<std::int32_t> LineFields::nextInteger() {
  if (failed_) return std::nullopt;
  skipWhiteSpace();
  std::size_t length = 0;
  if (!rest_.empty() && (rest_.front() == '+' || rest_.front() == '-')) length = 1;
  const std::size_t first_digit = length;
  while (length < rest_.size() && isDigit(rest_[length])) ++length;
  std::int32_t value = 0;
  // from_chars reads a '-' but no '+', so the digits start after a '+'.
  const char* begin = rest_.data() + (length > first_digit && rest_.front() == '+' ? 1 : 0);
  if (length == first_digit ||
      std::from_chars(begin, rest_.data() + length, value).ec != std::errc()) {
    failed_ = true;
    return std::nullopt;
  }
  rest_.remove_prefix(length);
  return value;
}

}  // namespace census
