#include "commands/report.h"

#include <regex>
#include <sstream>

#include "base/text.h"
#include "commands/svg.h"
#include "test_support.h"

namespace census {
namespace {

class Report : public InMemory {
 protected:
  std::string page() {
    std::ostringstream out;
    writeReport(files, {"/work/figures", "2026-12-10T09:30:00+01:00"}, out);
    return out.str();
  }
};

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ReportText, NumbersAndMarkup) {
  const std::pair<std::int64_t, std::string_view> numbers[] = {
      {0, "0"},
      {999, "999"},
      {1000, "1,000"},
      {-1234567, "-1,234,567"},
      {3206531, "3,206,531"},
      {-9223372036854775807 - 1, "-9,223,372,036,854,775,808"}};
  for (const auto& [number, text] : numbers) EXPECT_EQ(withThousands(number), text) << number;
  EXPECT_EQ(escapeMarkup("<b>&\"x'</b>"), "&lt;b&gt;&amp;&quot;x&#39;&lt;/b&gt;");
}

TEST_F(Report, AnEmptyFolderGivesAPageThatSaysSo) {
  const std::string text = page();
  EXPECT_TRUE(text.starts_with("<!DOCTYPE html>\n<html lang=\"en\">")) << text;
  EXPECT_TRUE(contains(text,
                       "<code><bdi>/work/figures</bdi></code>, made <time "
                       "datetime=\"2026-12-10T09:30:00+01:00\">"));
  EXPECT_TRUE(contains(text,
                       "<code>datas.dat</code> (list 1): <span class=\"missing\">not saved "
                       "yet</span>"));
  EXPECT_TRUE(contains(text, "35 states and the Federal Capital Territory; Imo is on none"));
  EXPECT_TRUE(contains(text, "No problems found."));
  EXPECT_FALSE(contains(text, "<section id=\"list-"));
  EXPECT_FALSE(contains(text, "<section id=\"grid\""));
  EXPECT_FALSE(contains(text, "<svg"));
}

TEST_F(Report, HoldsEveryFigureAndMarksTheRowsThatHaveProblems) {
  writeFile("Loc-datas0.dat",
            "Kebi 1200000 600000 600000 300000\nZamfara 800 390 400 200\nKatsina <x> 1 1 1\n"
            "Jigawa 900 450 450 250\n");
  writeFile("cens-stat.dat", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n");
  const std::string text = page();
  for (const char* figure : {"1,200,000", "600,000", "300,000", "800", "390", "400", "50.0&nbsp;%",
                             "25.0&nbsp;%", "Kebbi", "&lt;x&gt;", "1,201,700"}) {
    EXPECT_TRUE(contains(text, figure)) << figure;
  }
  // Each marked row links to a finding of the same line.
  const std::regex flag("<td><bdi>Zamfara</bdi> <a class=\"flag\" href=\"#(finding-[^\"]+)\"");
  std::smatch match;
  ASSERT_TRUE(std::regex_search(text, match, flag)) << text;
  EXPECT_TRUE(contains(text, "<li id=\"" + match[1].str() +
                                 "\" class=\"warning\"><code><bdi>Loc-datas0.dat:2: warning: male "
                                 "390 + female 400 = 790, not the total 800 "
                                 "[sex-sum]</bdi></code></li>"));
  EXPECT_TRUE(contains(text,
                       "Loc-datas0.dat:3:9: error: &#39;&lt;x&gt;&#39; is not a whole "
                       "number"));
  // Charts with their accessible names; nothing that reaches outside the page.
  EXPECT_TRUE(contains(text, "<svg class=\"chart\" role=\"img\""));
  EXPECT_TRUE(contains(text, "<title>Population of the states of list 3</title>"));
  EXPECT_TRUE(contains(text, "<title>The first row of the census grid</title>"));
  EXPECT_FALSE(contains(text, "<script"));
  EXPECT_FALSE(contains(text, "<link"));
  EXPECT_FALSE(std::regex_search(text, std::regex("(src|href)=\"(https?:|//)")));
}

TEST_F(Report, ShowsTheFirstRecordsOfAnOverlongListAndSumsThemAll) {
  std::string list;
  for (int i = 0; i < 5000; ++i) list += "Kebi 2 1 1 0\n";
  writeFile("Loc-datas0.dat", list);
  const std::string text = page();
  EXPECT_LT(text.size(), 200u * 1024) << text.size();
  EXPECT_TRUE(contains(text, "The first 100 records are shown; 4,900 more are not"));
  EXPECT_TRUE(contains(text, "<td colspan=\"3\">Sum</td><td class=\"num\">10,000</td>"));
}

TEST_F(Report, StaysSmallForAHugeGrid) {
  std::string grid;
  for (int i = 0; i < 200000; ++i)
    grid += "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 " + std::to_string(i) + "\n";
  writeFile("cens-stat.dat", grid);
  const std::string text = page();
  EXPECT_LT(text.size(), 100u * 1024) << text.size();
  EXPECT_TRUE(contains(text, "200,000 rows"));
  EXPECT_TRUE(contains(text, "The first 20 rows are shown; 199,980 more are not."));
  EXPECT_TRUE(contains(text, "<td class=\"num\">19,999,900,000</td>"));  // the sum of column 16
}

}  // namespace
}  // namespace census
