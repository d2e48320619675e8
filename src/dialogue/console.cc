#include "dialogue/console.h"

#include <cerrno>

namespace census {

Console& Console::operator<<(EndLine) {
  *this << "\n";
  flush();
  return *this;
}

void Console::flush() {
  errno = 0;
  out_.write(pending_.data(), static_cast<std::streamsize>(used_));
  out_.flush();
  used_ = 0;
  if (!out_ && write_error_ == 0) write_error_ = errno == 0 ? EIO : errno;
}

void Console::reportError(std::string_view message) {
  errors_ << "census: " << message << '\n';
  errors_.flush();
}

std::optional<std::string> Console::readWord() {
  flush();
  if (!out_) return std::nullopt;
  std::string word;
  if (!(in_ >> word)) return std::nullopt;
  return word;
}

}  // namespace census
