#include "commands/dhis2.h"

#include <nlohmann/json.hpp>
#include <sstream>

#include "base/exit_status.h"
#include "records/dhis2_mapping.h"
#include "test_support.h"

namespace census {
namespace {

const std::string kList3 = "Kebi 1200 600 580 300\nZamfara 800 390 410 200\n";

class Dhis2 : public InMemory {
 protected:
  void SetUp() override { setEnvironment("SOURCE_DATE_EPOCH", "1796895000"); }
  void TearDown() override { setEnvironment("SOURCE_DATE_EPOCH", ""); }

  int run(Dhis2Format format, const std::string& period = "") {
    out.str("");
    errors.str("");
    return writeDhis2(files, {format, period}, out, errors);
  }

  std::ostringstream out;
  std::ostringstream errors;
};

// The exact text of both formats: each value names its element, period and
// org unit, a combo only where one is mapped; ADX escapes what it must.
TEST_F(Dhis2, BothFormatsSayEachSavedFigureOnce) {
  const std::string kebbi_total =
      "    {\n      \"dataElement\": \"POP_TOTAL\",\n      \"period\": \"2026\",\n"
      "      \"orgUnit\": \"NG-KE\",\n      \"value\": \"1200\"\n    }";
  const struct {
    const char* what;
    std::string mapping;  // "" for none: the defaults
    std::string period;
    std::string json_holds;
    std::string adx_holds;
    std::string schemes = "{\n  \"idScheme\": \"CODE\",\n  \"dataSet\"";  // how the set begins
  } cases[] = {
      {"defaults", "", "", kebbi_total,
       "<adx xmlns=\"urn:ihe:qrph:adx:2015\" exported=\"2026-12-10T09:30:00Z\">\n"
       "  <group orgUnit=\"NG-KE\" period=\"2026-01-01/P1Y\" dataSet=\"CENSUS_POP\">\n"
       "    <dataValue dataElement=\"POP_TOTAL\" value=\"1200\"/>\n"
       "    <dataValue dataElement=\"POP_MALE\" value=\"600\"/>\n"
       "    <dataValue dataElement=\"POP_FEMALE\" value=\"580\"/>\n"
       "    <dataValue dataElement=\"POP_YOUTH\" value=\"300\"/>\n  </group>\n"},
      {"combos and a period of the mapping's",
       R"({"dataSet": "DS", "period": "2025", "orgUnits": {"NG-KE": "KEBBI", "NG-ZA": "ZAMFARA"},
           "dataElements": {"total": {"dataElement": "POP"},
             "male": {"dataElement": "POP", "categoryOptionCombo": "M"},
             "female": {"dataElement": "POP", "categoryOptionCombo": "F"},
             "youth": {"dataElement": "YOUTH"}}})",
       "",
       "      \"dataElement\": \"POP\",\n      \"period\": \"2025\",\n      \"orgUnit\": "
       "\"ZAMFARA\",\n      \"categoryOptionCombo\": \"F\",\n      \"value\": \"410\"",
       "<group orgUnit=\"KEBBI\" period=\"2025-01-01/P1Y\" dataSet=\"DS\">\n"
       "    <dataValue dataElement=\"POP\" value=\"1200\"/>\n"
       "    <dataValue dataElement=\"POP\" categoryOptionCombo=\"M\" value=\"600\"/>"},
      {"UIDs, and codes for the org units",
       R"({"dataSet": "pBOMPrpg1QX", "idScheme": "uid", "orgUnitIdScheme": "Code",
           "orgUnits": {"NG-KE": "KEBBI", "NG-ZA": "ZAMFARA"},
           "dataElements": {"total": {"dataElement": "a0000000001"},
             "male": {"dataElement": "a0000000002", "categoryOptionCombo": "Xc0000000M1"},
             "female": {"dataElement": "a0000000003"}, "youth": {"dataElement": "a0000000004"}}})",
       "", "\"categoryOptionCombo\": \"Xc0000000M1\"",
       "<dataValue dataElement=\"a0000000002\" categoryOptionCombo=\"Xc0000000M1\" value=\"600\"/>",
       "{\n  \"idScheme\": \"UID\",\n  \"orgUnitIdScheme\": \"CODE\",\n  \"dataSet\": "
       "\"pBOMPrpg1QX\""},
      {"--period over the mapping's", R"({"dataSet": "DS", "period": "2025",
         "orgUnits": {"NG-KE": "K", "NG-ZA": "Z"}, "dataElements": {"total": {"dataElement": "T"},
         "male": {"dataElement": "M"}, "female": {"dataElement": "F"}, "youth": {"dataElement": "Y"}}})",
       "2024", "\"period\": \"2024\"", "period=\"2024-01-01/P1Y\""},
      {"codes that must be escaped",
       R"({"dataSet": "A&B<\"'>", "orgUnits": {"NG-KE": "K&", "NG-ZA": "Z"},
         "dataElements": {"total": {"dataElement": "T<"}, "male": {"dataElement": "M"},
         "female": {"dataElement": "F"}, "youth": {"dataElement": "Y\u00e9"}}})",
       "", R"("dataSet": "A&B<\"'>")",
       "<group orgUnit=\"K&amp;\" period=\"2026-01-01/P1Y\" "
       "dataSet=\"A&amp;B&lt;&quot;&#39;&gt;\">\n"
       "    <dataValue dataElement=\"T&lt;\" value=\"1200\"/>"},
  };
  writeFile("Loc-datas0.dat", kList3);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.mapping.empty()) {
      files.remove("census-dhis2.json");
    } else {
      writeFile("census-dhis2.json", c.mapping);
    }
    ASSERT_EQ(run(Dhis2Format::kDataValueSet, c.period), kExitSuccess) << errors.str();
    const std::string json = out.str();
    EXPECT_NE(json.find(c.json_holds), std::string::npos) << json;
    EXPECT_TRUE(json.starts_with(c.schemes)) << json;
    const auto document = nlohmann::json::parse(json);
    ASSERT_EQ(document["dataValues"].size(), 8u);  // two states saved, four figures each
    for (const auto& value : document["dataValues"]) EXPECT_TRUE(value["value"].is_string());
    ASSERT_EQ(run(Dhis2Format::kAdx, c.period), kExitSuccess) << errors.str();
    EXPECT_NE(out.str().find(c.adx_holds), std::string::npos) << out.str();
    EXPECT_TRUE(out.str().starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<adx "));
    EXPECT_TRUE(out.str().ends_with("  </group>\n</adx>\n"));
  }
}

// A mapping that is not sound is refused before any output, naming the key.
TEST_F(Dhis2, AMappingThatIsNotSoundNamesItsKey) {
  const std::string elements =
      R"("dataElements": {"total": {"dataElement": "T"}, "male": {"dataElement": "M"},
         "female": {"dataElement": "F"}, "youth": {"dataElement": "Y"}})";
  const struct {
    std::string mapping;
    std::string said;
  } cases[] = {
      {"{\"dataSet\": ", "census-dhis2.json: it is not valid JSON: parse error at line 1"},
      {"[]", "census-dhis2.json: it must be one JSON object"},
      {R"({"dataSet": "D", "orgUnits": {"NG-XX": "X", "NG-KE": "K"}, )" + elements + "}",
       R"("orgUnits"."NG-XX" names no state of census's lists)"},
      {R"({"dataSet": "D", "orgUnits": {"NG-KE": "K", "NG-ZA": "K"}, )" + elements + "}",
       R"("orgUnits"."NG-ZA" gives the code "K" that "orgUnits"."NG-KE" gives too)"},
      {R"({"dataSet": "D", "orgUnits": {"NG-KE": "K"}, )" + elements + "}",
       R"("orgUnits" has no "NG-ZA" for Zamfara, which Loc-datas0.dat holds)"},
      {R"({"dataSet": "D", "orgUnits": {"NG-KE": "K", "NG-ZA": "Z"},
          "dataElements": {"total": {"dataElement": "T"}, "male": {"dataElement": "T"},
          "female": {"dataElement": "F"}, "youth": {"dataElement": "Y"}}})",
       R"("dataElements"."male" gives a data element and combo that another figure gives too)"},
      {R"({"dataSet": "D", "orgUnits": {"NG-KE": "K", "NG-ZA": "Z"},
          "dataElements": {"total": {"dataElement": "T"}}})",
       R"("dataElements" has no "male")"},
      {R"({"dataSet": "", "orgUnits": {}, )" + elements + "}", R"("dataSet" must not be empty)"},
      {R"({"dataSet": "D", "period": "26", "orgUnits": {}, )" + elements + "}",
       R"("period" must be a year)"},
      {R"({"dataset": "D"})", R"("dataset" is no key of the mapping)"},
      {R"({"dataSet": "D", "idScheme": "NAME", "orgUnits": {}, )" + elements + "}",
       R"("idScheme" must be "CODE" or "UID")"},
      {R"({"dataSet": "D", "orgUnitIdScheme": 1, "orgUnits": {}, )" + elements + "}",
       R"("orgUnitIdScheme" must be "CODE" or "UID")"},
      {R"({"dataSet": "D", "idScheme": "UID", "orgUnits": {}, )" + elements + "}",
       R"("dataSet" is no UID (eleven letters and digits, the first a letter), which "idScheme" "UID" asks for)"},
      {R"({"dataSet": "D", "orgUnitIdScheme": "UID", "orgUnits": {"NG-KE": "1bcdefghijk"}, )" +
           elements + "}",
       R"("orgUnits"."NG-KE" is no UID (eleven letters and digits, the first a letter), which "orgUnitIdScheme" "UID" asks for)"},
      {R"({"dataSet": "D", "orgUnits": {"NG-KE": "K\uffff"}, )" + elements + "}",
       R"("orgUnits"."NG-KE" holds U+FFFE or U+FFFF, which XML cannot hold)"},
      {R"({"dataSet": "D", "orgUnits": {"NG-KE": "K\u0007"}, )" + elements + "}",
       R"("orgUnits"."NG-KE" holds a control character)"},
  };
  writeFile("Loc-datas0.dat", kList3);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mapping);
    writeFile("census-dhis2.json", c.mapping);
    for (const Dhis2Format format : {Dhis2Format::kDataValueSet, Dhis2Format::kAdx}) {
      EXPECT_EQ(run(format), kExitUsage);
      EXPECT_EQ(out.str(), "");
      EXPECT_NE(errors.str().find(c.said), std::string::npos) << errors.str();
    }
  }
}

// A list that cannot be read, or that holds a line that is no state of it
// or a state twice, is an error of the data: nothing is written.
TEST_F(Dhis2, ListsThatCannotBeTrustedAreRefused) {
  const struct {
    std::string list3;
    MemoryFileSystem::Oddity oddity;
    std::string said;
  } cases[] = {
      {"", MemoryFileSystem::Oddity::kDirectory, "census: cannot read Loc-datas0.dat: "},
      {"Kebi 1 1 0 0\nLagos 2 1 1 0\n", MemoryFileSystem::Oddity::kNone,
       "census: Loc-datas0.dat:2: 'Lagos' is no state of list 3"},
      {"Kebi 1 1 0 0\nKebi 2 1 1 0\n", MemoryFileSystem::Oddity::kNone,
       "census: Loc-datas0.dat:2: Kebi is saved twice"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    files.set("Loc-datas0.dat", c.list3, c.oddity);
    EXPECT_EQ(run(Dhis2Format::kAdx), kExitFailure);
    EXPECT_EQ(out.str(), "");
    EXPECT_TRUE(errors.str().starts_with(c.said)) << errors.str();
  }
}

// ADX with nothing saved would be an empty message, which is no ADX: it is
// refused, where the data value set is an empty set.
TEST_F(Dhis2, NothingSavedIsNoAdx) {
  EXPECT_EQ(run(Dhis2Format::kAdx), kExitFailure);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(errors.str(),
            "census: no figures are saved in the lists yet; an ADX message needs at least one, "
            "so nothing was written\n");
  EXPECT_EQ(run(Dhis2Format::kDataValueSet), kExitSuccess);
  EXPECT_EQ(nlohmann::json::parse(out.str())["dataValues"].size(), 0u);
}

// The mapping --init-mapping writes is the defaults, reads back as them,
// and is never written over.
TEST_F(Dhis2, TheMappingWrittenIsTheDefaultsAndIsKept) {
  EXPECT_EQ(runInitDhis2Mapping(files, "", out, errors), kExitSuccess);
  const std::string text = readFile("census-dhis2.json");
  Dhis2Mapping mapping;
  ASSERT_EQ(parseDhis2Mapping(text, &mapping), "");
  EXPECT_EQ(dhis2MappingText(mapping), text);
  EXPECT_EQ(dhis2MappingText(defaultDhis2Mapping()), text);
  EXPECT_EQ(mapping.org_units.size(), 36u);
  EXPECT_EQ(mapping.org_units["NG-KE"], "NG-KE");
  EXPECT_EQ(text.find("\"period\""), std::string::npos);  // the current year, each year
  EXPECT_NE(text.find("\n  \"idScheme\": \"CODE\",\n"), std::string::npos);  // codes, said
  writeFile("census-dhis2.json", "mine");
  EXPECT_EQ(runInitDhis2Mapping(files, "2020", out, errors), kExitUsage);
  EXPECT_EQ(readFile("census-dhis2.json"), "mine");
}

}  // namespace
}  // namespace census
