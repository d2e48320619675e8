// A piece of text of at most eight bytes that is copied as one 64-bit word:
// the separators a listing writes between its figures, millions of times,
// without a call to copy each.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace census {

class ShortText {
 public:
  static constexpr std::size_t kMostBytes = 8;

  // REQUIRES: text.size() <= kMostBytes.
  constexpr explicit ShortText(std::string_view text) : size_(text.size()) {
    for (std::size_t i = 0; i < text.size() && i < kMostBytes; ++i) bytes_[i] = text[i];
  }

  // All eight bytes; only the first size() are the text.
  const char* bytes() const { return bytes_.data(); }
  std::size_t size() const { return size_; }

 private:
  std::array<char, kMostBytes> bytes_{};
  std::size_t size_;
};

}  // namespace census
