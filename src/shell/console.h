// The console: the one ordered path for everything the program writes to the
// operator and reads back. Text goes out in program order; an end-of-line
// writes a newline and flushes; every read flushes first, so each prompt is
// on the screen before the program waits for its answer. Text is gathered
// here until it is flushed, so a line reaches the output stream in one write.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "shell/decimal.h"

namespace census {

// Tag for Console::operator<<: one newline, then a flush.
struct EndLine {};
inline constexpr EndLine kEndLine{};

class Console {
 public:
  Console(std::istream& in, std::ostream& out) : in_(in), out_(out) {}
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
  ~Console() { flush(); }

  // Writes text or a number (plain decimal) onto the current line, unflushed.
  // A fixed line is simply text that carries its own "\n".
  Console& operator<<(std::string_view text) {
    std::copy(text.begin(), text.end(), reserve(text.size()));
    used_ += text.size();
    return *this;
  }
  Console& operator<<(std::int32_t number) { return appendNumber(number); }
  Console& operator<<(std::int64_t number) { return appendNumber(number); }
  Console& operator<<(EndLine);

  // Hands everything written so far to the output stream and flushes it.
  void flush();

  // Flushes, skips white space and returns the next white-space-delimited
  // word; the white space after it stays unread. Returns nullopt at end of
  // input, on a read error, or when the output is gone (no one can see the
  // prompt, so no answer can be meant for it).
  std::optional<std::string> readWord();

 private:
  template <typename Integer>
  Console& appendNumber(Integer number) {
    char* digits = reserve(kMaxDecimalLength);
    used_ += static_cast<std::size_t>(
        std::to_chars(digits, digits + kMaxDecimalLength, number).ptr - digits);
    return *this;
  }

  // Room for size more bytes after the pending text; listings write long
  // runs of short pieces, so this stays inline and cheap.
  char* reserve(std::size_t size) {
    if (pending_.size() - used_ < size) pending_.resize(2 * pending_.size() + size);
    return pending_.data() + used_;
  }

  std::istream& in_;
  std::ostream& out_;
  std::string pending_;  // the first used_ bytes are written, not yet flushed
  std::size_t used_ = 0;
};

// Parses a whole word as an optionally signed ('+' or '-') decimal integer
// that fits in 32 bits signed. Returns nullopt for anything else
// ("abc", "12abc", "1.5", "99999999999", "-").
std::optional<std::int32_t> parseWholeNumber(std::string_view word);

// Writes a prompt and reads one number; a word that is not a whole 32-bit
// number is discarded and the prompt written again. Returns nullopt at end of
// input. write_prompt is called as write_prompt(console).
template <typename WritePrompt>
std::optional<std::int32_t> askNumber(Console& console, WritePrompt write_prompt) {
  for (;;) {
    write_prompt(console);
    const std::optional<std::string> word = console.readWord();
    if (!word) return std::nullopt;
    if (const std::optional<std::int32_t> number = parseWholeNumber(*word)) return number;
  }
}

}  // namespace census
