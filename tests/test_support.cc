#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "dialogue/credits.h"
#include "dialogue/pass_loop.h"

namespace census {

void InWorkDir::SetUp() {
  previous_dir_ = std::filesystem::current_path();
  std::random_device random;
  work_dir_ = std::filesystem::temp_directory_path() /
              ("census-test-" + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(work_dir_);
  std::filesystem::current_path(work_dir_);
}

void InWorkDir::TearDown() {
  std::filesystem::current_path(previous_dir_);
  std::error_code ignored;
  std::filesystem::permissions(work_dir_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(work_dir_, ignored);
}

std::string InMemory::runSession(const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream errors;
  EXPECT_EQ(runCensus(in, out, errors, platform, files), 0);
  last_errors_ = errors.str();
  return out.str();
}

void setEnvironment(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value);
#else
  ::setenv(name, value, 1);
#endif
}

void writeDiskFile(const std::string& name, const std::string& content) {
  std::ofstream file(name, std::ios::binary);
  file << content;
}

std::string readDiskFile(const std::string& name) {
  if (!std::filesystem::exists(name)) return "<missing>";
  // Text mode: the program writes the platform's line ends.
  std::ifstream file(name);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

std::string signOnText() {
  return " \n " + std::string(124, '*') + "\n" + std::string(kSignOnCredit1) +
         std::string(kSignOnCredit2) + std::string(kSignOnCredit3) + std::string(kSignOnCredit4) +
         " \n"
         " Processed And Stored Database And Files For Environmental Consideration(s), "
         "Instructions And Detail. --> \n"
         "Registered In The Main Program Of Execution Of X(x) Returns => :: 24\n";
}

std::string promptBlock() {
  return "  " + std::string(101, '-') +
         "\n"
         "  ----> Enter A Number From(-1 to exit) Either To Continue Or Quit(Exit) The Program "
         "Now :: \n"
         "  --> The '-1' Option(Value) Will Allow You To Exit(Quit) The Program Immediately :: \n"
         "  " +
         std::string(95, '=') + " \n";
}

std::string signOffText() {
  return " " + std::string(124, '*') + " \n" + std::string(kSignOffCredit1) +
         std::string(kSignOffCredit2) + std::string(kSignOnCredit3) + std::string(kSignOnCredit4) +
         " " + std::string(83, '-') +
         "  \n\n General(Global) x = 8\n\nPress any key to continue...";
}

std::string echoText(int pass_value) {
  const std::string value = std::to_string(pass_value);
  return "\n Here Is A Terminaton And Execution Value :: = " + value +
         "\n  ----> The In while Program(Looping Stage(s)) Is(Of) x = " + value + "  \n" +
         std::string(83, '-') + " \n  <---- Enter The Value For The Option Needed <---- \n";
}

std::string bannerText(int pass_number) {
  const std::string rule = std::string(125, '+') + " \n";
  return rule + ", Program is in execution mode " + std::to_string(pass_number) + " times\n" + rule;
}

History readHistory(FileSystem& files) {
  History history;
  history.scan = scanHistory(
      files,
      [&](const HistoryEntry& entry) {
        history.entries.push_back(entry);
        return true;
      },
      [&](std::size_t line, const std::string& why) { history.bad_lines.emplace_back(line, why); });
  history.torn_line = history.scan.torn_line;
  return history;
}

}  // namespace census
