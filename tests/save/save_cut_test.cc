// Every state a save can leave behind: a save of three lists with its
// history entry, cut after each of its operations, by a kill (all done so
// far stays) or by a power cut (only what was flushed stays), then the next
// start. Each time every list is all old or all new, the history is in step
// with them, and nothing of the save is left.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/sha256.h"
#include "fakes/memory_primitives.h"
#include "records/history.h"
#include "save/transaction.h"

namespace census {
namespace {

const std::vector<std::string> kLists = {"datas.dat", "Loc-datas.dat", "Loc-datas0.dat"};

std::string oldContent(const std::string& name) { return name + " old\n"; }
std::string newContent(const std::string& name) { return name + " new\n"; }

// The folder before the save: the three lists and an empty history.
void layOut(MemoryPrimitives& disk) {
  disk.set("census-history", "", MemoryPrimitives::Kind::kFolder);
  disk.set("census-history/log", "");
  for (const std::string& name : kLists) disk.set(name, oldContent(name));
}

// Saves the three lists as an import does; false where it was cut short.
bool save(MemoryPrimitives& disk) {
  std::vector<FileReplacement> saves;
  for (const std::string& name : kLists) saves.push_back({name, newContent(name)});
  const std::unique_ptr<FileSystem> files = makeSavingFileSystem(disk);
  RecordingFileSystem recording(*files, SaveWay::kImport, "ada", [] { return std::time_t{0}; });
  SaveFailure failure;
  return recording.replaceFiles(saves, &failure);
}

// The names a whole save leaves: the lists, the history and, where the save
// is there, the contents it kept.
std::vector<std::string> namesAfter(bool saved) {
  std::vector<std::string> names = {"Loc-datas.dat", "Loc-datas0.dat", "census-history"};
  if (saved) {
    for (const std::string& name : kLists) {
      names.push_back("census-history/" + sha256Hex(oldContent(name)));
      names.push_back("census-history/" + sha256Hex(newContent(name)));
    }
  }
  names.push_back("census-history/log");
  names.push_back("datas.dat");
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SaveCut, EveryCutEndsAllOldOrAllNewWithTheHistoryInStep) {
  for (const bool power_cut : {false, true}) {
    int cuts = 0;
    for (int operations = 0;; ++operations) {
      SCOPED_TRACE((power_cut ? "power cut after " : "kill after ") + std::to_string(operations) +
                   " operations");
      MemoryPrimitives disk;
      layOut(disk);
      disk.stopAfter(operations);
      if (save(disk)) break;  // the save ended before the cut
      ++cuts;
      if (power_cut) {
        disk.restartAfterPowerCut();
      } else {
        disk.restartAfterKill();
      }
      makeSavingFileSystem(disk)->recoverSaves();

      const bool saved = disk.file(kLists[0]) == newContent(kLists[0]);
      for (const std::string& name : kLists) {
        EXPECT_EQ(disk.file(name), saved ? newContent(name) : oldContent(name)) << name;
      }
      const std::string log = disk.file("census-history/log").value_or("<missing>");
      if (saved) {
        EXPECT_TRUE(log.starts_with("1\t")) << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
      } else {
        EXPECT_EQ(log, "");
      }
      EXPECT_EQ(disk.names(), namesAfter(saved));
    }
    EXPECT_GT(cuts, 10);  // every operation of the save was a place to cut
  }
}

// A start that finds a journal which is not census's own acts on none of
// it, in memory as on the disk.
TEST(SaveCut, AJournalThatIsNotCensussOwnIsSetAside) {
  const std::string header = "census save journal\n";
  const std::string commit = std::string("datas.dat\0.datas.dat.census-1-0.tmp\0commit\n", 44);
  const struct {
    const char* what;
    MemoryPrimitives::Kind kind;
    std::string text;
  } journals[] = {
      {"another user's", MemoryPrimitives::Kind::kForeignFile, header + commit},
      {"a FIFO", MemoryPrimitives::Kind::kFifo, ""},
      {"a link", MemoryPrimitives::Kind::kLink, ""},
      {"a folder", MemoryPrimitives::Kind::kFolder, ""},
      {"a path", MemoryPrimitives::Kind::kFile,
       header + std::string("/etc/passwd\0.passwd.census-1-0.tmp\0commit\n", 42)},
  };
  for (const auto& journal : journals) {
    SCOPED_TRACE(journal.what);
    MemoryPrimitives disk;
    disk.set("datas.dat", "old\n");
    disk.set(".datas.dat.census-1-0.tmp", "planted\n");
    disk.set(".census-save.journal", journal.text, journal.kind);
    std::vector<std::string> said;
    DiskOptions options;
    options.notice = [&](const std::string& line) { said.push_back(line); };
    makeSavingFileSystem(disk, std::move(options))->recoverSaves();
    EXPECT_EQ(disk.file("datas.dat"), "old\n");
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(said[0].starts_with("census: ignored a save journal that is not census's own: "))
        << said[0];
    EXPECT_FALSE(disk.file(".census-save.journal").has_value());
  }
}

}  // namespace
}  // namespace census
