#include "dialogue/population_entry.h"

#include <array>
#include <optional>
#include <string>

namespace census {
namespace {

const std::string kSeparator = std::string(124, '*') + " ";

// The headline written before the prompts, by list number; empty for none.
constexpr std::array<std::string_view, kStateListCount> kEntryHeadlines = {
    "  <---- Option 2 Selected Now <---- ", "  <---- Option 4 Selected Now <---- ", ""};

constexpr std::array<std::string_view, kFigureCount> kFigureWords = {"Total", "Male", "Female",
                                                                     "Youth"};

// Another name in one of a state's prompts or in its summary line.
struct ScreenName {
  std::string_view file_label;
  bool in_summary;  // else in the prompt for figure
  Figure figure;
  std::string_view name;
  bool says_state;  // whether " State" follows the name in the prompt
};

constexpr ScreenName kScreenNames[] = {
    {"Abuja", true, kTotal, "Abuja[FCT]", true},   {"Abuja", false, kTotal, "Abuja[FCT]", false},
    {"Kano", false, kTotal, "kano", true},         {"Benue", false, kYouth, "benue", true},
    {"Anambra", false, kTotal, "Anambra", false},  {"Gombe", false, kMale, "Cross Gombe", true},
    {"Gombe", false, kYouth, "Gombe River", true}, {"Katsina", false, kMale, "katsina", true},
};

const ScreenName* screenName(const StateEntry& state, bool in_summary, Figure figure) {
  for (const ScreenName& other : kScreenNames) {
    if (other.file_label == state.file_label && other.in_summary == in_summary &&
        (in_summary || other.figure == figure)) {
      return &other;
    }
  }
  return nullptr;
}

// Returns false at end of input, with the rest of the table unread.
bool readFigures(const StateList& list, Console& console, FigureTable& table) {
  for (std::size_t row = 0; row < list.states.size(); ++row) {
    for (std::size_t figure = 0; figure < kFigureCount; ++figure) {
      const std::string prompt = promptText(list.states[row], static_cast<Figure>(figure));
      const std::optional<std::int32_t> answer =
          askNumber(console, [&](Console& c) { c << prompt << kEndLine; });
      if (!answer) return false;
      table[row][figure] = *answer;
    }
  }
  return true;
}

void writeSummary(const StateList& list, Console& console, const FigureTable& table) {
  for (std::size_t row = 0; row + 1 < list.states.size(); row += 2) {
    console << "  " << summaryText(list.states[row]) << table[row][kTotal] << ",  "
            << summaryText(list.states[row + 1]) << table[row + 1][kTotal] << kEndLine;
  }
}

}  // namespace

std::string promptText(const StateEntry& state, Figure figure) {
  const ScreenName* other = screenName(state, false, figure);
  std::string text = "  <---- Enter The ";
  text.append(kFigureWords[figure]).append(" Population For ");
  text.append(other != nullptr ? other->name : state.name);
  text.append(other == nullptr || other->says_state ? " State <---- " : " <---- ");
  return text;
}

std::string summaryText(const StateEntry& state) {
  const ScreenName* other = screenName(state, true, kTotal);
  std::string text = "<---- ";
  text.append(other != nullptr ? other->name : state.name).append(" State Total Population Is :: ");
  return text;
}

void enterPopulation(FileSystem& files, const StateList& list, Console& console,
                     FigureTable& table) {
  const std::string_view headline = kEntryHeadlines[static_cast<std::size_t>(list.number - 1)];
  if (!headline.empty()) console << headline << kEndLine;
  if (!readFigures(list, console, table)) return;
  console << kSeparator << kEndLine;
  writeSummary(list, console, table);
  SaveFailure failure;
  if (!writePopulationFile(files, list, table, &failure)) {
    console << kUnableToOpenFile << kEndLine;
    console.reportError(saveFailureText(failure));
  }
}

}  // namespace census
