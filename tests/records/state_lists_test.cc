#include "records/state_lists.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

namespace census {
namespace {

TEST(StateLists, EachListHasItsFileAndStates) {
  struct Case {
    int list;
    std::string_view file;
    std::size_t states;
  };
  const Case cases[] = {{1, "datas.dat", 16}, {2, "Loc-datas.dat", 16}, {3, "Loc-datas0.dat", 4}};
  for (const Case& c : cases) {
    const StateList& list = stateList(c.list);
    EXPECT_EQ(list.number, c.list);
    EXPECT_EQ(list.file_name, c.file);
    EXPECT_EQ(list.states.size(), c.states);
    EXPECT_EQ(&stateLists()[static_cast<std::size_t>(c.list - 1)], &list);
  }
}

TEST(StateLists, FindsAStateByItsLabel) {
  EXPECT_EQ(positionOfLabel(stateList(1), "Jos"), 8u);
  EXPECT_EQ(positionOfLabel(stateList(3), "Jigawa"), 3u);
  EXPECT_EQ(positionOfLabel(stateList(3), "Oyo"), 4u);
  EXPECT_EQ(positionOfLabel(stateList(2), "abia"), 16u);
}

TEST(StateLists, FileLabelsAreSingleWords) {
  std::string labels;
  for (const StateList& list : stateLists()) {
    for (const StateEntry& state : list.states) {
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

TEST(StateLists, IsoNamesAndCodesAreThoseOfTheIsoCodesPackage) {
  const std::filesystem::path data = "/usr/share/iso-codes/json/iso_3166-2.json";
  if (!std::filesystem::exists(data)) GTEST_SKIP() << data << " is not installed (iso-codes)";
  std::ifstream file(data);
  const nlohmann::json document = nlohmann::json::parse(file);
  std::map<std::string, std::string> nigeria;  // code -> name
  for (const nlohmann::json& subdivision : document["3166-2"]) {
    const std::string code = subdivision["code"];
    if (code.starts_with("NG-")) nigeria[code] = subdivision["name"];
  }
  std::set<std::string> codes;
  for (const StateList& list : stateLists()) {
    for (const StateEntry& state : list.states) {
      const std::string code(state.iso_code);
      ASSERT_TRUE(nigeria.contains(code)) << code;
      EXPECT_EQ(nigeria[code], state.iso_name) << state.file_label;
      codes.insert(code);
    }
  }
  // 35 states and the Federal Capital Territory, each once; Imo is on no list.
  EXPECT_EQ(codes.size(), 36u);
  EXPECT_EQ(nigeria.size(), 37u);
  EXPECT_FALSE(codes.contains("NG-IM"));
}

}  // namespace
}  // namespace census
