#include "shell/pass_loop.h"

#include <array>
#include <optional>
#include <string>

#include "facility/facility_record.h"
#include "population/census_grid.h"
#include "population/population_entry.h"
#include "shell/credits.h"
#include "shell/shell_commands.h"

namespace census {
namespace {

const std::string kSignOnRule = " " + std::string(124, '*') + "\n";
const std::string kSignOffRule = " " + std::string(124, '*') + " \n";
const std::string kSignOffHyphens = " " + std::string(83, '-') + "  \n";
const std::string kPromptBlock =
    "  " + std::string(101, '-') + "\n" +
    "  ----> Enter A Number From(-1 to exit) Either To Continue Or Quit(Exit) The Program Now "
    ":: \n"
    "  --> The '-1' Option(Value) Will Allow You To Exit(Quit) The Program Immediately :: \n" +
    "  " + std::string(95, '=') + " \n";
const std::string kEchoRule = std::string(83, '-') + " ";
constexpr std::string_view kOptionPrompt = "  <---- Enter The Value For The Option Needed <---- ";
const std::string kBannerRule = std::string(125, '+') + " ";

struct Session {
  Console& console;
  Platform& platform;
  RunState& state;
};

struct Option {
  int code;
  void (*run)(Session& session);
};

void enter(Session& s) { enterPopulation(s.state.OptionCode, s.console, s.state.figure_table); }
void list(Session& s) { listPopulation(s.state.OptionCode, s.console, s.state.totals); }

constexpr std::array<Option, 10> kOptions = {{
    {1, [](Session& s) { listCensusGrid(s.console); }},
    {2, enter},
    {3, list},
    {4, enter},
    {5, list},
    {6, enter},
    {7, list},
    {8, [](Session& s) { runShellCommands(s.console, s.platform); }},
    {9, [](Session& s) { showCredits(s.console, s.platform); }},
    {10, [](Session& s) { enterFacilityRecord(s.console); }},
}};

void signOn(Console& console) {
  console << " \n"
          << kSignOnRule << kSignOnCredit1 << kSignOnCredit2 << kSignOnCredit3 << kSignOnCredit4
          << " \n";
  console << " Processed And Stored Database And Files For Environmental Consideration(s), "
             "Instructions And Detail. --> "
          << kEndLine;
  console << "Registered In The Main Program Of Execution Of X(x) Returns => :: "
          << RunState::LocalX << kEndLine;
}

void signOff(Console& console, Platform& platform) {
  console << kSignOffRule << kSignOffCredit1 << kSignOffCredit2 << kSignOnCredit3 << kSignOnCredit4
          << kSignOffHyphens;
  console << kEndLine << " General(Global) x = " << RunState::GlobalX << kEndLine;
  console << kEndLine << "Press any key to continue...";
  console.flush();
  platform.waitForKey();
}

// One pass after its first prompt; returns false where the input has ended.
bool runPass(Session& s) {
  Console& console = s.console;
  console << kEndLine << " Here Is A Terminaton And Execution Value :: = " << s.state.pass_value
          << kEndLine
          << "  ----> The In while Program(Looping Stage(s)) Is(Of) x = " << s.state.pass_value
          << "  \n";
  console << kEchoRule << kEndLine;
  const std::optional<std::int32_t> option_code =
      askNumber(console, [](Console& c) { c << kOptionPrompt << kEndLine; });
  if (!option_code) return false;
  s.state.OptionCode = *option_code;
  for (const Option& option : kOptions) {
    if (option.code == s.state.OptionCode) option.run(s);
  }
  printPassBanner(console, ++s.state.pass_counter);
  return true;
}

}  // namespace

void printPassBanner(Console& console, std::int32_t pass_number) {
  console << kBannerRule << kEndLine;
  console << ", Program is in execution mode " << pass_number << " times" << kEndLine;
  console << kBannerRule << kEndLine;
}

int runCensus(std::istream& in, std::ostream& out, Platform& platform) {
  Console console(in, out);
  RunState state;
  Session session{console, platform, state};
  signOn(console);
  while (!state.quit) {
    const std::optional<std::int32_t> pass_value =
        askNumber(console, [](Console& c) { c << kPromptBlock; });
    if (!pass_value || *pass_value == -1) {
      state.quit = true;
    } else {
      state.pass_value = *pass_value;
      state.quit = !runPass(session);
    }
  }
  signOff(console, platform);
  return 0;
}

}  // namespace census
