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

TEST(LineFields, ReadsManyIntegersAsOneAtATimeWould) {
  const std::string_view lines[] = {"1 2 3 4",
                                    "  10\t20  30 40  ",
                                    "1 2 3",
                                    "1 2 3 4 5",
                                    "1 2 3x 4",
                                    "12-5 6 7 8",
                                    "+1 -2 3 4",
                                    "1 2 2147483648 4",
                                    "-2147483648 0 0 0",
                                    "123456789 1234567890 2147483647 0",
                                    "",
                                    "a b c d",
                                    "1,200 3 4 5",
                                    "1 2 3 \v4",
                                    "0001 2 3 4",
                                    "-1 +2 -0 3",
                                    "- 1 2 3",
                                    "1 -- 2 3",
                                    "1 2 3 4-",
                                    "-",
                                    "1 2 -3 -123456789"};
  for (std::string_view line : lines) {
    LineFields one_at_a_time(line);
    std::array<std::int32_t, 4> expected{};
    for (std::int32_t& value : expected) value = one_at_a_time.nextInteger().value_or(0);
    for (const bool with_columns : {false, true}) {
      LineFields fields(line);
      std::array<std::int32_t, 4> values{};
      std::array<std::size_t, 4> columns{};
      fields.readIntegers(values, with_columns ? columns.data() : nullptr);
      EXPECT_EQ(values, expected) << line;
      EXPECT_EQ(fields.rest().word, one_at_a_time.rest().word) << line;
    }
  }
}

TEST(LineFields, SaysWhereAndWhyReadingStopped) {
  struct Case {
    std::string_view line;
    std::size_t read;
    FieldProblem problem;
    std::string_view stop_word;
    std::size_t stop_column;
    std::string_view first_part;  // the first word not read whole
  };
  const Case cases[] = {
      {"1 2 3 4", 4, FieldProblem::kNone, "", 0, ""},
      {"1 2", 2, FieldProblem::kMissing, "", 3, ""},
      {"1 12abc 3 4", 2, FieldProblem::kNotANumber, "12abc", 2, "12abc"},
      {"1 x 3 4", 1, FieldProblem::kNotANumber, "x", 2, ""},
      {"1 99999999999 3 4", 1, FieldProblem::kOutOfRange, "99999999999", 2, ""},
      {"12-5 1 2", 4, FieldProblem::kNone, "", 0, "12-5"},
  };
  for (const Case& c : cases) {
    LineFields fields(c.line);
    std::array<std::int32_t, 4> values{};
    std::array<std::size_t, 4> columns{};
    const IntegerReading reading = fields.readIntegers(values, columns.data());
    EXPECT_EQ(reading.read, c.read) << c.line;
    EXPECT_EQ(reading.problem, c.problem) << c.line;
    if (c.problem != FieldProblem::kNone) {
      EXPECT_EQ(reading.stop.word, c.stop_word) << c.line;
      EXPECT_EQ(reading.stop.column, c.stop_column) << c.line;
    }
    EXPECT_EQ(reading.all_whole, c.first_part.empty()) << c.line;
    EXPECT_EQ(reading.first_part.word, c.first_part) << c.line;
  }
}

}  // namespace
}  // namespace census
