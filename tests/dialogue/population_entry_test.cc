#include "dialogue/population_entry.h"

#include <cerrno>
#include <sstream>

#include "records/text_file.h"
#include "test_support.h"

namespace census {
namespace {

class PopulationEntry : public InMemory {
 protected:
  // Runs entry option 2, 4 or 6 on this input; returns what it wrote.
  std::string enter(int option_code, const std::string& input) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream errors;
    Console console(in, out, errors);
    enterPopulation(files, stateList(option_code / 2), console, table);
    console.flush();
    errors_said = errors.str();
    return out.str();
  }

  FigureTable table{};
  std::string errors_said;  // what the last entry wrote on its error stream
};

// count answers 1, 2, 3, ... separated by sep.
std::string numbers(int count, const std::string& sep) {
  std::string text;
  for (int n = 1; n <= count; ++n) text += std::to_string(n) + sep;
  return text;
}

const std::string kSeparatorLine = std::string(124, '*') + " \n";

TEST_F(PopulationEntry, ListThreeWritesNineteenExactLines) {
  const std::string output = enter(6, "10 1 2 3\n20 4 5 6\n-30 7 8 9\n40 10 11 12\n");
  EXPECT_EQ(output,
            "  <---- Enter The Total Population For Kebi State <---- \n"
            "  <---- Enter The Male Population For Kebi State <---- \n"
            "  <---- Enter The Female Population For Kebi State <---- \n"
            "  <---- Enter The Youth Population For Kebi State <---- \n"
            "  <---- Enter The Total Population For Zamfara State <---- \n"
            "  <---- Enter The Male Population For Zamfara State <---- \n"
            "  <---- Enter The Female Population For Zamfara State <---- \n"
            "  <---- Enter The Youth Population For Zamfara State <---- \n"
            "  <---- Enter The Total Population For Katsina State <---- \n"
            "  <---- Enter The Male Population For katsina State <---- \n"
            "  <---- Enter The Female Population For Katsina State <---- \n"
            "  <---- Enter The Youth Population For Katsina State <---- \n"
            "  <---- Enter The Total Population For Jigawa State <---- \n"
            "  <---- Enter The Male Population For Jigawa State <---- \n"
            "  <---- Enter The Female Population For Jigawa State <---- \n"
            "  <---- Enter The Youth Population For Jigawa State <---- \n" +
                kSeparatorLine +
                "  <---- Kebi State Total Population Is :: 10,  <---- Zamfara State Total "
                "Population Is :: 20\n"
                "  <---- Katsina State Total Population Is :: -30,  <---- Jigawa State Total "
                "Population Is :: 40\n");
  EXPECT_EQ(readFile("Loc-datas0.dat"),
            "Kebi 10 1 2 3\nZamfara 20 4 5 6\nKatsina -30 7 8 9\nJigawa 40 10 11 12\n");
}

TEST_F(PopulationEntry, ListOneShowsHeadlineSummaryAndSavesEveryFigureInItsLine) {
  const std::string output = enter(2, numbers(64, "\n"));
  std::vector<std::string> lines;
  std::istringstream split(output);
  for (std::string line; std::getline(split, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 74u);
  EXPECT_EQ(lines[0], "  <---- Option 2 Selected Now <---- ");
  EXPECT_EQ(lines[21], "  <---- Enter The Total Population For Abuja[FCT] <---- ");
  EXPECT_EQ(lines[65] + "\n", kSeparatorLine);
  EXPECT_EQ(lines[68],
            "  <---- Osun State Total Population Is :: 17,  <---- Abuja[FCT] State Total "
            "Population Is :: 21");
  EXPECT_EQ(lines[73],
            "  <---- Nassarawa State Total Population Is :: 57,  <---- Cross River State Total "
            "Population Is :: 61");
  EXPECT_EQ(readFile("datas.dat"),
            "Oyo 1 2 3 4\nLagos 5 6 7 8\nKwara 9 10 11 12\nDelta 13 14 15 16\n"
            "Osun 17 18 19 20\nAbuja 21 22 23 24\nKaduna 25 26 27 28\nEdo 29 30 31 32\n"
            "Jos 33 34 35 36\nKano 37 38 39 40\nOndo 41 42 43 44\nSokoto 45 46 47 48\n"
            "Ekiti 49 50 51 52\nKogi 53 54 55 56\nNassarawa 57 58 59 60\n"
            "Cross-River 61 62 63 64\n");
}

TEST_F(PopulationEntry, AnswersTypedAheadOnOneLineGiveTheSameRun) {
  const std::string one_per_line = enter(4, numbers(64, "\n"));
  const std::string saved = readFile("Loc-datas.dat");
  std::remove("Loc-datas.dat");
  EXPECT_EQ(enter(4, numbers(64, " ")), one_per_line);
  EXPECT_EQ(readFile("Loc-datas.dat"), saved);
  EXPECT_TRUE(one_per_line.starts_with("  <---- Option 4 Selected Now <---- \n"));
}

TEST_F(PopulationEntry, BadAnswersAreAskedAgain) {
  const std::string total_prompt = "  <---- Enter The Total Population For Kebi State <---- \n";
  const std::string output = enter(6, "many 2147483648 1.5 5 " + numbers(15, " "));
  EXPECT_TRUE(output.starts_with(total_prompt + total_prompt + total_prompt + total_prompt +
                                 "  <---- Enter The Male Population For Kebi State <---- \n"))
      << output;
  EXPECT_TRUE(readFile("Loc-datas0.dat").starts_with("Kebi 5 1 2 3\n"));
}

TEST_F(PopulationEntry, EndOfInputAbandonsTheEntryAndKeepsTheFile) {
  writeFile("datas.dat", "Oyo 9 9 9 9\n");
  const std::string output = enter(2, numbers(63, " "));
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 65);  // headline and 64 prompts
  EXPECT_EQ(output.find('*'), std::string::npos);
  EXPECT_EQ(readFile("datas.dat"), "Oyo 9 9 9 9\n");
  enter(6, "1 2");
  EXPECT_FALSE(fileExists("Loc-datas0.dat"));
}

TEST_F(PopulationEntry, EachListTouchesOnlyItsOwnFile) {
  enter(2, numbers(64, " "));
  const std::string list_one = readFile("datas.dat");
  enter(6, std::string(16 * 2, ' ') + "7 7 7 7 7 7 7 7 7 7 7 7 7 7 7 7");
  EXPECT_EQ(readFile("datas.dat"), list_one);
  EXPECT_FALSE(fileExists("Loc-datas.dat"));
  enter(2, std::string("-1 ") + numbers(63, " "));
  EXPECT_TRUE(readFile("datas.dat").starts_with("Oyo -1 1 2 3\n"));
}

TEST_F(PopulationEntry, AFailedSaveSaysSoAndKeepsWhatStoodThere) {
  files.set("Loc-datas0.dat", "", MemoryFileSystem::Oddity::kDirectory);
  const std::string output = enter(6, numbers(16, " "));
  EXPECT_TRUE(output.ends_with("Population Is :: 13\nUnable to open file\n")) << output;
  EXPECT_EQ(errors_said, "census: cannot save Loc-datas0.dat: " + errorText(EISDIR) + "\n");
  EXPECT_EQ(files.saves(), 0u);
}

TEST(PopulationEntryTexts, PromptTextsHonourTheirExceptions) {
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
    const StateEntry& state = stateList(c.option / 2).states[c.position - 1];
    EXPECT_EQ(promptText(state, c.figure), c.expected);
  }
}

TEST(PopulationEntryTexts, SummaryTextsAlwaysSayState) {
  EXPECT_EQ(summaryText(stateList(1).states[5]), "<---- Abuja[FCT] State Total Population Is :: ");
  EXPECT_EQ(summaryText(stateList(2).states[5]), "<---- Anambra State Total Population Is :: ");
  EXPECT_EQ(summaryText(stateList(2).states[10]), "<---- Akwa Ibom State Total Population Is :: ");
}

}  // namespace
}  // namespace census
