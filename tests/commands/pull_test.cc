#include "commands/pull.h"

#include <sstream>

#include "base/exit_status.h"
#include "commands/history.h"
#include "records/history.h"
#include "test_support.h"

namespace census {
namespace {

// A value as DHIS2 writes it in a data value set: the default combo named
// where the data element has no other.
std::string value(const char* element, const char* unit, const char* figure,
                  const char* combo = "default") {
  return std::string(R"({"dataElement":")") + element + R"(","period":"2026","orgUnit":")" + unit +
         R"(","categoryOptionCombo":")" + combo + R"(","value":")" + figure + "\"}";
}

// Kebi and Zamfara of list 3, as the lists hold them.
const std::string kKebi =
    value("POP_TOTAL", "NG-KE", "1200") + "," + value("POP_MALE", "NG-KE", "600") + "," +
    value("POP_FEMALE", "NG-KE", "580") + "," + value("POP_YOUTH", "NG-KE", "300");
const std::string kZamfara =
    value("POP_TOTAL", "NG-ZA", "900") + "," + value("POP_MALE", "NG-ZA", "490") + "," +
    value("POP_FEMALE", "NG-ZA", "410") + "," + value("POP_YOUTH", "NG-ZA", "200");

std::string dataValueSet(const std::string& values) {
  return R"({"dataSet":"CENSUS_POP","dataValues":[)" + values + "]}";
}

class Pull : public InMemory {
 protected:
  void SetUp() override {
    writeFile("Loc-datas0.dat", "Kebi 1200 600 580 300\nZamfara 900 490 410 200\n");
    ASSERT_TRUE(files.makeFolder("census-history", nullptr));
  }

  int pull(bool save = false) {
    out.str("");
    errors.str("");
    RecordingFileSystem recording(files, SaveWay::kPull, "ada", [] { return std::time_t{0}; });
    const PullRequest request{"https://dhis2.example.org/api", save, "", "", "2026",
                              std::chrono::seconds(30)};
    return runPull(
        recording, request,
        [this](const WebPost& get) {
          asked.push_back(get);
          return answer;
        },
        out, errors);
  }

  void serverHolds(const std::string& values) {
    answer = WebAnswer{};
    answer.status = 200;
    answer.body = dataValueSet(values);
  }

  WebAnswer answer;
  std::vector<WebPost> asked;
  std::ostringstream out;
  std::ostringstream errors;
};

// Where the server holds what the lists hold, pull says so and exits 0;
// it asks for the mapped data set, period and states in the mapping's
// schemes.
TEST_F(Pull, SaysWhereTheServerAndTheListsAgree) {
  serverHolds(kKebi + "," + kZamfara);
  EXPECT_EQ(pull(), kExitSuccess) << errors.str();
  EXPECT_EQ(out.str(),
            "census pull: 8 values of CENSUS_POP for 2026 read from https://dhis2.example.org: "
            "the server and the lists agree\n");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].method, "GET");
  EXPECT_TRUE(
      asked[0].target.starts_with("/api/dataValueSets?dataSet=CENSUS_POP&period=2026&orgUnit=NG-"))
      << asked[0].target;
  EXPECT_NE(asked[0].target.find("&orgUnit=NG-ZA&"), std::string::npos);
  EXPECT_NE(asked[0].target.find("&inputIdScheme=CODE&inputDataSetIdScheme=CODE&"
                                 "inputOrgUnitIdScheme=CODE&idScheme=CODE&"),
            std::string::npos)
      << asked[0].target;
  EXPECT_NE(asked[0].target.find("&categoryOptionComboIdScheme=CODE"), std::string::npos);
}

// Each figure that differs is said, from either side; a value that is no
// whole number is shown as the server gave it; the status is 1.
TEST_F(Pull, SaysEachFigureThatDiffers) {
  serverHolds(value("POP_TOTAL", "NG-KE", "1200") + "," + value("POP_MALE", "NG-KE", "600") + "," +
              value("POP_FEMALE", "NG-KE", "580") + "," + value("POP_YOUTH", "NG-KE", "310") + "," +
              value("POP_TOTAL", "NG-LA", "5x") + "," + value("POP_TOTAL", "NG-XX", "1"));
  EXPECT_EQ(pull(), kExitFailure) << errors.str();
  EXPECT_EQ(out.str(),
            "datas.dat: Lagos: total: none here, '5x' on the server\n"
            "Loc-datas0.dat: Kebi: youth: 300 here, 310 on the server\n"
            "Loc-datas0.dat: Zamfara: total: 900 here, none on the server\n"
            "Loc-datas0.dat: Zamfara: male: 490 here, none on the server\n"
            "Loc-datas0.dat: Zamfara: female: 410 here, none on the server\n"
            "Loc-datas0.dat: Zamfara: youth: 200 here, none on the server\n"
            "census pull: 5 values of CENSUS_POP for 2026 read from https://dhis2.example.org: "
            "6 figures differ\n");  // NG-XX is no org unit of the mapping
}

// --save writes a list the server holds whole, as one save of the way
// pull that restore undoes, and names a list it cannot fill.
TEST_F(Pull, SavesTheListsTheServerHoldsWholeAndRestoreUndoesIt) {
  writeFile("datas.dat", "Oyo 1 1 0 0\n");
  serverHolds(kKebi + "," + kZamfara + "," + value("POP_TOTAL", "NG-KT", "70") + "," +
              value("POP_MALE", "NG-KT", "40") + "," + value("POP_FEMALE", "NG-KT", "30") + "," +
              value("POP_YOUTH", "NG-KT", "10") + "," + value("POP_TOTAL", "NG-JI", "50") + "," +
              value("POP_MALE", "NG-JI", "20") + "," + value("POP_FEMALE", "NG-JI", "30") + "," +
              value("POP_YOUTH", "NG-JI", "5"));
  EXPECT_EQ(pull(true), kExitFailure) << errors.str() << out.str();
  EXPECT_NE(out.str().find("census pull: datas.dat is not written: the server does not hold "
                           "every figure of Oyo, "),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("census pull: Loc-datas0.dat saved as the server holds it\n"),
            std::string::npos);
  const std::string pulled =
      "Kebi 1200 600 580 300\nZamfara 900 490 410 200\nKatsina 70 40 30 10\nJigawa 50 20 30 5\n";
  EXPECT_EQ(readFile("Loc-datas0.dat"), pulled);
  EXPECT_EQ(readFile("datas.dat"), "Oyo 1 1 0 0\n");

  const History history = readHistory(files);
  ASSERT_EQ(history.entries.size(), 1u);
  EXPECT_EQ(history.entries[0].way, "pull");
  EXPECT_EQ(pull(), kExitFailure);  // list 1 still differs; list 3 agrees now
  EXPECT_EQ(out.str().find("Loc-datas0.dat"), std::string::npos) << out.str();

  std::ostringstream said;
  std::ostringstream restore_errors;
  EXPECT_EQ(runRestore(files, "1", {}, false, said, restore_errors), kExitSuccess)
      << restore_errors.str();
  EXPECT_EQ(readFile("Loc-datas0.dat"), "Kebi 1200 600 580 300\nZamfara 900 490 410 200\n");
}

// What is no data value set is the errors of push: status 2, said.
TEST_F(Pull, AnAnswerThatIsNoDataIsSaid) {
  const struct {
    int status;
    const char* body;
    const char* location;
    const char* said;
  } cases[] = {
      {302, "", "/dhis-web-login/", "the server asks to sign in: give --token-file"},
      {404, "", "", "404 Not Found for /api/dataValueSets"},
      {200, "<html>", "", "is no DHIS2 data value set"},
      {200, R"({"dataValues":7})", "", "is no DHIS2 data value set"},
  };
  for (const auto& c : cases) {
    answer = WebAnswer{};
    answer.status = c.status;
    answer.body = c.body;
    answer.location = c.location;
    EXPECT_EQ(pull(true), kExitUsage) << c.body;
    EXPECT_NE(errors.str().find(c.said), std::string::npos) << errors.str();
    EXPECT_EQ(readFile("Loc-datas0.dat"), "Kebi 1200 600 580 300\nZamfara 900 490 410 200\n");
  }
  // A server that holds nothing leaves the key out.
  answer.status = 200;
  answer.body = R"({"dataSet":"CENSUS_POP"})";
  EXPECT_EQ(pull(), kExitFailure);
  EXPECT_NE(out.str().find("0 values of CENSUS_POP"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace census
