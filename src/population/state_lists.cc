#include "population/state_lists.h"

#include <stdexcept>

namespace census {
namespace {

constexpr StateEntry kList1[] = {
    {"Oyo", "Oyo", "Oyo"},
    {"Lagos", "Lagos", "Lagos"},
    {"Kwara", "Kwara", "Kwara"},
    {"Delta", "Delta", "Delta"},
    {"Osun", "Osun", "Osun"},
    {"Abuja", "Abuja[FCT]", "Abuja", {{{kTotal, "Abuja[FCT]", false}}}},
    {"Kaduna", "Kaduna", "Kaduna"},
    {"Edo", "Edo", "Edo"},
    {"Jos", "Jos", "Jos"},
    {"Kano", "Kano", "Kano", {{{kTotal, "kano", true}}}},
    {"Ondo", "Ondo", "Ondo"},
    {"Sokoto", "Sokoto", "Sokoto"},
    {"Ekiti", "Ekiti", "Ekiti"},
    {"Kogi", "Kogi", "Kogi"},
    {"Nassarawa", "Nassarawa", "Nassarawa"},
    {"Cross River", "Cross River", "Cross-River"},
};

constexpr StateEntry kList2[] = {
    {"Abia", "Abia", "Abia"},
    {"Niger", "Niger", "Niger"},
    {"Ogun", "Ogun", "Ogun"},
    {"Bauchi", "Bauchi", "Bauchi"},
    {"Benue", "Benue", "Benue", {{{kYouth, "benue", true}}}},
    {"Anambra", "Anambra", "Anambra", {{{kTotal, "Anambra", false}}}},
    {"Yobe", "Yobe", "Yobe"},
    {"Enungu", "Enungu", "Enungu"},
    {"Ebonyi", "Ebonyi", "Ebonyi"},
    {"Bayelsa", "Bayelsa", "Bayelsa"},
    {"Akwa Ibom", "Akwa Ibom", "Akwa-Ibom"},
    {"Rivers", "Rivers", "Rivers"},
    {"Taraba", "Taraba", "Taraba"},
    {"Adamawa", "Adamawa", "Adamawa"},
    {"Borno", "Borno", "Borno"},
    {"Gombe", "Gombe", "Gombe", {{{kMale, "Cross Gombe", true}, {kYouth, "Gombe River", true}}}},
};

constexpr StateEntry kList3[] = {
    {"Kebi", "Kebi", "Kebi"},
    {"Zamfara", "Zamfara", "Zamfara"},
    {"Katsina", "Katsina", "Katsina", {{{kMale, "katsina", true}}}},
    {"Jigawa", "Jigawa", "Jigawa"},
};

constexpr std::array<StateList, 3> kStateLists = {{
    {1, "datas.dat", 2, 3, "  <---- Option 2 Selected Now <---- ", false, kList1},
    {2, "Loc-datas.dat", 4, 5, "  <---- Option 4 Selected Now <---- ", false, kList2},
    {3, "Loc-datas0.dat", 6, 7, "", true, kList3},
}};

}  // namespace

const StateList& stateListForOption(int option_code) {
  for (const StateList& list : kStateLists) {
    if (list.entry_option == option_code || list.listing_option == option_code) return list;
  }
  throw std::invalid_argument("no state list for option " + std::to_string(option_code));
}

std::string promptText(const StateEntry& state, Figure figure) {
  std::string_view name = state.prompt_name;
  bool says_state = true;
  for (const PromptException& exception : state.exceptions) {
    if (!exception.name.empty() && exception.figure == figure) {
      name = exception.name;
      says_state = exception.says_state;
    }
  }
  std::string text = "  <---- Enter The ";
  text.append(kFigureWords[figure]).append(" Population For ").append(name);
  text.append(says_state ? " State <---- " : " <---- ");
  return text;
}

std::string summaryText(const StateEntry& state) {
  std::string text = "<---- ";
  text.append(state.summary_name).append(" State Total Population Is :: ");
  return text;
}

}  // namespace census
