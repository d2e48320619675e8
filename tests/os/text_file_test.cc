#include "os/text_file.h"

#include <cerrno>
#include <vector>

#include "test_support.h"

namespace census {
namespace {

using TextFile = InWorkDir;

std::vector<std::string> linesOf(const std::string& name) {
  TextFileReader reader(name);
  std::vector<std::string> lines;
  for (std::string_view line; reader.nextLine(line);) lines.emplace_back(line);
  return lines;
}

TEST_F(TextFile, ReadsLinesWithoutTheirLineEnds) {
  writeFile("lf.dat", "a b\n\nc\r\n d\r\r\nlast");
  EXPECT_EQ(linesOf("lf.dat"), (std::vector<std::string>{"a b", "", "c", " d\r", "last"}));
  writeFile("ends.dat", "one\n");
  EXPECT_EQ(linesOf("ends.dat"), (std::vector<std::string>{"one"}));
}

TEST_F(TextFile, ReadsLinesLongerThanABlockAndAcrossBlocks) {
  const std::string long_line(200000, 'x');
  std::string content;
  for (int i = 0; i < 30000; ++i) content += std::to_string(i) + "\r\n";
  writeFile("long.dat", long_line + "\n" + content + long_line);
  const std::vector<std::string> lines = linesOf("long.dat");
  ASSERT_EQ(lines.size(), 30002u);
  EXPECT_EQ(lines.front(), long_line);
  EXPECT_EQ(lines[1], "0");
  EXPECT_EQ(lines[30000], "29999");
  EXPECT_EQ(lines.back(), long_line);
}

TEST_F(TextFile, MissingFilesAndDirectoriesCannotBeOpened) {
  std::filesystem::create_directory("dir.dat");
  const TextFileReader missing("missing.dat");
  EXPECT_EQ(missing.state(), TextFileReader::State::kMissing);
  EXPECT_EQ(missing.reason(), "");
  const TextFileReader directory("dir.dat");
  EXPECT_EQ(directory.state(), TextFileReader::State::kUnreadable);
  EXPECT_EQ(directory.reason(), errorText(EISDIR));
  for (const char* name : {"missing.dat", "dir.dat"}) {
    EXPECT_FALSE(TextFileReader(name).isOpen()) << name;
    EXPECT_TRUE(linesOf(name).empty()) << name;
  }
}

TEST_F(TextFile, SavesWholeOrNotAtAll) {
  std::string reason;
  ASSERT_TRUE(saveTextFile("new.dat", "line 1\nline 2\n", &reason));
  EXPECT_EQ(readFile("new.dat"), "line 1\nline 2\n");
  ASSERT_TRUE(saveTextFile("new.dat", "short\n", &reason));
  EXPECT_EQ(readFile("new.dat"), "short\n");

  // A leftover temporary file from an interrupted save is replaced.
  writeFile("new.dat.tmp", "stale");
  ASSERT_TRUE(saveTextFile("new.dat", "fresh\n", &reason));
  EXPECT_EQ(readFile("new.dat"), "fresh\n");
  EXPECT_FALSE(fileExists("new.dat.tmp"));

  std::filesystem::create_directory("dir.dat");
  EXPECT_FALSE(saveTextFile("dir.dat", "x\n", &reason));
  EXPECT_EQ(reason, errorText(EISDIR));
  EXPECT_TRUE(std::filesystem::is_directory("dir.dat"));
  EXPECT_FALSE(fileExists("dir.dat.tmp"));
}

}  // namespace
}  // namespace census
