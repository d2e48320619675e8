#include "base/line_fields.h"

#include <charconv>
#include <limits>

namespace census {
namespace {

// Blank, or one of '\t', '\n', '\v', '\f' and '\r', which stand together.
bool isWhiteSpace(char c) {
  return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
}

bool isDigit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

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
  while (start != line_.data() && !isWhiteSpace(start[-1])) --start;
  const char* end = start;
  while (end != line_end && !isWhiteSpace(*end)) ++end;
  return {columnOf(start), {start, static_cast<std::size_t>(end - start)}};
}

bool LineFields::lastFilledItsWord() const {
  return problem_ == FieldProblem::kNone &&
         (last_start_ == line_.data() || isWhiteSpace(last_start_[-1])) &&
         (rest_.empty() || isWhiteSpace(rest_.front()));
}

IntegerReading readIntegers(LineFields& fields, std::span<std::int32_t> values,
                            std::size_t* columns) {
  IntegerReading reading;
  for (std::int32_t& value : values) {
    const std::optional<std::int32_t> next = fields.nextInteger();
    if (columns != nullptr) *columns++ = fields.lastColumn();
    if (!next) {
      if (reading.problem == FieldProblem::kNone) {
        reading.problem = fields.lastProblem();
        reading.stop = fields.lastWord();
      }
      value = 0;
      continue;
    }
    value = *next;
    ++reading.read;
    if (reading.all_whole && !fields.lastFilledItsWord()) {
      reading.all_whole = false;
      reading.first_part = fields.lastWord();
    }
  }
  return reading;
}

WordSpot LineFields::rest() {
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
