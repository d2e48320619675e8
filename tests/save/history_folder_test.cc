// What a save finds in the history's folder is input like the journal: a
// link or another user's file there never makes a save write, rename or
// remove anything outside the folder; the save fails and says what is in
// the way. And every save of the folder, a push's entry too, takes the
// folder's one lock.
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/sha256.h"
#include "os/primitives.h"
#include "records/history.h"
#include "save/file_system.h"
#include "test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace census {
namespace {

namespace fs = std::filesystem;

// Runs in a folder "data" of the test's own, beside a folder "outside"
// that no save in "data" may change.
class HistoryFolder : public InWorkDir {
 protected:
  void SetUp() override {
    InWorkDir::SetUp();
    root_ = fs::current_path();
    fs::create_directory("outside");
    writeDiskFile("outside/log", "1\t2026-12-10T17:30:00Z\tpush\teve\thttps://x\ttheir log\n");
    writeDiskFile("outside/victim", "the victim's own\n");
    fs::create_directory("data");
    fs::current_path("data");
    writeDiskFile("datas.dat", "Oyo 1 1 0 0\n");
  }
  void TearDown() override {
    fs::current_path(root_);
    InWorkDir::TearDown();
  }

  // The names and contents in "outside", to compare before and after.
  std::vector<std::string> outsideNow() const {
    std::vector<std::string> seen;
    for (const auto& entry : fs::directory_iterator(root_ / "outside")) {
      std::ifstream file(entry.path(), std::ios::binary);
      seen.push_back(entry.path().filename().string() + "=" +
                     std::string(std::istreambuf_iterator<char>(file), {}));
    }
    std::sort(seen.begin(), seen.end());
    return seen;
  }

  bool saveByImport(SaveFailure* failure) {
    RecordingFileSystem recording(*disk, SaveWay::kImport, "ada",
                                  [] { return std::time_t{1796895000}; });
    const FileReplacement save{.name = "datas.dat", .content = "Oyo 9 5 4 0\n"};
    return recording.replaceFiles({&save, 1}, failure);
  }

  fs::path root_;
};

#ifndef _WIN32
std::string nul(std::string_view text) { return std::string(text) + '\0'; }

TEST_F(HistoryFolder, ALinkOnTheWayIsNeverWrittenThrough) {
  const std::string old_sha = sha256Hex("Oyo 1 1 0 0\n");
  struct Plant {
    const char* what;
    std::function<void()> plant;
    std::string words;
  };
  const std::vector<Plant> plants = {
      {"the history's folder a link to a folder outside",
       [] { fs::create_directory_symlink("../outside", "census-history"); },
       "census-history is a symbolic link, not a folder of census's: move it away"},
      {"the log a link to a file outside",
       [] {
         fs::create_directory("census-history");
         fs::create_symlink("../../outside/log", "census-history/log");
       },
       "census-history/log is a symbolic link"},
      {"a kept content a link to a file outside",
       [&] {
         fs::create_directory("census-history");
         fs::create_symlink("../../outside/victim", "census-history/" + old_sha);
       },
       "census-history/" + old_sha + " is a symbolic link"},
      {"the history's folder a link to nowhere",
       [] { fs::create_directory_symlink("../outside/none", "census-history"); },
       "census-history is a symbolic link"},
  };
  const std::vector<std::string> before = outsideNow();
  for (const Plant& plant : plants) {
    SCOPED_TRACE(plant.what);
    fs::remove_all("census-history");
    plant.plant();
    SaveFailure failure;
    EXPECT_FALSE(saveByImport(&failure));
    EXPECT_NE(failure.reason.find(plant.words), std::string::npos) << failure.reason;
    EXPECT_EQ(readDiskFile("datas.dat"), "Oyo 1 1 0 0\n");
    EXPECT_EQ(outsideNow(), before);
    // A push's entry goes the same way, and a reading of the log never
    // reads what lies outside.
    SaveFailure push_failure;
    recordPush(*disk, "ada", 1796895000, "https://hmis.ng", "1 imported", &push_failure);
    EXPECT_EQ(outsideNow(), before);
    for (const HistoryEntry& entry : readHistory(*disk).entries) {
      EXPECT_EQ(entry.summary.find("their log"), std::string::npos);
    }
  }
}

// A journal a save left names the history's log; by the next start its
// folder is a link: the journal is set aside, and nothing outside changes.
TEST_F(HistoryFolder, AJournalIsNeverCarriedOutThroughALinkedHistoryFolder) {
  fs::create_directory_symlink("../outside", "census-history");
  writeDiskFile("../outside/.log.census-1-1.tmp", "planted\n");
  writeDiskFile(".census-save.journal",
                "census save journal\n" + nul("census-history/log") + nul(".log.census-1-1.tmp") +
                    nul("census-history/" + std::string(64, 'a')) + nul("") + "commit\n");
  const std::vector<std::string> before = outsideNow();
  std::vector<std::string> said;
  DiskOptions options;
  options.notice = [&](const std::string& line) { said.push_back(line); };
  makeDiskFileSystem(std::move(options))->recoverSaves();
  EXPECT_EQ(outsideNow(), before);
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find("census-history is a symbolic link"), std::string::npos) << said[0];
}

// A kept content takes its list's permission bits each time a save uses
// it: a list made private makes its earlier copies private too.
TEST_F(HistoryFolder, AKeptContentTakesItsListsModeEachTimeItIsUsed) {
  fs::create_directory("census-history");
  SaveFailure failure;
  ASSERT_TRUE(saveByImport(&failure)) << failure.reason;
  const std::string kept = "census-history/" + sha256Hex("Oyo 9 5 4 0\n");
  ::chmod(kept.c_str(), 0644);
  ::chmod("datas.dat", 0600);
  ASSERT_TRUE(saveByImport(&failure)) << failure.reason;  // the same figures again
  struct stat status {};
  ASSERT_EQ(::stat(kept.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
}
#endif

// A push's entry and a save of data files take one lock, the folder's:
// while another holds it, neither is made.
TEST_F(HistoryFolder, APushAndASaveTakeTheFoldersOneLock) {
  fs::create_directory("census-history");
  std::unique_ptr<HeldLock> other;
  std::string reason;
  ASSERT_EQ(makeDiskPrimitives()->lockFolder(".census-save.lock", {}, &other, &reason),
            disk::LockResult::kHeld)
      << reason;
  disk->setSavePatience(std::chrono::milliseconds(0));
  SaveFailure failure;
  EXPECT_FALSE(recordPush(*disk, "ada", 1796895000, "https://hmis.ng", "1 imported", &failure));
  EXPECT_TRUE(failure.busy) << failure.reason;
  EXPECT_FALSE(saveByImport(&failure));
  EXPECT_TRUE(failure.busy) << failure.reason;
  EXPECT_FALSE(fs::exists("census-history/.census-save.lock"));
  EXPECT_FALSE(fs::exists("census-history/log"));
}

}  // namespace
}  // namespace census
