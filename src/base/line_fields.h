// Taking one line of text apart into white-space-delimited words and
// integers, front to back, as the program reads its data files. The reader is
// lenient: "12abc" gives 12 and leaves "abc", and every integer after the
// first that fails fails too. It also says where and why it stopped, so that
// a caller that judges a file can name the column and the text at fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace census {

// Why an integer could not be read.
enum class FieldProblem {
  kNone,         // the last read succeeded
  kMissing,      // only white space was left
  kNotANumber,   // no digit stands where the integer should begin ("abc", "-")
  kOutOfRange,   // digits that do not fit in 32 bits signed
  kAfterFailure  // an earlier integer of the line failed; nothing was looked at
};

// A word of a line and where it begins (0-based).
struct WordSpot {
  std::size_t column = 0;
  std::string_view word;
};

// How the integers of a line read, and where and why reading stopped.
struct IntegerReading {
  std::size_t read = 0;                        // integers read before the first failure
  FieldProblem problem = FieldProblem::kNone;  // why reading stopped early
  WordSpot stop;          // the word in which it stopped (empty at the end of the line)
  bool all_whole = true;  // every integer read was a whole word: no "12abc", no "1,200"
  bool plain = false;     // the line was these integers and blanks, nothing else
  WordSpot first_part;    // the first word that was not read whole, where all_whole is false
};

class LineFields {
 public:
  explicit LineFields(std::string_view line) : line_(line), rest_(line) {}

  // Skips white space and returns the next white-space-delimited word, or an
  // empty view when only white space is left.
  std::string_view nextWord();

  // Skips white space, then takes an optional sign and the decimal digits
  // after it, stopping at the first other character (so "12abc" gives 12 and
  // leaves "abc"). Fails where no digit stands or the value does not fit in
  // 32 bits signed; after a failure every later call fails too.
  std::optional<std::int32_t> nextInteger();

  // Why the last nextInteger failed; kNone after a success.
  FieldProblem lastProblem() const { return problem_; }

  // The whole white-space-delimited word in which the last nextWord or
  // nextInteger began, with its column: "12abc" both for the 12 and for the
  // failure at "abc". An empty word at the end of the line.
  WordSpot lastWord() const;

  // The 0-based column where the last field began, after white space.
  std::size_t lastColumn() const { return columnOf(last_start_); }

  // Skips white space and returns what is left of the line, with its column.
  WordSpot rest();

  // Reads values.size() integers exactly as as many calls of nextInteger
  // would, setting values from the first failure on to 0. Where columns is
  // not null, it gets each integer's column (for those from the failure on,
  // the failure point's). Listings read millions of lines through this, so
  // it is one tight loop.
  // REQUIRES: columns, when given, has room for values.size() entries.
  IntegerReading readIntegers(std::span<std::int32_t> values, std::size_t* columns = nullptr);

 private:
  void skipWhiteSpace();
  std::size_t columnOf(const char* position) const {
    return static_cast<std::size_t>(position - line_.data());
  }

  std::string_view line_;
  std::string_view rest_;
  const char* last_start_ = nullptr;  // where the last field began, after white space
  FieldProblem problem_ = FieldProblem::kNone;
};

// The longest line findDigitWords takes apart.
inline constexpr std::size_t kMostDigitWordsLine = 256;

// Whether line is a digit row of count words: exactly count unsigned figures
// of one to nine digits, separated by blanks or tabs (with blanks or tabs
// before and after allowed), and nothing else. Such a line holds no signs
// and nothing odd, so a reader that only judges it need not read its values.
// False for any other line, for one longer than kMostDigitWordsLine, and on
// a processor without 16-byte compares for every line: a caller then reads
// the line with LineFields. Both tell millions of lines in one pass each.
bool isDigitRow(std::string_view line, std::size_t count);

// Where line is a digit row of words.size() words, sets words to them and
// returns true; otherwise returns false, as isDigitRow.
bool findDigitWords(std::string_view line, std::span<std::string_view> words);

// Parses a whole word as an optionally signed ('+' or '-') decimal integer
// that fits in 32 bits signed. Returns nullopt for anything else
// ("abc", "12abc", "1.5", "99999999999", "-").
std::optional<std::int32_t> parseWholeNumber(std::string_view word);

}  // namespace census
