#include "shell/console.h"

#include <gtest/gtest.h>

#include <sstream>

namespace census {
namespace {

TEST(Console, ParsesOnlyWholeThirtyTwoBitNumbers) {
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

TEST(Console, WritesInOrderAndFlushesAtEndOfLine) {
  struct CountingBuffer : std::stringbuf {
    int syncs = 0;
    int sync() override {
      ++syncs;
      return 0;
    }
  } buffer;
  std::ostream out(&buffer);
  std::istringstream in("  word\tnext");
  Console console(in, out);
  console << "a " << std::int64_t{-42} << " fixed\n";
  EXPECT_EQ(buffer.syncs, 0);
  console << "b" << kEndLine;
  EXPECT_EQ(buffer.syncs, 1);
  EXPECT_EQ(console.readWord(), "word");
  EXPECT_EQ(buffer.syncs, 2);
  EXPECT_EQ(console.readWord(), "next");
  EXPECT_EQ(console.readWord(), std::nullopt);
  EXPECT_EQ(buffer.str(), "a -42 fixed\nb\n");
}

TEST(Console, StopsReadingWhenTheOutputIsGone) {
  std::istringstream in("1 2 3");
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  Console console(in, out);
  EXPECT_EQ(console.readWord(), std::nullopt);
}

}  // namespace
}  // namespace census
