#include "shell/console.h"

#include <charconv>

namespace census {

Console& Console::operator<<(EndLine) {
  *this << "\n";
  flush();
  return *this;
}

void Console::flush() {
  out_.write(pending_.data(), static_cast<std::streamsize>(used_));
  out_.flush();
  used_ = 0;
}

std::optional<std::string> Console::readWord() {
  flush();
  if (!out_) return std::nullopt;
  std::string word;
  if (!(in_ >> word)) return std::nullopt;
  return word;
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
