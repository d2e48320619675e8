#include "base/decimal.h"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string_view>

namespace census {
namespace {

std::string_view written(std::array<char, kMaxDecimalLength>& room, std::int32_t value) {
  return {room.data(), static_cast<std::size_t>(writeDecimal(room.data(), value) - room.data())};
}

std::string_view expected(std::array<char, kMaxDecimalLength>& room, std::int32_t value) {
  return {room.data(),
          static_cast<std::size_t>(
              std::to_chars(room.data(), room.data() + room.size(), value).ptr - room.data())};
}

// Every value of each four-digit half and each digit count, both sides of
// the fast path's edges, and the extremes, against std::to_chars.
TEST(Decimal, WritesAsToCharsDoes) {
  std::array<char, kMaxDecimalLength> ours;
  std::array<char, kMaxDecimalLength> theirs;
  auto same = [&](std::int32_t value) {
    ASSERT_EQ(written(ours, value), expected(theirs, value)) << value;
  };
  for (std::int32_t half = 0; half < 10000; ++half) {
    same(half);
    same(half * 10000 + half);
    same(half * 10000 + (9999 - half));
  }
  for (std::int32_t power = 1; power <= 100000000; power *= 10) {
    for (std::int32_t value : {power - 1, power, power + 1, -power, -power + 1}) same(value);
  }
  for (std::int32_t value :
       {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min(), 0, -1,
        12345678, 87654321, 99999999, 100000000, 999999999, 1000000000}) {
    same(value);
  }
}

}  // namespace
}  // namespace census
