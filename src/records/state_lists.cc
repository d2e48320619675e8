#include "records/state_lists.h"

#include <algorithm>
#include <cctype>

namespace census {
namespace {

constexpr StateEntry kList1[] = {
    {"Oyo", "Oyo", "Oyo", "NG-OY"},
    {"Lagos", "Lagos", "Lagos", "NG-LA"},
    {"Kwara", "Kwara", "Kwara", "NG-KW"},
    {"Delta", "Delta", "Delta", "NG-DE"},
    {"Osun", "Osun", "Osun", "NG-OS"},
    {"Abuja", "Abuja", "Abuja Federal Capital Territory", "NG-FC"},
    {"Kaduna", "Kaduna", "Kaduna", "NG-KD"},
    {"Edo", "Edo", "Edo", "NG-ED"},
    {"Jos", "Jos", "Plateau", "NG-PL"},
    {"Kano", "Kano", "Kano", "NG-KN"},
    {"Ondo", "Ondo", "Ondo", "NG-ON"},
    {"Sokoto", "Sokoto", "Sokoto", "NG-SO"},
    {"Ekiti", "Ekiti", "Ekiti", "NG-EK"},
    {"Kogi", "Kogi", "Kogi", "NG-KO"},
    {"Nassarawa", "Nassarawa", "Nasarawa", "NG-NA"},
    {"Cross River", "Cross-River", "Cross River", "NG-CR"},
};

constexpr StateEntry kList2[] = {
    {"Abia", "Abia", "Abia", "NG-AB"},
    {"Niger", "Niger", "Niger", "NG-NI"},
    {"Ogun", "Ogun", "Ogun", "NG-OG"},
    {"Bauchi", "Bauchi", "Bauchi", "NG-BA"},
    {"Benue", "Benue", "Benue", "NG-BE"},
    {"Anambra", "Anambra", "Anambra", "NG-AN"},
    {"Yobe", "Yobe", "Yobe", "NG-YO"},
    {"Enungu", "Enungu", "Enugu", "NG-EN"},
    {"Ebonyi", "Ebonyi", "Ebonyi", "NG-EB"},
    {"Bayelsa", "Bayelsa", "Bayelsa", "NG-BY"},
    {"Akwa Ibom", "Akwa-Ibom", "Akwa Ibom", "NG-AK"},
    {"Rivers", "Rivers", "Rivers", "NG-RI"},
    {"Taraba", "Taraba", "Taraba", "NG-TA"},
    {"Adamawa", "Adamawa", "Adamawa", "NG-AD"},
    {"Borno", "Borno", "Borno", "NG-BO"},
    {"Gombe", "Gombe", "Gombe", "NG-GO"},
};

constexpr StateEntry kList3[] = {
    {"Kebi", "Kebi", "Kebbi", "NG-KE"},
    {"Zamfara", "Zamfara", "Zamfara", "NG-ZA"},
    {"Katsina", "Katsina", "Katsina", "NG-KT"},
    {"Jigawa", "Jigawa", "Jigawa", "NG-JI"},
};

constexpr std::array<StateList, kStateListCount> kStateLists = {{
    {1, "datas.dat", kList1},
    {2, "Loc-datas.dat", kList2},
    {3, "Loc-datas0.dat", kList3},
}};

}  // namespace

std::span<const StateList, kStateListCount> stateLists() { return kStateLists; }

const StateList& stateList(int number) { return kStateLists[static_cast<std::size_t>(number - 1)]; }

std::size_t positionOfLabel(const StateList& list, std::string_view file_label) {
  std::size_t position = 0;
  while (position < list.states.size() && list.states[position].file_label != file_label) {
    ++position;
  }
  return position;
}

std::size_t positionOfLabelInAnyCase(const StateList& list, std::string_view file_label) {
  const auto same_letters = [&](std::string_view label) {
    return label.size() == file_label.size() &&
           std::equal(label.begin(), label.end(), file_label.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) ==
                    std::tolower(static_cast<unsigned char>(b));
           });
  };
  for (std::size_t i = 0; i < list.states.size(); ++i) {
    if (same_letters(list.states[i].file_label)) return i;
  }
  return list.states.size();
}

const StateEntry* stateWithLabel(const StateList& list, std::string_view file_label) {
  const std::size_t position = positionOfLabel(list, file_label);
  return position < list.states.size() ? &list.states[position] : nullptr;
}

}  // namespace census
