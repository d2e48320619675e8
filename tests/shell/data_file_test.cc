#include "shell/data_file.h"

#include <vector>

#include "test_support.h"

namespace census {
namespace {

using DataFile = InWorkDir;

std::vector<std::string> linesOf(const std::string& name) {
  DataFileReader reader(name);
  std::vector<std::string> lines;
  for (std::string line; reader.nextLine(line);) lines.push_back(line);
  return lines;
}

TEST_F(DataFile, ReadsLinesWithoutTheirLineEnds) {
  writeFile("lf.dat", "a b\n\nc\r\n d\r\r\nlast");
  EXPECT_EQ(linesOf("lf.dat"), (std::vector<std::string>{"a b", "", "c", " d\r", "last"}));
  writeFile("ends.dat", "one\n");
  EXPECT_EQ(linesOf("ends.dat"), (std::vector<std::string>{"one"}));
}

TEST_F(DataFile, MissingFilesAndDirectoriesCannotBeOpened) {
  std::filesystem::create_directory("dir.dat");
  for (const char* name : {"missing.dat", "dir.dat"}) {
    DataFileReader reader(name);
    EXPECT_FALSE(reader.isOpen()) << name;
    EXPECT_TRUE(linesOf(name).empty()) << name;
  }
}

TEST_F(DataFile, SavesWholeOrNotAtAll) {
  ASSERT_TRUE(saveDataFile("new.dat", "line 1\nline 2\n"));
  EXPECT_EQ(readFile("new.dat"), "line 1\nline 2\n");
  ASSERT_TRUE(saveDataFile("new.dat", "short\n"));
  EXPECT_EQ(readFile("new.dat"), "short\n");

  // A leftover temporary file from an interrupted save is replaced.
  writeFile("new.dat.tmp", "stale");
  ASSERT_TRUE(saveDataFile("new.dat", "fresh\n"));
  EXPECT_EQ(readFile("new.dat"), "fresh\n");
  EXPECT_FALSE(fileExists("new.dat.tmp"));

  std::filesystem::create_directory("dir.dat");
  EXPECT_FALSE(saveDataFile("dir.dat", "x\n"));
  EXPECT_TRUE(std::filesystem::is_directory("dir.dat"));
  EXPECT_FALSE(fileExists("dir.dat.tmp"));
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
