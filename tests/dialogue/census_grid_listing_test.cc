#include "dialogue/census_grid_listing.h"

#include <sstream>

#include "dialogue/credits.h"
#include "records/census_grid_file.h"
#include "test_support.h"

namespace census {
namespace {

class CensusGrid : public InMemory {
 protected:
  std::string list() {
    std::istringstream in("unread");
    std::ostringstream out;
    std::ostringstream errors;
    Console console(in, out, errors);
    listCensusGrid(files, console);
    console.flush();
    std::string rest;
    in >> rest;
    EXPECT_EQ(rest, "unread");
    return out.str();
  }
};

const std::string kHeader =
    " Oyo    Lagos  Kwara  Delta  Osun   Abuja  Kaduna  Edo   Jos   Kano    Ondo   Sokoto   "
    "Ekiti   Kogi   Nassarawa   C-River  \n\n";

std::string trailer() {
  return " Row '0' Represents The Names Of The States , Row '1' Is Meant To List The Population Of "
         "Males In Each State. \n"
         " Row '2' Lists The Females Population For Each States , Row '3' Is Meant To List The "
         "Population Of Underages In Each State. \n"
         " Row '4' Lists The Youths Population For Each States , Row '5' Is Meant To List The "
         "Population Of Out Of State Indigenes. \n"
         " Unlisted Rows Include Death Reports With Related Statisitc, Casualty(s) Datas(Values) "
         "And Unimportant Road Accidents. \n"
         "  !!!\n \n"
         " <----  This Prompt(Option) Enables Yout To Enter The Number Of Subjects(Courses) "
         "Offered In Your School ::  ----> \n"
         " <----  And Those Available In Other Schools In Your Community(Environment) For "
         "Development And Rural Development(s). ::  ----> \n \n" +
         std::string(124, '*') + " !!!\n" + std::string(kGridCredit) + std::string(kSignOnCredit3) +
         std::string(kSignOnCredit4) + "  !!!\n";
}

const std::string kOneToSixteen =
    " 1-- 2-- 3-- 4-- 5-- 6-- 7-- 8-- 9-- 10-- 11-- 12--   13--  14--   15--    16....\n";

TEST_F(CensusGrid, MissingOrEmptyFileListsOnlyTheFixedText) {
  EXPECT_EQ(list(), kHeader + trailer());
  writeFile("cens-stat.dat", "");
  EXPECT_EQ(list(), kHeader + trailer());
  EXPECT_EQ(kHeader.size(), 125u);
}

TEST_F(CensusGrid, ListsOneRowPerLineInFileOrder) {
  writeFile("cens-stat.dat",
            "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\r\n"
            "\t-5 0 0 0 0 0 0 0 0 0 0 0 0 0 0 -2147483648 99 100\n"
            "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16");
  EXPECT_EQ(list(), kHeader + kOneToSixteen +
                        " -5-- 0-- 0-- 0-- 0-- 0-- 0-- 0-- 0-- 0-- 0-- 0--   0--  0--   0--    "
                        "-2147483648....\n" +
                        kOneToSixteen + trailer());
  EXPECT_EQ(kOneToSixteen.size(), 82u);
}

TEST_F(CensusGrid, ColumnsFromTheFirstBadValueOnShowZero) {
  struct Case {
    std::string_view line;
    CensusGridRow row;
  };
  const Case cases[] = {
      {"", {}},
      {"Oyo Lagos Kwara", {}},
      {"7 8 9", {7, 8, 9}},
      {"1 2 3x 4 5", {1, 2, 3}},
      {"1 2147483648 3", {1}},
      {"+1 -2 - 3", {1, -2}},
      {"1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
  };
  for (const Case& c : cases) EXPECT_EQ(readCensusGridLine(c.line).row, c.row) << c.line;

  // An earlier line's values never show up in a later row.
  writeFile("cens-stat.dat", "9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 9\nwords\n");
  const std::string output = list();
  EXPECT_NE(output.find("\n 0-- 0-- 0-- 0-- 0-- 0-- 0-- 0-- 0-- 0-- 0-- 0--   0--  0--   0--"
                        "    0....\n"),
            std::string::npos);
}

}  // namespace
}  // namespace census
