// The console: the one ordered path for everything the program writes to the
// operator and reads back. Text goes out in program order; an end-of-line
// writes a newline and flushes; every read flushes first, so each prompt is
// on the screen before the program waits for its answer. Text is gathered
// here until it is flushed, so a line reaches the output stream in one write.
// Diagnostics that are not part of the dialogue go to a separate error
// stream, one line each.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "base/decimal.h"
#include "base/line_fields.h"

namespace census {

// The dialogue's one message about a file: a listing that cannot open its
// file, or a save that failed.
inline constexpr std::string_view kUnableToOpenFile = "Unable to open file";

// Tag for Console::operator<<: one newline, then a flush.
struct EndLine {};
inline constexpr EndLine kEndLine{};

class Console {
 public:
  Console(std::istream& in, std::ostream& out, std::ostream& errors)
      : in_(in), out_(out), errors_(errors) {}
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

  // Writes onto the current line, unflushed, what fill(char* at) puts at
  // at, at most most bytes; fill returns the end of what it put. A listing
  // builds each long row in place this way rather than copying it in.
  template <typename Fill>
  Console& writeInPlace(std::size_t most, Fill fill) {
    char* const at = reserve(most);
    used_ += static_cast<std::size_t>(fill(at) - at);
    return *this;
  }

  // Hands everything written so far to the output stream and flushes it.
  void flush();

  // Flushes, skips white space and returns the next white-space-delimited
  // word; the white space after it stays unread. Returns nullopt at end of
  // input, on a read error, or when the output is gone (no one can see the
  // prompt, so no answer can be meant for it).
  std::optional<std::string> readWord();

  // The errno of the first write to the output stream that failed, or 0.
  int writeError() const { return write_error_; }

  // Writes "census: " and the message as one line to the error stream; the
  // run then ends with status 1 (a save failed, a list could not be read).
  void reportError(std::string_view message);
  bool reportedError() const { return reported_error_; }

 private:
  bool reported_error_ = false;
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
  std::ostream& errors_;
  int write_error_ = 0;
  std::string pending_;  // the first used_ bytes are written, not yet flushed
  std::size_t used_ = 0;
};

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
