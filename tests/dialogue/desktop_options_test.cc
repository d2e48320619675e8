#include "dialogue/desktop_options.h"

#include <sstream>

#include "dialogue/credits.h"
#include "dialogue/pass_loop.h"
#include "test_support.h"

namespace census {
namespace {

using ShellCommands = InMemory;

TEST_F(ShellCommands, OptionEightHandsOverTwoCommandsAndWritesNothing) {
  const std::string output = runSession("1 8 1 8 -1");
  EXPECT_EQ(platform.calls, (std::vector<std::string>{"media-files.dat", "calc.exe",
                                                      "media-files.dat", "calc.exe", "key"}));
  EXPECT_EQ(output, signOnText() + promptBlock() + echoText(1) + bannerText(1) + promptBlock() +
                        echoText(1) + bannerText(2) + promptBlock() + signOffText());
}

TEST_F(ShellCommands, OptionNineClearsTheScreenThenShowsThreeCreditLines) {
  // A platform that notes how much output had arrived when "cls" ran.
  struct ClearingPlatform : Platform {
    explicit ClearingPlatform(const std::ostringstream& out) : out(out) {}
    void waitForKey() override {}
    void clearScreen() override { calls.push_back("cls@" + std::to_string(out.str().size())); }
    void openFile(const char*) override {}
    void startCalculator() override {}
    bool openInBrowser(const std::string&) override { return false; }
    bool windowClosesOnExit() override { return false; }
    const std::ostringstream& out;
    std::vector<std::string> calls;
  };
  std::istringstream in("4 9 4 9 -1");
  std::ostringstream out;
  std::ostringstream errors;
  ClearingPlatform clearing(out);
  runCensus(in, out, errors, clearing, files);

  const std::string credits =
      std::string(kSignOffCredit1) + std::string(kSignOffCredit2) + std::string(kSignOnCredit3);
  const std::string first_pass = signOnText() + promptBlock() + echoText(4);
  const std::string second_pass = credits + bannerText(1) + promptBlock() + echoText(4);
  EXPECT_EQ(out.str(),
            first_pass + second_pass + credits + bannerText(2) + promptBlock() + signOffText());
  EXPECT_EQ(clearing.calls,
            (std::vector<std::string>{"cls@" + std::to_string(first_pass.size()),
                                      "cls@" + std::to_string((first_pass + second_pass).size())}));
}

}  // namespace
}  // namespace census
