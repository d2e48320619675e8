#include "app/command_line.h"

#include <algorithm>
#include <cerrno>
#include <sstream>

#include "test_support.h"

namespace census {
namespace {

void setEnvironment(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value);
#else
  ::setenv(name, value, 1);
#endif
}

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
    EXPECT_NE(out.str().find("man census"), std::string::npos) << out.str();
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
  EXPECT_EQ(errors.str(),
            "census: cannot change to directory 'missing': " + errorText(ENOENT) + "\n");
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace census
