#include "population/state_lists.h"

#include <gtest/gtest.h>

namespace census {
namespace {

TEST(StateLists, TieEachOptionToItsListAndFile) {
  struct Case {
    int option;
    int list;
    std::string_view file;
    std::size_t states;
  };
  const Case cases[] = {{2, 1, "datas.dat", 16},     {3, 1, "datas.dat", 16},
                        {4, 2, "Loc-datas.dat", 16}, {5, 2, "Loc-datas.dat", 16},
                        {6, 3, "Loc-datas0.dat", 4}, {7, 3, "Loc-datas0.dat", 4}};
  for (const Case& c : cases) {
    const StateList& list = stateListForOption(c.option);
    EXPECT_EQ(list.number, c.list) << c.option;
    EXPECT_EQ(list.file_name, c.file) << c.option;
    EXPECT_EQ(list.states.size(), c.states) << c.option;
  }
}

TEST(StateLists, FileLabelsAreSingleWords) {
  std::string labels;
  for (int option : {2, 4, 6}) {
    for (const StateEntry& state : stateListForOption(option).states) {
      EXPECT_EQ(state.file_label.find_first_of(" \t"), std::string_view::npos) << state.file_label;
      labels.append(state.file_label).push_back(',');
    }
  }
  EXPECT_EQ(labels,
            "Oyo,Lagos,Kwara,Delta,Osun,Abuja,Kaduna,Edo,Jos,Kano,Ondo,Sokoto,Ekiti,Kogi,"
            "Nassarawa,Cross-River,"
            "Abia,Niger,Ogun,Bauchi,Benue,Anambra,Yobe,Enungu,Ebonyi,Bayelsa,Akwa-Ibom,Rivers,"
            "Taraba,Adamawa,Borno,Gombe,"
            "Kebi,Zamfara,Katsina,Jigawa,");
}

TEST(StateLists, PromptTextsHonourTheirExceptions) {
  struct Case {
    int option;
    std::size_t position;  // 1-based
    Figure figure;
    std::string_view expected;
  };
  const Case cases[] = {
      {2, 1, kTotal, "  <---- Enter The Total Population For Oyo State <---- "},
      {2, 6, kTotal, "  <---- Enter The Total Population For Abuja[FCT] <---- "},
      {2, 6, kMale, "  <---- Enter The Male Population For Abuja State <---- "},
      {2, 10, kTotal, "  <---- Enter The Total Population For kano State <---- "},
      {2, 10, kMale, "  <---- Enter The Male Population For Kano State <---- "},
      {2, 16, kYouth, "  <---- Enter The Youth Population For Cross River State <---- "},
      {4, 5, kYouth, "  <---- Enter The Youth Population For benue State <---- "},
      {4, 5, kFemale, "  <---- Enter The Female Population For Benue State <---- "},
      {4, 6, kTotal, "  <---- Enter The Total Population For Anambra <---- "},
      {4, 6, kYouth, "  <---- Enter The Youth Population For Anambra State <---- "},
      {4, 16, kTotal, "  <---- Enter The Total Population For Gombe State <---- "},
      {4, 16, kMale, "  <---- Enter The Male Population For Cross Gombe State <---- "},
      {4, 16, kYouth, "  <---- Enter The Youth Population For Gombe River State <---- "},
      {6, 3, kMale, "  <---- Enter The Male Population For katsina State <---- "},
      {6, 3, kTotal, "  <---- Enter The Total Population For Katsina State <---- "},
  };
  for (const Case& c : cases) {
    const StateEntry& state = stateListForOption(c.option).states[c.position - 1];
    EXPECT_EQ(promptText(state, c.figure), c.expected);
  }
}

TEST(StateLists, SummaryTextsAlwaysSayState) {
  EXPECT_EQ(summaryText(stateListForOption(2).states[5]),
            "<---- Abuja[FCT] State Total Population Is :: ");
  EXPECT_EQ(summaryText(stateListForOption(4).states[5]),
            "<---- Anambra State Total Population Is :: ");
  EXPECT_EQ(summaryText(stateListForOption(4).states[10]),
            "<---- Akwa Ibom State Total Population Is :: ");
}

}  // namespace
}  // namespace census
