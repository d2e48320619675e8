#include "save/file_system.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <vector>

#include "records/text_file.h"
#include "test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace census {
namespace {

namespace fs = std::filesystem;

class DiskFiles : public InWorkDir {
 protected:
  std::vector<std::string> linesOf(const std::string& name) {
    TextFileReader reader(*disk, name);
    std::vector<std::string> lines;
    for (std::string_view line; reader.nextLine(line);) lines.emplace_back(line);
    return lines;
  }

  // Saves these files as one save; returns the failure's text, "" where it worked.
  std::string save(std::vector<FileReplacement> files) {
    SaveFailure failure;
    if (disk->replaceFiles(files, &failure)) return "";
    return failure.name + ": " + failure.reason;
  }

  // Every name in the folder, so that no leftover goes unseen.
  static std::vector<std::string> folder() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(DiskFiles, ReadsLinesWithoutTheirLineEnds) {
  writeDiskFile("lf.dat", "a b\n\nc\r\n d\r\r\nlast");
  EXPECT_EQ(linesOf("lf.dat"), (std::vector<std::string>{"a b", "", "c", " d\r", "last"}));
  writeDiskFile("ends.dat", "one\n");
  EXPECT_EQ(linesOf("ends.dat"), (std::vector<std::string>{"one"}));
}

TEST_F(DiskFiles, ReadsLinesLongerThanABlockAndAcrossBlocks) {
  const std::string long_line(200000, 'x');
  std::string content;
  for (int i = 0; i < 30000; ++i) content += std::to_string(i) + "\r\n";
  writeDiskFile("long.dat", long_line + "\n" + content + long_line);
  const std::vector<std::string> lines = linesOf("long.dat");
  ASSERT_EQ(lines.size(), 30002u);
  EXPECT_EQ(lines.front(), long_line);
  EXPECT_EQ(lines[1], "0");
  EXPECT_EQ(lines[30000], "29999");
  EXPECT_EQ(lines.back(), long_line);
}

TEST_F(DiskFiles, MissingFilesAndDirectoriesCannotBeOpened) {
  fs::create_directory("dir.dat");
  const TextFileReader missing(*disk, "missing.dat");
  EXPECT_EQ(missing.status(), OpenStatus::kMissing);
  EXPECT_EQ(missing.reason(), "");
  const TextFileReader directory(*disk, "dir.dat");
  EXPECT_EQ(directory.status(), OpenStatus::kUnreadable);
  EXPECT_EQ(directory.reason(), errorText(EISDIR));
  for (const char* name : {"missing.dat", "dir.dat"}) {
    EXPECT_TRUE(linesOf(name).empty()) << name;
  }
}

// A stamp changes with every save, even of a content of the same size in
// the same tick, and not otherwise; a file changed just now is not settled.
TEST_F(DiskFiles, AStampTellsEverySaveApart) {
  EXPECT_FALSE(disk->stampOf("datas.dat").has_value());
  ASSERT_EQ(save({{.name = "datas.dat", .content = "Oyo 1 1 0 0\n"}}), "");
  const std::optional<FileStamp> first = disk->stampOf("datas.dat");
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(disk->stampOf("datas.dat"), first);
  ASSERT_EQ(save({{.name = "datas.dat", .content = "Oyo 2 1 1 0\n"}}), "");
  EXPECT_NE(disk->stampOf("datas.dat"), first);
  const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
  EXPECT_FALSE(disk->stampOf("datas.dat")->settled(now));
  EXPECT_TRUE(disk->stampOf("datas.dat")->settled(now + 3'000'000'000));
  std::filesystem::create_directory("folder");
  EXPECT_FALSE(disk->stampOf("folder").has_value());
}

// What an amendment adds is saved with the files asked for, as one save;
// an amendment that fails changes nothing.
TEST_F(DiskFiles, AnAmendedSaveIsOneSaveAndAFailedAmendmentChangesNothing) {
  const FileReplacement asked{.name = "datas.dat", .content = "Oyo 1 1 0 0\n"};
  const FileSystem::Amendment add = [&](std::span<const FileReplacement> files,
                                        std::vector<FileReplacement>* all, SaveFailure*) {
    all->assign(files.begin(), files.end());
    all->push_back({.name = "Recs-Loc.dat",
                    .content = disk->openForReading("datas.dat").status == OpenStatus::kMissing
                                   ? "first\n"
                                   : "again\n"});
    return true;
  };
  SaveFailure failure;
  ASSERT_TRUE(disk->replaceFilesAmended({&asked, 1}, add, &failure)) << failure.reason;
  EXPECT_EQ(readDiskFile("datas.dat"), "Oyo 1 1 0 0\n");
  EXPECT_EQ(readDiskFile("Recs-Loc.dat"), "first\n");

  const FileReplacement other{.name = "datas.dat", .content = "Oyo 2 1 1 0\n"};
  const FileSystem::Amendment refuse = [](std::span<const FileReplacement>,
                                          std::vector<FileReplacement>*, SaveFailure* failed) {
    *failed = {"census-history/log", "Input/output error"};
    return false;
  };
  EXPECT_FALSE(disk->replaceFilesAmended({&other, 1}, refuse, &failure));
  EXPECT_EQ(failure.name, "census-history/log");
  EXPECT_EQ(readDiskFile("datas.dat"), "Oyo 1 1 0 0\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2);
}

TEST_F(DiskFiles, SavesWholeAndLeavesNothingBehind) {
  EXPECT_EQ(save({{"new.dat", "line 1\nline 2\n"}}), "");
  EXPECT_EQ(readDiskFile("new.dat"), "line 1\nline 2\n");
  EXPECT_EQ(save({{"new.dat", "short\n"}, {"other.dat", "x\n"}}), "");
  EXPECT_EQ(readDiskFile("new.dat"), "short\n");
  EXPECT_EQ(readDiskFile("other.dat"), "x\n");
  EXPECT_EQ(folder(), (std::vector<std::string>{"new.dat", "other.dat"}));
}

TEST_F(DiskFiles, SeveralFilesAreReplacedAllOrNone) {
  writeDiskFile("a.dat", "old a\n");
  writeDiskFile("b.dat", "old b\n");
  fs::create_directory("c.dat");
  EXPECT_EQ(save({{"a.dat", "new a\n"}, {"b.dat", "new b\n"}, {"c.dat", "new c\n"}}),
            "c.dat: " + errorText(EISDIR));
  EXPECT_EQ(readDiskFile("a.dat"), "old a\n");
  EXPECT_EQ(readDiskFile("b.dat"), "old b\n");
  EXPECT_EQ(folder(), (std::vector<std::string>{"a.dat", "b.dat", "c.dat"}));

  SaveFailure failure;
  const std::vector<FileReplacement> files = {{"a.dat", "new a\n"}, {"c.dat", "x\n"}};
  EXPECT_FALSE(disk->checkReplaceable(files, &failure));
  EXPECT_EQ(failure.name, "c.dat");
}

#ifndef _WIN32
TEST_F(DiskFiles, AReplacedFileKeepsItsPermissionBitsAndAReadOnlyOneIsKept) {
  writeDiskFile("kept.dat", "old\n");
  ::chmod("kept.dat", 0640);
  EXPECT_EQ(save({{"kept.dat", "new\n"}}), "");
  struct stat info {};
  ASSERT_EQ(::stat("kept.dat", &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);

  // Read-only even to root, who may open it for writing all the same.
  writeDiskFile("read-only.dat", "old\n");
  ::chmod("read-only.dat", 0444);
  EXPECT_EQ(save({{"kept.dat", "newer\n"}, {"read-only.dat", "new\n"}}),
            "read-only.dat: " + errorText(EACCES));
  EXPECT_EQ(readDiskFile("kept.dat"), "new\n");
  EXPECT_EQ(readDiskFile("read-only.dat"), "old\n");
}

TEST_F(DiskFiles, AFolderThatTakesNoNewFilesFailsTheCheckBeforeTheSave) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write in any folder";
  fs::create_directory("locked");
  writeDiskFile("locked/datas.dat", "old\n");
  ::chmod("locked", 0555);
  SaveFailure failure;
  const std::vector<FileReplacement> files = {{"locked/datas.dat", "new\n"}};
  EXPECT_FALSE(disk->checkReplaceable(files, &failure));
  EXPECT_EQ(failure.reason, errorText(EACCES));
  ::chmod("locked", 0755);
}

TEST_F(DiskFiles, ASymbolicLinkIsWrittenThroughAndStays) {
  fs::create_directory("office");
  writeDiskFile("office/datas.dat", "old\n");
  fs::create_symlink("office/datas.dat", "datas.dat");
  fs::create_symlink("nowhere/yet.dat", "dangling.dat");
  fs::create_directory("nowhere");
  EXPECT_EQ(save({{"datas.dat", "new\n"}, {"dangling.dat", "made\n"}}), "");
  EXPECT_TRUE(fs::is_symlink("datas.dat"));
  EXPECT_EQ(readDiskFile("office/datas.dat"), "new\n");
  EXPECT_EQ(readDiskFile("nowhere/yet.dat"), "made\n");
  EXPECT_EQ(fs::directory_iterator("office")->path().filename(), "datas.dat");
}

TEST_F(DiskFiles, AnOutputThatIsNoRegularFileIsWrittenIntoNeverReplaced) {
  ASSERT_EQ(::mkfifo("fifo", 0600), 0);
  EXPECT_EQ(save({{"fifo", "data\n"}}), "fifo: not a regular file");
  EXPECT_EQ(save({{"/dev/null", "page\n", LineEnds::kExact, true}}), "");
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(folder(), (std::vector<std::string>{"fifo"}));
}
#endif

}  // namespace
}  // namespace census
