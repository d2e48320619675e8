// Numbers as the program writes them, on the console and in its files: plain
// decimal, a "-" before a negative value, no "+", no leading zeros or blanks,
// no digit grouping.
#pragma once

#include <charconv>
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace census {

// The longest number written: "-9223372036854775808".
inline constexpr std::size_t kMaxDecimalLength = 20;

class Decimal {
 public:
  explicit Decimal(std::int64_t number)
      : length_(static_cast<std::size_t>(
            std::to_chars(digits_, digits_ + sizeof digits_, number).ptr - digits_)) {}

  std::string_view view() const { return {digits_, length_}; }

 private:
  char digits_[kMaxDecimalLength];
  std::size_t length_;
};

// Any whole number the same way, as a string: "-12".
template <std::integral Integer>
std::string number(Integer value) {
  char digits[kMaxDecimalLength + 1];
  return std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

}  // namespace census
