// The three fixed, ordered lists of states, with each state's name, the
// label its population file gives it, and its ISO 3166-2 subdivision name
// and code. A state's position fixes the order of its figures everywhere:
// entry, file line, listing and export.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace census {

// The four figures of a state, always in this order.
enum Figure : std::size_t { kTotal, kMale, kFemale, kYouth };
inline constexpr std::size_t kFigureCount = 4;
// Their names in exported files and in findings: "total", "male", ...
inline constexpr std::array<std::string_view, kFigureCount> kFigureNames = {"total", "male",
                                                                            "female", "youth"};
using PopulationFigures = std::array<std::int32_t, kFigureCount>;

struct StateEntry {
  std::string_view name;        // as the program writes it: "Cross River"
  std::string_view file_label;  // one word: "Cross-River"
  std::string_view iso_name;    // as ISO 3166-2 spells it: "Cross River"
  std::string_view iso_code;    // "NG-CR"
};

struct StateList {
  int number;  // 1 to 3
  std::string_view file_name;
  std::span<const StateEntry> states;
};

inline constexpr std::size_t kStateListCount = 3;
inline constexpr std::size_t kMostStatesInAList = 16;

// The three lists, numbers 1 to 3 in order.
std::span<const StateList, kStateListCount> stateLists();

// The list with this number.
// REQUIRES: 1 <= number <= 3.
const StateList& stateList(int number);

// The position (0-based) of the state with this file label in the list, or
// the list's size where no state has it.
std::size_t positionOfLabel(const StateList& list, std::string_view file_label);

// The position of the state whose file label is this one in other case
// ("kebi" for "Kebi"), or the list's size where none is.
std::size_t positionOfLabelInAnyCase(const StateList& list, std::string_view file_label);

// The state with this file label in the list, or null where no state has it.
const StateEntry* stateWithLabel(const StateList& list, std::string_view file_label);

}  // namespace census
