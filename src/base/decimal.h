// Numbers as the program writes them, on the console and in its files: plain
// decimal, a "-" before a negative value, no "+", no leading zeros or blanks,
// no digit grouping.
#pragma once

#include <bit>
#include <charconv>
#include <concepts>
#include <cstdint>
#include <cstring>
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

namespace decimal_detail {

// The eight decimal digits of value (below 100,000,000) as byte values 0 to
// 9, the most significant in the lowest byte: the value split into two
// halves of four digits, each half into two pairs, each pair into two
// digits, every lane at once. Each division by a constant is a multiply and
// a shift that is exact for the lane's range (below 10,000 and 100).
inline std::uint64_t eightDigitBytes(std::uint32_t value) {
  std::uint64_t halves = value / 10000 | std::uint64_t{value % 10000} << 32;
  const std::uint64_t hundreds = (halves * 10486) >> 20 & 0x0000007F0000007F;
  const std::uint64_t pairs = (halves - hundreds * 100) << 16 | hundreds;
  const std::uint64_t tens = (pairs * 103) >> 10 & 0x000F000F000F000F;
  return (pairs - tens * 10) << 8 | tens;
}

}  // namespace decimal_detail

// Writes value at out exactly as std::to_chars would and returns the end.
// Listings write millions of figures, most of them below 100,000,000 and not
// negative, so those take a path without divisions or a loop.
// REQUIRES: kMaxDecimalLength bytes of room at out; bytes after the number
// may be overwritten.
inline char* writeDecimal(char* out, std::int32_t value) {
  static_assert(std::endian::native == std::endian::little, "the digit bytes need it");
  if (value < 0 || value >= 100000000)
    return std::to_chars(out, out + kMaxDecimalLength, value).ptr;
  const std::uint64_t digits = decimal_detail::eightDigitBytes(static_cast<std::uint32_t>(value));
  const int leading_zeros = digits == 0 ? 7 : std::countr_zero(digits) / 8;
  const std::uint64_t text = (digits + 0x3030303030303030) >> (8 * leading_zeros);
  std::memcpy(out, &text, sizeof text);
  return out + (8 - leading_zeros);
}

}  // namespace census
