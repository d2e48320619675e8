#include "records/population_file.h"

#include <vector>

#include "test_support.h"

namespace census {
namespace {

using PopulationFile = InMemory;

class Records final : public PopulationSink {
 public:
  void onRecord(std::size_t, const PopulationLine& line) override {
    records.push_back({std::string(line.label.word), line.figures});
  }
  std::vector<PopulationRecord> records;
};

std::vector<PopulationRecord> readAll(FileSystem& files, int list) {
  Records sink;
  readPopulationFile(files, stateList(list), sink);
  return sink.records;
}

FigureTable numberedTable() {
  FigureTable table{};
  std::int32_t next = 1;
  for (PopulationFigures& row : table) {
    for (std::int32_t& figure : row) figure = next++;
  }
  return table;
}

TEST_F(PopulationFile, WritesOneLinePerStateWithItsOwnFigures) {
  FigureTable table = numberedTable();
  table[15] = {-5, 0, 2147483647, -2147483647 - 1};
  SaveFailure failure;
  ASSERT_TRUE(writePopulationFile(files, stateList(1), table, &failure));
  const std::string content = readFile("datas.dat");
  EXPECT_TRUE(content.starts_with("Oyo 1 2 3 4\nLagos 5 6 7 8\n")) << content;
  EXPECT_NE(content.find("\nAbuja 21 22 23 24\n"), std::string::npos);
  EXPECT_TRUE(content.ends_with("\nCross-River -5 0 2147483647 -2147483648\n")) << content;

  const std::vector<PopulationRecord> records = readAll(files, 1);
  ASSERT_EQ(records.size(), 16u);
  EXPECT_EQ(records[5].label, "Abuja");
  EXPECT_EQ(records[15].label, "Cross-River");
  for (std::size_t row = 0; row < 16; ++row) EXPECT_EQ(records[row].figures, table[row]) << row;
}

TEST_F(PopulationFile, ReplacesALongerFileWhole) {
  writeFile("Loc-datas0.dat", std::string(5000, 'x') + "\nmore\nlines\nhere\nstill\n");
  SaveFailure failure;
  ASSERT_TRUE(writePopulationFile(files, stateList(3), numberedTable(), &failure));
  EXPECT_EQ(readFile("Loc-datas0.dat"),
            "Kebi 1 2 3 4\nZamfara 5 6 7 8\nKatsina 9 10 11 12\nJigawa 13 14 15 16\n");
}

TEST_F(PopulationFile, ListTwoLabelsAreHyphenated) {
  SaveFailure failure;
  ASSERT_TRUE(writePopulationFile(files, stateList(2), numberedTable(), &failure));
  const std::vector<PopulationRecord> records = readAll(files, 2);
  ASSERT_EQ(records.size(), 16u);
  EXPECT_EQ(records[10].label, "Akwa-Ibom");
  EXPECT_EQ(records[10].figures, (PopulationFigures{41, 42, 43, 44}));
}

TEST_F(PopulationFile, ReadsWhateverTheFileHolds) {
  // Another list's labels, three lines, CRLF ends and no final newline.
  writeFile("datas.dat", "Kebi 1 2 3 4\r\nAbia -1 -2 -3 -4\r\n\r\n  \t \nJigawa 7 8 9 10");
  const std::vector<PopulationRecord> records = readAll(files, 1);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].label, "Kebi");
  EXPECT_EQ(records[1].figures, (PopulationFigures{-1, -2, -3, -4}));
  EXPECT_EQ(records[2].label, "Jigawa");
  EXPECT_EQ(records[2].figures, (PopulationFigures{7, 8, 9, 10}));
  EXPECT_TRUE(readAll(files, 3).empty());
}

TEST(PopulationLine, ZeroesFiguresFromTheFirstBadOneOn) {
  struct Case {
    std::string_view line;
    std::string_view label;
    PopulationFigures figures;
  };
  const Case cases[] = {
      {"Oyo 120 60 55 30", "Oyo", {120, 60, 55, 30}},
      {"  Oyo\t120  60 55 30 extra words 99", "Oyo", {120, 60, 55, 30}},
      {"Oyo", "Oyo", {0, 0, 0, 0}},
      {"Oyo 12abc 5 6 7", "Oyo", {12, 0, 0, 0}},
      {"Oyo 1 x 3 4", "Oyo", {1, 0, 0, 0}},
      {"Oyo 1 2 2147483648 4", "Oyo", {1, 2, 0, 0}},
      {"Oyo +7 -8 - 9", "Oyo", {7, -8, 0, 0}},
      {"Lagos 2147483647 -2147483648 0 -0", "Lagos", {2147483647, -2147483647 - 1, 0, 0}},
      {"123 4 5 6 7", "123", {4, 5, 6, 7}},
  };
  for (const Case& c : cases) {
    const std::optional<PopulationRecord> record = parsePopulationLine(c.line);
    ASSERT_TRUE(record) << c.line;
    EXPECT_EQ(record->label, c.label) << c.line;
    EXPECT_EQ(record->figures, c.figures) << c.line;
  }
  for (std::string_view blank : {"", " ", "\t \v"}) EXPECT_FALSE(parsePopulationLine(blank));
}

}  // namespace
}  // namespace census
