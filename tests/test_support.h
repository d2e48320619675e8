// Helpers shared by the tests: files held in memory (or, for what only a
// disk shows, a fresh working directory per test), a platform that records
// what it is asked to do, and an in-process run of the whole program.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fakes/memory_file_system.h"
#include "os/platform.h"
#include "records/history.h"
#include "save/file_system.h"

namespace census {

class FakePlatform final : public Platform {
 public:
  void waitForKey() override { calls.push_back("key"); }
  // Noted as the commands the program's home platform hands to its
  // command interpreter.
  void clearScreen() override { calls.push_back("cls"); }
  void openFile(const char* file_name) override { calls.push_back(file_name); }
  void startCalculator() override { calls.push_back("calc.exe"); }
  bool openInBrowser(const std::string& url) override {
    calls.push_back("browser " + url);
    return true;
  }
  bool windowClosesOnExit() override { return false; }

  std::vector<std::string> calls;
};

// Each test has files of its own, in memory, which start empty.
class InMemory : public ::testing::Test {
 protected:
  // Runs the whole program on this input; returns everything it wrote.
  std::string runSession(const std::string& input);
  // What the last session wrote on its error stream.
  const std::string& lastErrors() const { return last_errors_; }

  void writeFile(const std::string& name, const std::string& content) { files.set(name, content); }
  // The file's content, or "<missing>" where there is no such file.
  std::string readFile(const std::string& name) const {
    return files.get(name).value_or("<missing>");
  }
  bool fileExists(const std::string& name) const { return files.get(name).has_value(); }

  FakePlatform platform;
  MemoryFileSystem files;

 private:
  std::string last_errors_;
};

// Each test runs in an empty temporary working directory of its own, on the
// disk, for what only a disk shows.
class InWorkDir : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::unique_ptr<FileSystem> disk = makeDiskFileSystem();

 private:
  std::filesystem::path previous_dir_;
  std::filesystem::path work_dir_;
};

void writeDiskFile(const std::string& name, const std::string& content);

// The whole history of a folder, oldest first, as the tests look at it.
struct History {
  HistoryScan scan;
  std::vector<HistoryEntry> entries;
  std::vector<std::pair<std::size_t, std::string>> bad_lines;
  std::size_t torn_line = 0;
};
History readHistory(FileSystem& files);

// Sets an environment variable of this process ("" to empty it).
void setEnvironment(const char* name, const char* value);
// The file's text, with the platform's line ends read as "\n", or
// "<missing>" where there is no such file.
std::string readDiskFile(const std::string& name);

// The exact texts the program writes around what a test looks at.
std::string signOnText();
std::string promptBlock();
std::string signOffText();
// The echo of a pass value and the option prompt that follows it.
std::string echoText(int pass_value);
std::string bannerText(int pass_number);

}  // namespace census
