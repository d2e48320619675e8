// What a start does with what a save left in a folder: a journal of its own
// is finished or undone where the folder now is; anything else found in its
// place is never acted on, and nothing outside the folder changes.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fakes/counting_primitives.h"
#include "os/primitives.h"
#include "save/file_system.h"
#include "save/transaction.h"
#include "test_support.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace census {
namespace {

namespace fs = std::filesystem;

const std::string kJournal = ".census-save.journal";
const std::string kHeader = "census save journal\n";

std::string nul(std::string_view text) { return std::string(text) + '\0'; }

// Runs in a folder "data" of the test's own, with a file "victim" beside
// that folder that no start in it may change.
class SaveJournal : public InWorkDir {
 protected:
  void SetUp() override {
    InWorkDir::SetUp();
    outside_ = fs::current_path();
    writeDiskFile("victim", "the victim's own\n");
    fs::create_directory("data");
    fs::current_path("data");
  }
  void TearDown() override {
    fs::current_path(outside_);
    InWorkDir::TearDown();
  }

  // A start in the folder: its recovery, and what it said.
  std::vector<std::string> start() {
    std::vector<std::string> said;
    DiskOptions options;
    options.notice = [&](const std::string& line) { said.push_back(line); };
    makeDiskFileSystem(std::move(options))->recoverSaves();
    return said;
  }

  std::string victim() const { return readOutside("victim"); }
  std::string readOutside(const std::string& name) const {
    std::ifstream file(outside_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  fs::path outside_;
};

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct HostileJournal {
  const char* what;
  std::function<void()> plant;
  const char* reason;  // what the start says of it
};

TEST_F(SaveJournal, AJournalThatIsNotCensussOwnIsSetAsideAndNeverActedOn) {
  // Each names the victim, or a temporary file standing beside it, so that
  // a start that acted on it would change the victim.
  const std::vector<HostileJournal> journals = {
      {"an absolute path",
       [] {
         writeDiskFile(".datas.dat.census-1-1.tmp", "planted");
         writeDiskFile(kJournal, kHeader + nul(fs::absolute("../victim").string()) +
                                     nul(".victim.census-1-1.tmp") + "commit\n");
       },
       "no file a save writes here"},
      {"a name in the folder above",
       [] { writeDiskFile(kJournal, kHeader + nul("../victim") + nul("") + "commit\n"); },
       "no file a save writes here"},
      {"an empty temporary name with a path",
       [] { writeDiskFile(kJournal, kHeader + nul("") + nul("../victim") + "commit\n"); },
       "no file a save writes here"},
      {"a temporary file that is another file",
       [] {
         writeDiskFile("datas.dat", "old");
         writeDiskFile(kJournal, kHeader + nul("datas.dat") + nul("../victim") + "commit\n");
       },
       "no temporary file of"},
      {"the journal itself as its target",
       [] { writeDiskFile(kJournal, kHeader + nul(kJournal) + nul("") + "commit\n"); },
       "no file a save writes here"},
      {"a history entry that is no SHA-256",
       [] {
         writeDiskFile(kJournal,
                       kHeader + nul("census-history/../../victim") + nul("") + "commit\n");
       },
       "no file a save writes here"},
      {"no header", [] { writeDiskFile(kJournal, "rm -rf /\n"); }, "does not start as"},
      {"ten megabytes", [] { writeDiskFile(kJournal, kHeader + std::string(10 << 20, 'x')); },
       "larger than 64 KiB"},
      {"a directory", [] { fs::create_directory(kJournal); }, "it is a directory"},
#ifndef _WIN32
      {"a FIFO", [] { ASSERT_EQ(::mkfifo(kJournal.c_str(), 0600), 0); },
       "it is not a regular file"},
      {"a link to /dev/zero", [] { fs::create_symlink("/dev/zero", kJournal); },
       "it is a symbolic link"},
      {"a link to the victim", [] { fs::create_symlink("../victim", kJournal); },
       "it is a symbolic link"},
#endif
  };
  for (const HostileJournal& journal : journals) {
    SCOPED_TRACE(journal.what);
    for (const auto& entry : fs::directory_iterator(".")) fs::remove_all(entry.path());
    journal.plant();
    const std::vector<std::string> before = namesIn(".");
    const std::vector<std::string> said = start();
    EXPECT_EQ(victim(), "the victim's own\n");
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(said[0].starts_with("census: ignored a save journal that is not census's own: "))
        << said[0];
    EXPECT_NE(said[0].find(journal.reason), std::string::npos) << said[0];
    EXPECT_NE(said[0].find("(kept as .census-save.journal.rejected-"), std::string::npos)
        << said[0];
    // Set aside as it was; everything else stays.
    std::vector<std::string> after = namesIn(".");
    EXPECT_FALSE(fs::exists(fs::symlink_status(kJournal)));
    after.erase(std::remove_if(after.begin(), after.end(),
                               [](const std::string& name) {
                                 return name.starts_with(".census-save.journal.rejected-");
                               }),
                after.end());
    std::vector<std::string> expected = before;
    std::erase(expected, kJournal);
    EXPECT_EQ(after, expected);
    // The next start has nothing to say.
    EXPECT_TRUE(start().empty());
  }
}

#ifndef _WIN32
TEST_F(SaveJournal, AJournalOfAnotherUserIsNeverActedOn) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  writeDiskFile("datas.dat", "old");
  writeDiskFile(".datas.dat.census-7-0.tmp", "planted");
  writeDiskFile(kJournal, kHeader + nul("datas.dat") + nul(".datas.dat.census-7-0.tmp") +
                              nul("Loc-datas.dat") + nul("") + "commit\n");
  ASSERT_EQ(::chown(kJournal.c_str(), 65534, 65534), 0);
  const std::vector<std::string> said = start();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find("it belongs to another user"), std::string::npos) << said[0];
  EXPECT_EQ(readDiskFile("datas.dat"), "old");
}

// A committed save that removes a data file which is a link is finished by
// taking the link away: the file it leads to, outside the folder, stays.
TEST_F(SaveJournal, AJournalRemovesALinkNeverTheFileItLeadsTo) {
  fs::create_symlink("../victim", "Recs-Loc.dat");
  writeDiskFile("datas.dat", "old");
  writeDiskFile(".datas.dat.census-7-0.tmp", "new");
  writeDiskFile(kJournal, kHeader + nul("datas.dat") + nul(".datas.dat.census-7-0.tmp") +
                              nul("Recs-Loc.dat") + nul("") + "commit\n");
  EXPECT_TRUE(start().empty());
  EXPECT_EQ(victim(), "the victim's own\n");
  EXPECT_EQ(namesIn("."), std::vector<std::string>{"datas.dat"});
  EXPECT_EQ(readDiskFile("datas.dat"), "new");
}

TEST_F(SaveJournal, TheLockIsNeverALinkAFifoOrADirectory) {
  const std::string lock = ".census-save.lock";
  const FileReplacement save{.name = "datas.dat", .content = "new\n"};
  const std::vector<std::pair<std::function<void()>, std::string>> locks = {
      {[&] { fs::create_symlink("../elsewhere", lock); }, "is a symbolic link"},
      {[&] { ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0); }, "is not a regular file"},
      {[&] { fs::create_directory(lock); }, "is a directory"},
  };
  for (const auto& [plant, words] : locks) {
    SCOPED_TRACE(words);
    fs::remove_all(lock);
    plant();
    SaveFailure failure;
    EXPECT_FALSE(makeDiskFileSystem()->replaceFiles({&save, 1}, &failure));
    EXPECT_EQ(failure.reason, "the save lock .census-save.lock " + words);
    EXPECT_FALSE(fs::exists("../elsewhere"));
    EXPECT_FALSE(fs::exists("datas.dat"));
  }
}
#endif

// A save of three files cut short at each of its steps, in a folder then
// moved or copied before the next start: where it now is, every file is
// all old or all new, with nothing left behind, and the folder it was
// copied from stays as the cut left it.
TEST_F(SaveJournal, ASaveCutShortIsMendedInTheFolderWhereItNowIs) {
  const std::vector<std::string> names = {"datas.dat", "Loc-datas.dat", "Loc-datas0.dat"};
  std::vector<FileReplacement> saves;
  for (const std::string& name : names) saves.push_back({.name = name, .content = name + " new\n"});
  for (const bool copied : {false, true}) {
    for (int steps = 0;; ++steps) {
      SCOPED_TRACE((copied ? "copied, cut after step " : "moved, cut after step ") +
                   std::to_string(steps));
      fs::current_path(outside_);
      fs::remove_all("data");
      fs::remove_all("elsewhere");
      fs::create_directory("data");
      fs::current_path("data");
      for (const std::string& name : names) writeDiskFile(name, name + " old\n");
      CountingPrimitives cut(steps);
      SaveFailure failure;
      if (makeSavingFileSystem(cut)->replaceFiles(saves, &failure)) break;  // no cut left
      fs::current_path(outside_);
      if (copied) {
        fs::copy("data", "elsewhere", fs::copy_options::recursive);
      } else {
        fs::rename("data", "elsewhere");
      }
      const std::vector<std::string> left_in_original = copied ? namesIn("data") : names;
      fs::current_path("elsewhere");
      EXPECT_TRUE(start().empty());
      EXPECT_EQ(namesIn("."),
                (std::vector<std::string>{"Loc-datas.dat", "Loc-datas0.dat", "datas.dat"}));
      const std::string first = readDiskFile(names[0]);
      const std::string age = first.ends_with(" new\n") ? " new\n" : " old\n";
      for (const std::string& name : names) EXPECT_EQ(readDiskFile(name), name + age);
      if (copied) {
        EXPECT_EQ(namesIn(outside_ / "data"), left_in_original);
      }
    }
  }
}

// A file system made without a way to speak sets such a journal aside all
// the same, saying nothing.
TEST_F(SaveJournal, AJournalIsSetAsideWhereNothingIsToldOfIt) {
  writeDiskFile(kJournal, "rm -rf /\n");
  makeDiskFileSystem()->recoverSaves();
  EXPECT_FALSE(fs::exists(kJournal));
  EXPECT_EQ(victim(), "the victim's own\n");
}

// A folder's flush that fails fails the save: of several files before
// their commit, every file stays old; of one file after its rename, the
// save says it is decided. Either way it never says "saved".
TEST_F(SaveJournal, AFolderFlushThatFailsFailsTheSave) {
  const std::vector<std::string> names = {"datas.dat", "Loc-datas.dat"};
  for (const std::string& name : names) writeDiskFile(name, name + " old\n");
  std::vector<FileReplacement> saves;
  for (const std::string& name : names) saves.push_back({.name = name, .content = name + " new\n"});
  for (const std::size_t count : {2u, 1u}) {
    SCOPED_TRACE(count);
    CountingPrimitives failing;
    failing.failFolderFlushes();
    SaveFailure failure;
    EXPECT_FALSE(makeSavingFileSystem(failing)->replaceFiles({saves.data(), count}, &failure));
    EXPECT_EQ(failure.reason, "Input/output error");
    if (count == 2) {
      EXPECT_FALSE(failure.decided);
      for (const std::string& name : names) EXPECT_EQ(readDiskFile(name), name + " old\n");
    } else {
      EXPECT_TRUE(failure.decided);
      EXPECT_TRUE(start().empty());
    }
    EXPECT_EQ(namesIn("."), (std::vector<std::string>{"Loc-datas.dat", "datas.dat"}));
  }
}

// A save of one file flushes its journal, its temporary file and its
// folder; a save of several, each temporary file and five more.
TEST_F(SaveJournal, ASaveFlushesWhatItsInvariantsNeed) {
  std::vector<FileReplacement> saves;
  for (const std::string name : {"datas.dat", "Loc-datas.dat", "Loc-datas0.dat"}) {
    saves.push_back({.name = name, .content = "new\n"});
  }
  for (const std::size_t count : {1u, 3u}) {
    CountingPrimitives counting;
    SaveFailure failure;
    ASSERT_TRUE(makeSavingFileSystem(counting)->replaceFiles({saves.data(), count}, &failure))
        << failure.reason;
    EXPECT_EQ(counting.fileFlushes() + counting.folderFlushes(), count == 1 ? 3 : 3 + 5)
        << count << " files";
  }
}

// A save that finds another save's lock held waits as long as its
// patience, says so once after a second, and then gives up, changing
// nothing; one without patience gives up at once.
TEST_F(SaveJournal, ASaveWaitsForAnotherBoundedlyAndSaysSo) {
  std::unique_ptr<HeldLock> other;
  std::string reason;
  ASSERT_EQ(makeDiskPrimitives()->lockFolder(".census-save.lock", {}, &other, &reason),
            disk::LockResult::kHeld)
      << reason;
  const FileReplacement save{.name = "datas.dat", .content = "new\n"};
  for (const int patience_ms : {0, 1500}) {
    SCOPED_TRACE(patience_ms);
    std::vector<std::string> said;
    DiskOptions options;
    options.patience = std::chrono::milliseconds(patience_ms);
    options.notice = [&](const std::string& line) { said.push_back(line); };
    SaveFailure failure;
    EXPECT_FALSE(makeDiskFileSystem(std::move(options))->replaceFiles({&save, 1}, &failure));
    EXPECT_TRUE(failure.busy);
    EXPECT_TRUE(failure.reason.starts_with("another save in this folder did not end (process "))
        << failure.reason;
    EXPECT_FALSE(fs::exists("datas.dat"));
    if (patience_ms == 0) {
      EXPECT_TRUE(said.empty());
    } else {
      ASSERT_EQ(said.size(), 1u);
      EXPECT_TRUE(said[0].starts_with("census: waiting for another save in ")) << said[0];
      EXPECT_TRUE(said[0].ends_with(" (process " + std::to_string(::getpid()) + ")")) << said[0];
    }
  }
}

}  // namespace
}  // namespace census
