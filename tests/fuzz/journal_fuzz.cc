// Hands each fuzz input to a start as the text of the save journal it finds
// in a folder on disk, beside data files, temporary files and links, with a
// victim file and its would-be temporary file beside the folder; and the
// same text to a start on a machine held in memory, beside files of
// another user.
//
// Checked on every input, besides what the sanitizers catch: nothing
// outside the folder changes or appears; the journal is gone afterwards
// (acted on, or set aside); and every data file is its old or its new
// content, whole.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "fakes/memory_primitives.h"
#include "save/file_system.h"
#include "save/transaction.h"

namespace census {
namespace {

namespace fs = std::filesystem;

void require(bool holds, const char* what) {
  if (holds) return;
  std::cerr << "violated: " << what << "\n";
  std::abort();
}

void write(const fs::path& name, const std::string& content) {
  std::ofstream(name, std::ios::binary) << content;
}

std::string read(const fs::path& name) {
  std::ifstream file(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// A scratch folder of this process's own: "outside" holds the victim and
// the folder "data" the files census keeps.
const fs::path& outside() {
  static const fs::path path = [] {
    fs::path made = fs::temp_directory_path() / ("census-journal-fuzz-" + std::to_string(getpid()));
    fs::create_directories(made / "data");
    return made;
  }();
  return path;
}

void layOut() {
  const fs::path data = outside() / "data";
  fs::remove_all(data);
  fs::remove_all(outside() / "planted");
  fs::create_directories(data);
  write(outside() / "victim", "victim\n");
  write(outside() / ".victim.census-1-1.tmp", "planted\n");
  write(data / "datas.dat", "old\n");
  write(data / ".datas.dat.census-1-1.tmp", "new\n");
  write(data / "Loc-datas.dat", "old\n");
  write(data / ".Loc-datas.dat.census-1-2.tmp", "new\n");
  fs::create_symlink("../victim", data / "Recs-Loc.dat");
  fs::create_directories(data / "census-history");
}

// The same journal on a machine in memory: files of another user stand
// where a planted journal might point, and a folder the save never writes.
void startInMemory(const std::string& journal) {
  MemoryPrimitives machine;
  machine.set("datas.dat", "old\n");
  machine.set(".datas.dat.census-1-1.tmp", "new\n");
  machine.set("Loc-datas.dat", "old\n");
  machine.set(".Loc-datas.dat.census-1-2.tmp", "new\n");
  machine.set("Recs-Loc.dat", "theirs\n", MemoryPrimitives::Kind::kForeignFile);
  machine.set(".Recs-Loc.dat.census-1-3.tmp", "planted\n", MemoryPrimitives::Kind::kForeignFile);
  machine.set("census-history", "", MemoryPrimitives::Kind::kFolder);
  machine.set("other", "", MemoryPrimitives::Kind::kFolder);
  machine.set("other/file", "kept\n");
  machine.set(".census-save.journal", journal);
  makeSavingFileSystem(machine)->recoverSaves();
  require(machine.file(".census-save.journal") == std::nullopt, "the journal is gone, in memory");
  require(machine.file("other/file") == "kept\n", "nothing outside what a save writes changes");
  // A temporary file of another user's is never put in place of a file.
  const std::optional<std::string> recs = machine.file("Recs-Loc.dat");
  require(!recs || recs == "theirs\n", "another user's temporary file stays where it was");
  for (const char* name : {"datas.dat", "Loc-datas.dat"}) {
    const std::optional<std::string> content = machine.file(name);
    require(!content || content == "old\n" || content == "new\n",
            "a data file is old, new or removed, in memory");
  }
}

}  // namespace
}  // namespace census

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace census;
  startInMemory(std::string(reinterpret_cast<const char*>(data), size));
  layOut();
  const fs::path folder = outside() / "data";
  write(folder / ".census-save.journal", std::string(reinterpret_cast<const char*>(data), size));
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  makeDiskFileSystem()->recoverSaves();
  fs::current_path(before);
  // Recs-Loc.dat leads to the victim: a journal of census's own may finish
  // a save of it, with the temporary file beside the victim that census
  // made. The planted one is not census's own content, but is owned like
  // one; either way the victim is whole.
  const std::string victim = read(outside() / "victim");
  require(victim == "victim\n" || victim == "planted\n", "the victim is whole");
  require(!fs::exists(fs::symlink_status(folder / ".census-save.journal")), "the journal is gone");
  for (const char* name : {"datas.dat", "Loc-datas.dat"}) {
    const std::string content = read(folder / name);
    require(content == "old\n" || content == "new\n" || !fs::exists(folder / name),
            "a data file is old, new or removed");
  }
  for (const auto& entry : fs::directory_iterator(outside())) {
    const std::string name = entry.path().filename().string();
    require(
        name == "data" || name == "victim" || name == ".victim.census-1-1.tmp" || name == "planted",
        "nothing new outside the folder");
  }
  return 0;
}
