#include "dialogue/console.h"

#include <gtest/gtest.h>

#include <sstream>

namespace census {
namespace {

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
  std::ostringstream errors;
  Console console(in, out, errors);
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

TEST(Console, ReportsErrorsOnTheirOwnStream) {
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream errors;
  Console console(in, out, errors);
  console << "dialogue";
  console.reportError("cannot save datas.dat: Permission denied");
  console.flush();
  EXPECT_EQ(out.str(), "dialogue");
  EXPECT_EQ(errors.str(), "census: cannot save datas.dat: Permission denied\n");
  EXPECT_EQ(console.writeError(), 0);
}

TEST(Console, StopsReadingWhenTheOutputIsGone) {
  std::istringstream in("1 2 3");
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  std::ostringstream errors;
  Console console(in, out, errors);
  EXPECT_EQ(console.readWord(), std::nullopt);
  EXPECT_NE(console.writeError(), 0);
}

}  // namespace
}  // namespace census
