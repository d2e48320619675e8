// Output gathered in large blocks: a command that writes many short pieces
// hands them to its stream a block at a time, whatever that stream's own
// buffering, and memory stays flat however much is written.
#pragma once

#include <charconv>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace census {

class OutputBuffer {
 public:
  explicit OutputBuffer(std::ostream& out) : out_(out) {}
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;
  ~OutputBuffer() { flush(); }

  OutputBuffer& operator<<(std::string_view text) {
    pending_.append(text);
    if (pending_.size() >= kBlockSize) flush();
    return *this;
  }
  OutputBuffer& operator<<(char c) { return *this << std::string_view(&c, 1); }
  OutputBuffer& operator<<(std::int64_t number) {
    char digits[24];
    return *this << std::string_view(
               digits,
               static_cast<std::size_t>(std::to_chars(digits, digits + 24, number).ptr - digits));
  }
  OutputBuffer& operator<<(std::int32_t number) { return *this << std::int64_t{number}; }
  OutputBuffer& operator<<(std::size_t number) {
    return *this << static_cast<std::int64_t>(number);
  }

  // Hands everything gathered to the stream and flushes it.
  void flush() {
    out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
    out_.flush();
    pending_.clear();
  }

 private:
  static constexpr std::size_t kBlockSize = 64 * 1024;
  std::ostream& out_;
  std::string pending_;
};

}  // namespace census
