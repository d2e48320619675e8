#include "base/line_fields.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>

namespace census {
namespace {

// Blank, or one of '\t', '\n', '\v', '\f' and '\r', which stand together.
bool isWhiteSpace(char c) {
  return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
}

bool isDigit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// The common line: exactly values.size() words, each an optional sign and
// at most nine digits, separated by blanks or tabs, and nothing else.
// Returns false, with values unspecified, for any other line, which the
// general loop then reads. Nine digits always fit, so no step checks for
// overflow.
bool readPlainIntegers(std::string_view text, std::span<std::int32_t> values) {
  const char* next = text.data();
  const char* const end = next + text.size();
  while (next != end && isBlankOrTab(*next)) ++next;
  for (std::int32_t& value : values) {
    if (next == end) return false;
    const bool negative = *next == '-';
    next += negative || *next == '+';
    const char* const digits = next;
    std::uint32_t magnitude = 0;
    for (; next != end && isDigit(*next); ++next) {
      magnitude = magnitude * 10 + static_cast<std::uint32_t>(*next - '0');
    }
    if (static_cast<std::size_t>(next - digits) - 1 >= 9) return false;
    value = static_cast<std::int32_t>(negative ? 0 - magnitude : magnitude);
    // A blank or a tab, or the end of the line, closes the word.
    if (next == end) continue;
    if (!isBlankOrTab(*next)) return false;
    do ++next;
    while (next != end && isBlankOrTab(*next));
  }
  return next == end;
}

}  // namespace

void LineFields::skipWhiteSpace() {
  std::size_t blanks = 0;
  while (blanks < rest_.size() && isWhiteSpace(rest_[blanks])) ++blanks;
  rest_.remove_prefix(blanks);
}

std::string_view LineFields::nextWord() {
  skipWhiteSpace();
  last_start_ = rest_.data();
  std::size_t length = 0;
  while (length < rest_.size() && !isWhiteSpace(rest_[length])) ++length;
  const std::string_view word = rest_.substr(0, length);
  rest_.remove_prefix(length);
  return word;
}

std::optional<std::int32_t> LineFields::nextInteger() {
  if (problem_ != FieldProblem::kNone) {
    problem_ = FieldProblem::kAfterFailure;
    return std::nullopt;
  }
  skipWhiteSpace();
  const char* next = rest_.data();
  const char* const end = next + rest_.size();
  last_start_ = next;
  const bool negative = next != end && *next == '-';
  if (next != end && (*next == '-' || *next == '+')) ++next;
  const char* const digits = next;
  // One past the largest magnitude: 2147483648 fits only with a minus sign.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; next != end && isDigit(*next) && magnitude <= kLimit; ++next) {
    magnitude = magnitude * 10 + (*next - '0');
  }
  if (next == digits) {
    problem_ = rest_.empty() ? FieldProblem::kMissing : FieldProblem::kNotANumber;
    return std::nullopt;
  }
  if (magnitude > kLimit || (!negative && magnitude == kLimit)) {
    problem_ = FieldProblem::kOutOfRange;
    return std::nullopt;
  }
  rest_.remove_prefix(static_cast<std::size_t>(next - rest_.data()));
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

WordSpot LineFields::lastWord() const {
  const char* start = last_start_ == nullptr ? line_.data() : last_start_;
  const char* const line_end = line_.data() + line_.size();
  // At the end of the line there is no word, only where it would begin.
  if (start == line_end) return {columnOf(start), {}};
  while (start != line_.data() && !isWhiteSpace(start[-1])) --start;
  const char* end = start;
  while (end != line_end && !isWhiteSpace(*end)) ++end;
  return {columnOf(start), {start, static_cast<std::size_t>(end - start)}};
}

IntegerReading LineFields::readIntegers(std::span<std::int32_t> values, std::size_t* columns) {
  IntegerReading reading;
  if (columns == nullptr && problem_ == FieldProblem::kNone && readPlainIntegers(rest_, values)) {
    reading.read = values.size();
    reading.plain = true;
    last_start_ = rest_.data() + rest_.size();
    rest_.remove_prefix(rest_.size());
    return reading;
  }
  if (problem_ != FieldProblem::kNone) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      values[i] = 0;
      if (columns != nullptr) columns[i] = last_start_ == nullptr ? 0 : columnOf(last_start_);
    }
    reading.problem = FieldProblem::kAfterFailure;
    reading.stop = lastWord();
    return reading;
  }
  // Locals only in the loop: the stores to values could otherwise alias the
  // members and force them to be read again at every step.
  const char* const line_begin = line_.data();
  const char* next = rest_.data();
  const char* const end = next + rest_.size();
  const char* start = next;
  FieldProblem problem = FieldProblem::kNone;
  constexpr std::uint32_t kLimit = std::uint32_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::size_t i = 0;
  for (; i < values.size(); ++i) {
    while (next != end && isWhiteSpace(*next)) ++next;
    start = next;
    if (columns != nullptr) columns[i] = static_cast<std::size_t>(start - line_begin);
    const bool negative = next != end && *next == '-';
    next += next != end && (*next == '-' || *next == '+');
    const char* const digits = next;
    // Nine digits always fit; a longer run goes on with a check per digit.
    std::uint32_t magnitude = 0;
    const char* const nine = end - next > 9 ? next + 9 : end;
    for (; next != nine && isDigit(*next); ++next) {
      magnitude = magnitude * 10 + static_cast<std::uint32_t>(*next - '0');
    }
    bool too_large = false;
    for (; next != end && isDigit(*next); ++next) {
      const std::uint64_t wider =
          std::uint64_t{magnitude} * 10 + static_cast<std::uint32_t>(*next - '0');
      too_large |= wider > kLimit;
      magnitude = too_large ? kLimit + 1 : static_cast<std::uint32_t>(wider);
    }
    if (next == digits) {
      problem = start == end ? FieldProblem::kMissing : FieldProblem::kNotANumber;
      break;
    }
    if (too_large || magnitude > kLimit - (negative ? 0 : 1)) {
      problem = FieldProblem::kOutOfRange;
      break;
    }
    values[i] =
        negative ? static_cast<std::int32_t>(0 - magnitude) : static_cast<std::int32_t>(magnitude);
    if (reading.all_whole && !((start == line_begin || isWhiteSpace(start[-1])) &&
                               (next == end || isWhiteSpace(*next)))) {
      reading.all_whole = false;
      last_start_ = start;
      reading.first_part = lastWord();
    }
  }
  reading.read = i;
  last_start_ = start;
  if (problem != FieldProblem::kNone) {
    // Nothing of the failed word is taken; it and all after it read as 0.
    next = start;
    problem_ = problem;
    reading.problem = problem;
    reading.stop = lastWord();
    for (; i < values.size(); ++i) {
      values[i] = 0;
      if (columns != nullptr) columns[i] = static_cast<std::size_t>(start - line_begin);
    }
  }
  rest_ = std::string_view(next, static_cast<std::size_t>(end - next));
  return reading;
}

WordSpot LineFields::rest() {
  if (rest_.empty()) return {columnOf(rest_.data()), rest_};
  skipWhiteSpace();
  return {columnOf(rest_.data()), rest_};
}

std::optional<std::int32_t> parseWholeNumber(std::string_view word) {
  // from_chars takes no '+', so step over one here; a second sign still fails.
  if (word.size() > 1 && word.front() == '+' && word[1] != '-') word.remove_prefix(1);
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size() || word.empty()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace census
