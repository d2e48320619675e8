// The three fixed, ordered lists of states, with every text that belongs to
// each state, and the option codes that enter and list each list. A state's
// position fixes the order of its prompts, its summary and its file line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace census {

// The four figures of a state, always in this order.
enum Figure : std::size_t { kTotal, kMale, kFemale, kYouth };
inline constexpr std::size_t kFigureCount = 4;
inline constexpr std::array<std::string_view, kFigureCount> kFigureWords = {"Total", "Male",
                                                                            "Female", "Youth"};
using PopulationFigures = std::array<std::int32_t, kFigureCount>;

// Another name for one of a state's four prompts; unused where name is empty.
struct PromptException {
  Figure figure = kTotal;
  std::string_view name;
  bool says_state = true;  // whether " State" follows the name
};

struct StateEntry {
  std::string_view prompt_name;
  std::string_view summary_name;
  std::string_view file_label;  // one word; the file writes one blank after it
  std::array<PromptException, 2> exceptions{};
};

struct StateList {
  int number;
  std::string_view file_name;
  int entry_option;
  int listing_option;
  std::string_view entry_headline;  // empty where the entry writes none
  bool listing_ends_with_facility_record;
  std::span<const StateEntry> states;
};

inline constexpr std::size_t kMostStatesInAList = 16;

// The list that an entry or listing option works on.
// REQUIRES: option_code is one of 2 to 7.
const StateList& stateListForOption(int option_code);

// "  <---- Enter The Male Population For Oyo State <---- ", or with an
// exception's name, and without " State" where the exception says so.
std::string promptText(const StateEntry& state, Figure figure);

// "<---- Oyo State Total Population Is :: "
std::string summaryText(const StateEntry& state);

}  // namespace census
