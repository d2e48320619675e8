#include "dialogue/pass_loop.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/exit_status.h"
#include "dialogue/census_grid_listing.h"
#include "dialogue/console.h"
#include "dialogue/credits.h"
#include "dialogue/desktop_options.h"
#include "dialogue/facility_dialogue.h"
#include "dialogue/population_entry.h"
#include "dialogue/population_listing.h"
#include "records/population_file.h"

namespace census {
namespace {

// What lives for the whole run.
struct RunState {
  // The "x" of the sign-on line and the "x" of the sign-off line.
  static constexpr std::int32_t LocalX = 24;
  static constexpr std::int32_t GlobalX = 8;

  bool quit = false;
  std::int32_t pass_counter = 0;
  std::int32_t pass_value = 0;
  std::int32_t OptionCode = 0;
  RunningTotals totals;
  FigureTable figure_table{};
};

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
  FileSystem& files;
  RunState& state;
};

struct Option {
  int code;
  void (*run)(Session& session);
};

template <int kList>
void enter(Session& s) {
  enterPopulation(s.files, stateList(kList), s.console, s.state.figure_table);
}

template <int kList>
void list(Session& s) {
  listPopulation(s.files, stateList(kList), s.console, s.state.totals);
}

// What each option code does; a code no row has does nothing.
constexpr std::array<Option, 10> kOptions = {{
    {1, [](Session& s) { listCensusGrid(s.files, s.console); }},
    {2, enter<1>},
    {3, list<1>},
    {4, enter<2>},
    {5, list<2>},
    {6, enter<3>},
    {7,
     [](Session& s) {
       list<3>(s);
       listFacilityRecord(s.files, s.console);
     }},
    {8, [](Session& s) { runShellCommands(s.console, s.platform); }},
    {9, [](Session& s) { showCredits(s.console, s.platform); }},
    {10, [](Session& s) { enterFacilityRecord(s.files, s.console); }},
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
  if (console.writeError() == 0) platform.waitForKey();
}

// The three banner lines that close pass number pass_number.
void printPassBanner(Console& console, std::int32_t pass_number) {
  console << kBannerRule << kEndLine;
  console << ", Program is in execution mode " << pass_number << " times" << kEndLine;
  console << kBannerRule << kEndLine;
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

int runCensus(std::istream& in, std::ostream& out, std::ostream& errors, Platform& platform,
              FileSystem& files) {
  Console console(in, out, errors);
  RunState state;
  Session session{console, platform, files, state};
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
  if (console.writeError() != 0) {
    console.reportError("write error: " + errorText(console.writeError()));
    return kExitFailure;
  }
  return console.reportedError() ? kExitFailure : kExitSuccess;
}

}  // namespace census
