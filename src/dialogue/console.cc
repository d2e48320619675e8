#include "dialogue/console.h"

#include <cerrno>

namespace census {

Console& Console::operator<<(EndLine) {
  *this << "\n";
  flush();
  return *this;
}

// Writes straight to the stream's buffer: a listing flushes once a line, and
// the stream's own checks around each write cost more than the write.
void Console::flush() {
  const std::streamsize size = static_cast<std::streamsize>(used_);
  used_ = 0;
  if (!out_) {
    if (write_error_ == 0) write_error_ = EIO;
    return;
  }
  errno = 0;
  std::streambuf& buffer = *out_.rdbuf();
  if (buffer.sputn(pending_.data(), size) == size && buffer.pubsync() == 0) return;
  out_.setstate(std::ios::badbit);
  if (write_error_ == 0) write_error_ = errno == 0 ? EIO : errno;
}

void Console::reportError(std::string_view message) {
  reported_error_ = true;
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
