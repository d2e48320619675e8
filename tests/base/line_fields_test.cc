#include "base/line_fields.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
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
  const std::string_view lines[] = {
      "1 2 3 4", "  10\t20  30 40  ", "1 2 3", "1 2 3 4 5", "1 2 3x 4", "12-5 6 7 8", "+1 -2 3 4",
      "1 2 2147483648 4", "-2147483648 0 0 0", "123456789 1234567890 2147483647 0", "", "a b c d",
      "1,200 3 4 5", "1 2 3 \v4", "0001 2 3 4", "-1 +2 -0 3", "- 1 2 3", "1 -- 2 3", "1 2 3 4-",
      "-", "1 2 -3 -123456789",
      // Eight bytes and more: digits read eight at a time.
      "12345678 87654321 99999999 10000000", "123456789 00000000 1234567 -99999999 ",
      "1234567a 1 2 3 4 5 6 7 8", "12345678\t9 9 9 9 9 9 9 9", "1234567812 1 1 1 1 1 1 1 1",
      "12\xff"
      "45678 1 2 3 4 5 6 7 8",
      "1234567\x80 1 2 3 4 5 6 7 8", "123/5678 1 2 3 4 5 6 7 8", "1234567: 1 2 3 4 5 6 7 8",
      "+12345678 -0000000001 2147483647 -2147483648"};
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

// Lines of words drawn from the bytes that matter to the reader, mostly
// digits and mostly of a figure's length, read the same all at once as one
// integer at a time.
TEST(LineFields, ReadsRandomLinesAsOneAtATimeWould) {
  constexpr std::string_view kOdd = "+-/:a\x80\xff\v";
  constexpr std::string_view kGaps[] = {" ", " ", " ", "\t", "  "};
  std::mt19937 draw(20261211);
  auto digitOrOdd = [&]() -> char {
    return draw() % 12 == 0 ? kOdd[draw() % kOdd.size()] : static_cast<char>('0' + draw() % 10);
  };
  for (int round = 0; round < 20000; ++round) {
    std::string line = draw() % 4 == 0 ? " " : "";
    const std::size_t words = 3 + draw() % 4;
    for (std::size_t word = 0; word < words; ++word) {
      if (word > 0) line += kGaps[draw() % std::size(kGaps)];
      const std::size_t length = draw() % 12;
      for (std::size_t i = 0; i < length; ++i) line += digitOrOdd();
    }
    LineFields one_at_a_time(line);
    std::array<std::int32_t, 5> expected{};
    for (std::int32_t& value : expected) value = one_at_a_time.nextInteger().value_or(0);
    LineFields fields(line);
    std::array<std::int32_t, 5> values{};
    fields.readIntegers(values);
    ASSERT_EQ(values, expected) << line;
    ASSERT_EQ(fields.rest().word, one_at_a_time.rest().word) << line;
  }
}

// A digit row is a line that reads plain, holding only digits, blanks and
// tabs; its words are the figures. Lines of about sixteen words of up to
// eleven digits, so that words and runs cross the 64-byte steps in which
// lines are looked at.
TEST(DigitRow, IsALineOfUnsignedFiguresThatReadsPlain) {
  constexpr std::size_t kCount = 16;
  constexpr std::string_view kOdd = "+-a\x80\xff\v\n";
  constexpr std::string_view kGaps[] = {" ", " ", " ", "\t", "  ", " \t "};
  std::mt19937 draw(11122026);
  std::size_t rows = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string line = draw() % 4 == 0 ? "\t" : "";
    const std::size_t words = kCount - 1 + draw() % 3;
    for (std::size_t word = 0; word < words; ++word) {
      if (word > 0) line += kGaps[draw() % std::size(kGaps)];
      const std::size_t length = draw() % 20 == 0 ? 10 + draw() % 2 : 1 + draw() % 9;
      for (std::size_t i = 0; i < length; ++i) line += static_cast<char>('0' + draw() % 10);
    }
    if (draw() % 8 == 0) line[draw() % line.size()] = kOdd[draw() % kOdd.size()];
    if (draw() % 4 == 0) line += " ";

    LineFields fields(line);
    std::array<std::int32_t, kCount> values{};
    const bool plain = fields.readIntegers(values).plain;
    const bool expected = plain && line.find_first_of("+-") == std::string::npos;
    std::array<std::string_view, kCount> found;
    ASSERT_EQ(isDigitRow(line, kCount), expected) << line;
    ASSERT_EQ(findDigitWords(line, found), expected) << line;
    if (!expected) continue;
    ++rows;
    for (std::size_t i = 0; i < kCount; ++i) ASSERT_EQ(parseWholeNumber(found[i]), values[i]);
  }
  EXPECT_GT(rows, 1000u);  // the draw makes rows as well as other lines
}

// A line of so many blanks, then text.
std::string afterBlanks(std::size_t blanks, std::string_view text) {
  std::string line(blanks, ' ');
  line.append(text);
  return line;
}

TEST(DigitRow, TellsLinesAtTheEdges) {
  std::array<std::string_view, 2> two;
  const struct {
    std::string line;
    bool row;
  } cases[] = {
      {"1 2", true},
      {"", false},
      {"1", false},
      {"1 2 3", false},
      {"123456789 1", true},
      {"1234567890 1", false},
      {afterBlanks(62, "1 2"), true},            // the second word after the first step
      {afterBlanks(60, "123456789 1"), true},    // a word across the step
      {afterBlanks(60, "1234567890 1"), false},  // too long across the step
      {"1" + afterBlanks(254, "2"), true},       // as long as a row may be
      {"1" + afterBlanks(255, "2"), false},      // longer
      {"1 2" + afterBlanks(13, "\x80"), false},  // a byte at the end, found by the last load
  };
  for (const auto& [line, row] : cases) {
    EXPECT_EQ(isDigitRow(line, 2), row) << line.size();
    EXPECT_EQ(findDigitWords(line, two), row) << line.size();
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
