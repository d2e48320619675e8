#include "base/line_fields.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace census {
namespace {

// Blank, or one of '\t', '\n', '\v', '\f' and '\r', which stand together.
bool isWhiteSpace(char c) {
  return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
}

bool isDigit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// Eight bytes of text as one little-endian word: the first byte lowest.
static_assert(std::endian::native == std::endian::little, "the word tricks below need it");
std::uint64_t loadEight(const char* text) {
  std::uint64_t word;
  std::memcpy(&word, text, sizeof word);
  return word;
}

constexpr std::uint64_t kEachByte = 0x0101010101010101;

// How many of the eight bytes of word, from the first, are decimal digits.
// A byte above '9' sets its top bit when 0x46 is added, one below '0' when
// '0' is taken away. Carries and borrows run only towards later bytes and
// only out of a byte that is not a digit, so the first flagged byte is the
// first that is not a digit.
int leadingDigitCount(std::uint64_t word) {
  const std::uint64_t not_digit =
      ((word + 0x46 * kEachByte) | (word - '0' * kEachByte)) & (0x80 * kEachByte);
  return not_digit == 0 ? 8 : std::countr_zero(not_digit) / 8;
}

// The value of the first count (1 to 8) digits of word: each step joins
// neighbouring lanes, digits into pairs, pairs into fours, fours into eight.
std::uint32_t valueOfDigits(std::uint64_t word, int count) {
  std::uint64_t digits = (word - '0' * kEachByte) << (8 * (8 - count));
  digits = digits * 10 + (digits >> 8);
  digits = (((digits & 0x000000FF000000FF) * (100 + (1000000ULL << 32))) +
            (((digits >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32)))) >>
           32;
  return static_cast<std::uint32_t>(digits);
}

// The common line: exactly values.size() words, each an optional sign and
// at most nine digits, separated by blanks or tabs, and nothing else.
// Returns false, with values unspecified, for any other line, which the
// general loop then reads. Nine digits always fit, so no step checks for
// overflow. Where eight bytes of the line are left, their digits are read
// in one step: figures of a census have six to eight digits.
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
    if (end - next >= 8) {
      const std::uint64_t word = loadEight(next);
      const int count = leadingDigitCount(word);
      if (count > 0) magnitude = valueOfDigits(word, count);
      next += count;
    }
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

#if defined(__SSE2__)

namespace {

constexpr std::size_t kMaskWords = kMostDigitWordsLine / 64;

// One bit per byte of a line, the first byte lowest: 64 bytes a word.
struct LineMasks {
  std::array<std::uint64_t, kMaskWords> digit{};
  std::array<std::uint64_t, kMaskWords> other{};  // neither a digit, nor a blank or tab
};

// Classifies sixteen bytes: which are digits (digit), which are neither a
// digit nor a blank or a tab (other). The compares are signed, so bytes 0x80
// to 0xFF stand below '0' and are "other", as they should be.
struct SixteenBits {
  std::uint64_t digit;
  std::uint64_t other;
};
SixteenBits classifySixteen(const char* bytes) {
  const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  const __m128i is_digit = _mm_and_si128(_mm_cmpgt_epi8(text, _mm_set1_epi8('0' - 1)),
                                         _mm_cmplt_epi8(text, _mm_set1_epi8('9' + 1)));
  const __m128i is_gap = _mm_or_si128(_mm_cmpeq_epi8(text, _mm_set1_epi8(' ')),
                                      _mm_cmpeq_epi8(text, _mm_set1_epi8('\t')));
  const int known = _mm_movemask_epi8(_mm_or_si128(is_digit, is_gap));
  return {static_cast<std::uint64_t>(_mm_movemask_epi8(is_digit)),
          static_cast<std::uint64_t>(known ^ 0xFFFF)};
}

// The sixteen bytes of line from at: none past its end, and for its last
// few bytes a load that ends where the line ends, shifted into place (or,
// in a line shorter than sixteen bytes, a copy padded with blanks).
SixteenBits classifyAt(std::string_view line, std::size_t at) {
  if (at + 16 <= line.size()) return classifySixteen(line.data() + at);
  if (at >= line.size()) return {0, 0};
  const std::size_t rest = line.size() - at;
  if (line.size() >= 16) {
    const SixteenBits last = classifySixteen(line.data() + line.size() - 16);
    return {last.digit >> (16 - rest), last.other >> (16 - rest)};
  }
  char padded[16];
  std::memset(padded, ' ', sizeof padded);
  std::memcpy(padded, line.data() + at, rest);
  return classifySixteen(padded);
}

LineMasks classifyLine(std::string_view line) {
  LineMasks masks;
  for (std::size_t word = 0; word * 64 < line.size(); ++word) {
    const std::size_t at = word * 64;
    const SixteenBits a = classifyAt(line, at);
    const SixteenBits b = classifyAt(line, at + 16);
    const SixteenBits c = classifyAt(line, at + 32);
    const SixteenBits d = classifyAt(line, at + 48);
    masks.digit[word] = a.digit | b.digit << 16 | c.digit << 32 | d.digit << 48;
    masks.other[word] = a.other | b.other << 16 | c.other << 32 | d.other << 48;
  }
  return masks;
}

using MaskWords = std::array<std::uint64_t, kMaskWords>;

// The bits of mask from bit shift on, running on from the next word.
// REQUIRES: 0 < shift < 64.
std::uint64_t shiftedDown(const MaskWords& mask, std::size_t at, std::size_t shift) {
  return mask[at] >> shift | (at + 1 == kMaskWords ? 0 : mask[at + 1] << (64 - shift));
}

// The words of the line begin at a digit whose byte before is not one.
std::uint64_t wordStarts(const MaskWords& digit, std::size_t at) {
  return digit[at] & ~(digit[at] << 1 | (at == 0 ? 0 : digit[at - 1] >> 63));
}

}  // namespace

bool isDigitRow(std::string_view line, std::size_t count) {
  if (line.size() > kMostDigitWordsLine) return false;
  const LineMasks masks = classifyLine(line);
  const std::size_t used = (line.size() + 63) / 64;
  // Bit i of pairs (fours, eights, tens): the two (four, eight, ten) bytes
  // from byte i on are all digits.
  MaskWords pairs{};
  MaskWords fours{};
  std::uint64_t tens = 0;
  std::size_t words = 0;
  for (std::size_t at = 0; at < used; ++at) {
    if (masks.other[at] != 0) return false;
    for (std::uint64_t starts = wordStarts(masks.digit, at); starts != 0; starts &= starts - 1) {
      ++words;
    }
    pairs[at] = masks.digit[at] & shiftedDown(masks.digit, at, 1);
  }
  for (std::size_t at = 0; at < used; ++at) fours[at] = pairs[at] & shiftedDown(pairs, at, 2);
  for (std::size_t at = 0; at < used; ++at) {
    const std::uint64_t eights = fours[at] & shiftedDown(fours, at, 4);
    tens |= eights & shiftedDown(pairs, at, 8);
  }
  return words == count && tens == 0;
}

bool findDigitWords(std::string_view line, std::span<std::string_view> words) {
  if (line.size() > kMostDigitWordsLine) return false;
  const LineMasks masks = classifyLine(line);
  const std::size_t used = (line.size() + 63) / 64;
  const auto& digit = masks.digit;
  // A word runs on while digits follow, from one mask word into the next.
  std::size_t count = 0;
  for (std::size_t at = 0; at < used; ++at) {
    if (masks.other[at] != 0) return false;
    for (std::uint64_t starts = wordStarts(digit, at); starts != 0; starts &= starts - 1) {
      const std::size_t bit = static_cast<std::size_t>(std::countr_zero(starts));
      const int length = std::countr_one(bit == 0 ? digit[at] : shiftedDown(digit, at, bit));
      if (length > 9 || count == words.size()) return false;
      words[count++] = line.substr(at * 64 + bit, static_cast<std::size_t>(length));
    }
  }
  return count == words.size();
}

#else

bool isDigitRow(std::string_view, std::size_t) { return false; }
bool findDigitWords(std::string_view, std::span<std::string_view>) { return false; }

#endif

}  // namespace census
