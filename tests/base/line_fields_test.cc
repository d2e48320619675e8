#include "base/line_fields.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace census {
namespace {

TEST(WholeNumber, ParsesOnlyWholeThirtyTwoBitNumbers) {
  struct Case {
    std::string_view word;
    std::int32_t value;
  };
  const Case accepted[] = {{"0", 0},
                           {"-1", -1},
                           {"+17", 17},
                           {"007", 7},
                           {"-0", 0},
                           {"2147483647", 2147483647},
                           {"-2147483648", -2147483647 - 1}};
  for (const Case& c : accepted) EXPECT_EQ(parseWholeNumber(c.word), c.value) << c.word;

  const std::string_view rejected[] = {"",  "abc", "12abc", "1.5", "99999999999", "2147483648", "-",
                                       "+", "+-1", "--1",   "1-",  "0x10",        "١٢"};
  for (std::string_view word : rejected) EXPECT_FALSE(parseWholeNumber(word)) << word;
}

TEST(LineFields, TakesWordsAndIntegersFrontToBack) {
  LineFields fields("  Cross-River\t-12abc 7");
  EXPECT_EQ(fields.nextWord(), "Cross-River");
  EXPECT_EQ(fields.nextInteger(), -12);
  EXPECT_EQ(fields.nextInteger(), std::nullopt);
  EXPECT_EQ(fields.nextInteger(), std::nullopt);  // "7" is never reached after a failure
  LineFields empty(" \t ");
  EXPECT_EQ(empty.nextWord(), "");
  EXPECT_EQ(empty.nextInteger(), std::nullopt);
}

}  // namespace
}  // namespace census
