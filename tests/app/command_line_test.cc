#include "app/command_line.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>

#include "base/text.h"
#include "records/state_lists.h"
#include "test_support.h"

namespace census {
namespace {

#ifndef _WIN32
// The dialogue's input for one entry of a list of 16 states, then -1.
std::string entryOf(int option) {
  std::string input = "1 " + std::to_string(option);
  for (int i = 0; i < 64; ++i) input += " 7";
  return input + " -1";
}
#endif

// On the disk: -C changes the working directory.
class CommandLine : public InWorkDir {
 protected:
  // Runs census with these arguments; stdout and stderr land in out and errors.
  int run(const std::vector<std::string>& arguments, const std::string& input = "") {
    std::istringstream in(input);
    out.str("");
    errors.str("");
    return runCommandLine(arguments, in, out, errors, platform, *disk);
  }

  FakePlatform platform;
  std::ostringstream out;
  std::ostringstream errors;
};

TEST_F(CommandLine, UsageErrorsSayWhatIsWrongOnStandardErrorAndTouchNothing) {
  struct Case {
    std::vector<std::string> arguments;
    std::string problem;
  };
  const Case cases[] = {
      {{"--bogus"}, "--bogus"},
      {{"frobnicate"}, "unexpected argument: frobnicate"},
      {{"-C"}, "-C"},
      {{"-1"}, "-1"},
      {{"-C", ".", "surplus"}, "unexpected argument: surplus"},
      {{"--version", "extra"}, "--version takes no other argument"},
      {{"-C", ".", "-C", "/tmp"}, "option -C given more than once"},
      {{"export", "-o", ""}, "option --output needs a name, not an empty word"},
      {{"report", "-o", "a", "--output", "b"}, "option --output given more than once"},
  };
  writeDiskFile("datas.dat", "Oyo 1 2 3 4\n");
  for (const Case& c : cases) {
    EXPECT_EQ(run(c.arguments, "1 2 " + std::string(64, '1') + " -1"), kExitUsage)
        << c.arguments[0];
    EXPECT_EQ(out.str(), "") << c.arguments[0];
    const std::string said = errors.str();
    EXPECT_TRUE(said.starts_with("census: ")) << said;
    EXPECT_NE(said.find(c.problem), std::string::npos) << said;
    EXPECT_TRUE(said.ends_with("\nRun 'census --help' for more information.\n")) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
  }
  EXPECT_EQ(readDiskFile("datas.dat"), "Oyo 1 2 3 4\n");
  EXPECT_TRUE(platform.calls.empty());
}

TEST_F(CommandLine, AReportTimeThatIsNoTimeIsAUsageError) {
  for (const char* epoch : {"abc", "12x", "-5", "32535216000", "99999999999999999999"}) {
    setEnvironment("SOURCE_DATE_EPOCH", epoch);
    EXPECT_EQ(run({"report", "-o", "-"}), kExitUsage) << epoch;
    EXPECT_TRUE(
        errors.str().starts_with("census: SOURCE_DATE_EPOCH is not a whole number of "
                                 "seconds since 1970"))
        << errors.str();
    EXPECT_EQ(out.str(), "") << epoch;
  }
  setEnvironment("SOURCE_DATE_EPOCH", "32535215999");
  EXPECT_EQ(run({"report", "-o", "-"}), kExitSuccess);
  EXPECT_NE(out.str().find("<time datetime=\"300"), std::string::npos);  // 3000 or 3001
  setEnvironment("SOURCE_DATE_EPOCH", "");
}

TEST_F(CommandLine, HelpAndVersionGoToStandardOutputAndRunNothing) {
  for (const std::string flag : {"-h", "--help"}) {
    EXPECT_EQ(run({flag}, "-1"), kExitSuccess);
    EXPECT_NE(out.str().find("Usage: census"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find(manualPointer()), std::string::npos) << out.str();
    EXPECT_EQ(errors.str(), "");
  }
  EXPECT_EQ(run({"--version"}), kExitSuccess);
  EXPECT_TRUE(out.str().starts_with("census 1.1.0\nCopyright (c) 2026 the census authors\n"))
      << out.str();
  EXPECT_TRUE(platform.calls.empty());
}

TEST_F(CommandLine, DirectoryOptionRunsTheDialogueThere) {
  std::filesystem::create_directory("elsewhere");
  EXPECT_EQ(run({"-C", "elsewhere"}, "1 10 a b c d e f -1"), kExitSuccess);
  EXPECT_TRUE(std::filesystem::exists("Recs-Loc.dat"));  // now inside elsewhere
  EXPECT_EQ(std::filesystem::current_path().filename(), "elsewhere");
  EXPECT_EQ(platform.calls, std::vector<std::string>{"key"});

  EXPECT_EQ(run({"-C", "missing"}), kExitUsage);
  EXPECT_EQ(errors.str(), "census: cannot change to folder 'missing': no such folder\n");
  // A Windows path as typed; a file is no folder either.
  EXPECT_EQ(run({"-C", "no\\such"}), kExitUsage);
  EXPECT_EQ(errors.str(), "census: cannot change to folder 'no\\such': no such folder\n");
  std::ofstream("a-file") << "x";
  EXPECT_EQ(run({"-C", "a-file"}), kExitUsage);
  EXPECT_EQ(errors.str(), "census: cannot change to folder 'a-file': not a folder\n");
  EXPECT_EQ(out.str(), "");
}

// No output replaces a file census keeps in the folder, however it is
// named; the usage error names the file and nothing changes.
TEST_F(CommandLine, AnOutputIsNeverOneOfTheFolderFilesOfCensus) {
  writeDiskFile("datas.dat", "Oyo 1 2 3 4\n");
  std::filesystem::create_directory("census-history");
  writeDiskFile("census-history/log", "");
  std::filesystem::create_directory("sub");
  const std::string here = std::filesystem::current_path().string();
  const std::vector<std::vector<std::string>> commands = {
      {"export", "-o", "datas.dat"},
      {"export", "--format", "json", "-o", "./datas.dat"},
      {"export", "-o", here + "/Loc-datas.dat"},
      {"export", "-o", "sub/../Recs-Loc.dat"},
      {"report", "-o", "census-history/log"},
      {"report", "-o", "census-history/" + std::string(64, 'a')},
      {"export", "-o", ".census-save.journal"},
      {"export", "-o", ".census-save.lock"},
      {"export", "--format", "adx", "-o", "census-dhis2.json"},
      {"-C", "sub", "export", "-o", "../sub/cens-stat.dat"},
  };
  for (const std::vector<std::string>& command : commands) {
    SCOPED_TRACE(command[command.size() - 1]);
    EXPECT_EQ(run(command), kExitUsage);
    EXPECT_NE(
        errors.str().find(quotedForScreen(command.back()) + " is one of the files census keeps"),
        std::string::npos)
        << errors.str();
    std::filesystem::current_path(here);
  }
  EXPECT_EQ(readDiskFile("datas.dat"), "Oyo 1 2 3 4\n");
  EXPECT_EQ(readDiskFile("census-history/log"), "");
  for (const char* name : {"Loc-datas.dat", "Recs-Loc.dat", ".census-save.journal",
                           ".census-save.lock", "sub/cens-stat.dat"}) {
    EXPECT_FALSE(std::filesystem::exists(name)) << name;
  }
  // An output into a folder that is not there says so.
  EXPECT_EQ(run({"export", "-o", "nosuchdir/x.csv"}), kExitFailure);
  EXPECT_EQ(errors.str(), "census: cannot save nosuchdir/x.csv: no such folder\n");
}

// census restore N FILE FILE puts back just those files of the save.
TEST_F(CommandLine, ARestoreTakesSeveralFiles) {
  ASSERT_EQ(run({"history", "--start"}), kExitSuccess);
  std::string csv = "list,iso_code,total,male,female,youth\n";
  for (const int number : {1, 2, 3}) {
    for (const StateEntry& state : stateList(number).states) {
      csv += std::to_string(number) + "," + std::string(state.iso_code) + ",4,2,2,1\n";
    }
  }
  writeDiskFile("in.csv", csv);
  ASSERT_EQ(run({"import", "in.csv"}), kExitSuccess) << errors.str();
  EXPECT_EQ(run({"restore", "1", "datas.dat", "Loc-datas0.dat"}), kExitSuccess) << errors.str();
  EXPECT_FALSE(std::filesystem::exists("datas.dat"));
  EXPECT_FALSE(std::filesystem::exists("Loc-datas0.dat"));
  EXPECT_TRUE(std::filesystem::exists("Loc-datas.dat"));
}

#ifndef _WIN32
// Two data files that are one file would each overwrite the other's
// figures: every save of either is refused before anything is written, and
// the check finds it.
TEST_F(CommandLine, TwoDataFilesThatAreOneFileAreRefusedAndFound) {
  writeDiskFile("datas.dat", "Oyo 1 2 3 4\n");
  std::filesystem::create_symlink("datas.dat", "Loc-datas.dat");
  std::string csv = "list,iso_code,total,male,female,youth\n";
  for (const int number : {1, 2}) {
    for (const StateEntry& state : stateList(number).states) {
      csv += std::to_string(number) + "," + std::string(state.iso_code) + ",4,2,2,1\n";
    }
  }
  writeDiskFile("in.csv", csv);
  EXPECT_EQ(run({"import", "in.csv"}), kExitFailure);
  EXPECT_NE(errors.str().find("cannot save datas.dat: it is one file with Loc-datas.dat"),
            std::string::npos)
      << errors.str();
  EXPECT_EQ(run({}, entryOf(4)), kExitFailure);
  EXPECT_NE(errors.str().find("cannot save Loc-datas.dat: it is one file with datas.dat"),
            std::string::npos)
      << errors.str();
  EXPECT_EQ(readDiskFile("datas.dat"), "Oyo 1 2 3 4\n");
  EXPECT_EQ(run({"check"}), kExitFailure);
  EXPECT_NE(out.str().find("datas.dat: error: it is one file with Loc-datas.dat"),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("[same-file]"), std::string::npos);
}

// A kept content is readable by no more users than the file it copies.
TEST_F(CommandLine, KeptContentsAreNoMoreReadableThanTheirFiles) {
  ASSERT_EQ(run({"history", "--start"}), kExitSuccess);
  writeDiskFile("datas.dat", "Oyo 1 2 3 4\n");
  std::filesystem::permissions(
      "datas.dat", std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_EQ(run({}, entryOf(2)), kExitSuccess) << errors.str();
  std::size_t kept = 0;
  for (const auto& entry : std::filesystem::directory_iterator("census-history")) {
    if (entry.path().filename() == "log") continue;
    ++kept;
    EXPECT_EQ(entry.status().permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
        << entry.path();
  }
  EXPECT_EQ(kept, 2u);
}
#endif

}  // namespace
}  // namespace census
