#include "shell/data_file.h"

#include <filesystem>
#include <limits>

namespace census {
namespace {

// Blank, or one of '\t', '\n', '\v', '\f' and '\r', which stand together.
bool isWhiteSpace(char c) {
  return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
}

bool isDigit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

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
  std::size_t blanks = 0;
  while (blanks < rest_.size() && isWhiteSpace(rest_[blanks])) ++blanks;
  rest_.remove_prefix(blanks);
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
  const char* next = rest_.data();
  const char* const end = next + rest_.size();
  const bool negative = next != end && *next == '-';
  if (next != end && (*next == '-' || *next == '+')) ++next;
  const char* const digits = next;
  // One past the largest magnitude: 2147483648 fits only with a minus sign.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; next != end && isDigit(*next) && magnitude <= kLimit; ++next) {
    magnitude = magnitude * 10 + (*next - '0');
  }
  if (next == digits || magnitude > kLimit || (!negative && magnitude == kLimit)) {
    failed_ = true;
    return std::nullopt;
  }
  rest_.remove_prefix(static_cast<std::size_t>(next - rest_.data()));
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace census
