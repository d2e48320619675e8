#include "commands/check.h"

#include <cerrno>
#include <sstream>

#include "test_support.h"

namespace census {
namespace {

class Check : public InMemory {
 protected:
  // The findings for the files now in the working directory, one a line.
  std::string findings() {
    std::string text;
    summary = checkDataFiles(files, [&](const Finding& f) { text += formatFinding(f) + "\n"; });
    return text;
  }

  CheckSummary summary;
};

// Sound lines of list 3, with a line to put in place of one of them.
std::string listThreeWith(int replaced, const std::string& line) {
  const std::string sound[] = {"Kebi 1200 600 600 300", "Zamfara 800 390 410 200",
                               "Katsina 3000 1500 1500 900", "Jigawa 900 450 450 250"};
  std::string content;
  for (int i = 0; i < 4; ++i) content += (i == replaced ? line : sound[i]) + "\n";
  return content;
}

TEST_F(Check, EachBadPopulationLineGivesItsFinding) {
  struct Case {
    std::string line;  // in place of line 2 (Zamfara)
    std::string finding;
  };
  const std::string z = "Loc-datas0.dat:2";
  const Case cases[] = {
      {"Zamfara 1,200 600 580 20",
       z + ":9: error: '1,200' is not a whole number; the listing reads 1 and 0 for the figures "
           "after it [not-a-number]"},
      {"Zamfara 800 390 410 200abc",
       z + ":21: error: '200abc' is not a whole number; the listing reads 200 [not-a-number]"},
      {"Zamfara 800 390-410 200",
       z +
           ":13: error: '390-410' is not a whole number; the listing reads 390 and -410 "
           "[not-a-number]\n" +
           z + ":16: warning: negative female -410 [negative]"},
      {"Zamfara x 390 410 200",
       z + ":9: error: 'x' is not a whole number; the listing reads 0 for it and the figures "
           "after it [not-a-number]"},
      {"Zamfara 800 390 410 2147483648",
       z + ":21: error: '2147483648' lies outside the 32-bit range; the listing reads 0 for it "
           "[out-of-range]"},
      {"Zamfara 800 390",
       z + ": error: only 2 of 4 figures; the listing reads 0 for female and youth "
           "[missing-figures]"},
      {"Zamfarra 800 390 410 200",
       z + ":1: error: 'Zamfarra' is not a label of list 3; here belongs state 2 of list 3, "
           "'Zamfara'; the listing shows the row as it stands [wrong-state]\n"
           "Loc-datas0.dat: error: 1 of the 4 states of list 3 missing: Zamfara; no line bears "
           "their labels [missing-states]"},
      {"Kebi 800 390 410 200",
       z + ":1: error: 'Kebi' stands twice; here belongs state 2 of list 3, 'Zamfara'; the "
           "listing shows the row as it stands [wrong-state]\n"
           "Loc-datas0.dat: error: 1 of the 4 states of list 3 missing: Zamfara; no line bears "
           "their labels [missing-states]"},
      {"zamfara 800 390 410 200",
       z + ":1: error: 'zamfara' is not a label of list 3, though 'Zamfara' is: labels are told "
           "apart by their case; here belongs state 2 of list 3, 'Zamfara'; the listing shows "
           "the row as it stands [wrong-state]\n"
           "Loc-datas0.dat: error: 1 of the 4 states of list 3 missing: Zamfara (in other case, "
           "'zamfara' on line 2); no line bears their labels [missing-states]"},
      {"Zamfara -800 390 x 200",
       z +
           ":18: error: 'x' is not a whole number; the listing reads 0 for it and the figures "
           "after it [not-a-number]\n" +
           z + ":9: warning: negative total -800 [negative]"},
      {"Zamfara 800 390 400 200",
       z + ": warning: male 390 + female 400 = 790, not the total 800 [sex-sum]"},
      {"Zamfara 800 390 410 801",
       z + ": warning: youth 801 exceeds the total 800 [youth-over-total]"},
      {"Zamfara 0 -10 10 0", z + ":11: warning: negative male -10 [negative]"},
      {"Zamfara 800 390 410 200 (provisional)",
       z + ":25: warning: text after the youth figure, '(provisional)', which the listing "
           "ignores [trailing-text]"},
      {" \t", ""},  // below
  };
  for (const Case& c : cases) {
    writeFile("Loc-datas0.dat", listThreeWith(1, c.line));
    std::string expected = c.finding + "\n";
    if (c.line == " \t") {
      // Every record after the blank line moves up one place.
      expected = z +
                 ": warning: blank line, which the listing skips [blank-line]\n"
                 "Loc-datas0.dat:3:1: error: 'Katsina' is state 3 of list 3, out of place; here "
                 "belongs state 2 of list 3, 'Zamfara'; the listing shows the row as it stands "
                 "[wrong-state]\n"
                 "Loc-datas0.dat:4:1: error: 'Jigawa' is state 4 of list 3, out of place; here "
                 "belongs state 3 of list 3, 'Katsina'; the listing shows the row as it stands "
                 "[wrong-state]\n"
                 "Loc-datas0.dat: error: 1 of the 4 states of list 3 missing: Zamfara; no line "
                 "bears their labels [missing-states]\n";
    }
    EXPECT_EQ(findings(), expected) << c.line;
  }
}

TEST_F(Check, SoundFilesGiveNoFindings) {
  // CR LF ends, tabs, a last line without a newline, signs that read whole.
  writeFile("Loc-datas0.dat",
            "Kebi 1200 600 600 300\r\nZamfara\t800\t+390 410 200\r\nKatsina 0 0 0 0\r\n"
            "Jigawa 900 450 450 250");
  writeFile("cens-stat.dat",
            "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\r\n"
            "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 2147483647");
  EXPECT_EQ(findings(), "");
  EXPECT_EQ(summary.errors + summary.warnings, 0u);
  EXPECT_EQ(formatSummary(summary),
            "census check: 0 errors, 0 warnings; read: Loc-datas0.dat, cens-stat.dat; "
            "not saved yet: datas.dat, Loc-datas.dat, Recs-Loc.dat");
}

TEST_F(Check, ListFilesOfTheWrongLengthAreErrors) {
  writeFile("Loc-datas0.dat", listThreeWith(-1, "") + "Kano 1 1 0 0\n");
  writeFile("Loc-datas.dat", "Abia 2 1 1 0\n");
  const std::string found = findings();
  EXPECT_NE(found.find("Loc-datas.dat: error: 15 of the 16 states of list 2 missing: Niger, "
                       "Ogun, Bauchi, Benue, Anambra, Yobe, Enungu, Ebonyi, Bayelsa, Akwa-Ibom, "
                       "Rivers, Taraba, Adamawa, Borno and Gombe; no line bears their labels "
                       "[missing-states]\n"),
            std::string::npos)
      << found;
  EXPECT_NE(found.find("Loc-datas0.dat:5: error: a line beyond the last state of list 3, "
                       "'Jigawa'; the listing shows it as an extra row [extra-lines]\n"),
            std::string::npos)
      << found;
}

TEST_F(Check, GridLinesAreJudgedColumnByColumn) {
  writeFile("cens-stat.dat",
            "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n"
            "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n"
            "\n"
            "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17\n"
            "1 2 3x 4 5 6 7 8 9 10 11 12 13 14 15 16\n"
            "-1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n"
            "1 2\n");
  EXPECT_EQ(findings(),
            "cens-stat.dat:2: error: only 15 of 16 values; the listing reads 0 for column 16 "
            "(Cross-River) [short-row]\n"
            "cens-stat.dat:3: warning: blank line, which the listing shows as a row of zeros "
            "[blank-line]\n"
            "cens-stat.dat:4:40: warning: text after the sixteenth value, '17', which the "
            "listing ignores [trailing-text]\n"
            "cens-stat.dat:5:5: error: '3x' is not a whole number; the listing reads 3 and 0 "
            "for the values after it [not-a-number]\n"
            "cens-stat.dat:6:1: warning: negative column 1 (Oyo) -1 [negative]\n"
            "cens-stat.dat:7: error: only 2 of 16 values; the listing reads 0 for columns 3 to "
            "16 [short-row]\n");
}

TEST_F(Check, FacilityRecordHasSixCaptionedLines) {
  const std::string first =
      "----> The State Where You Are Using This Product(Application-Program) Is Being Used :: ";
  writeFile("Recs-Loc.dat", first + "Lagos\nClinic\n");
  EXPECT_EQ(findings(),
            "Recs-Loc.dat:2:1: error: the line does not begin with the caption of answer 2, "
            "'----> One Family Healthcare Planning Facility In This Region(State) ::' "
            "[facility-record]\n"
            "Recs-Loc.dat: error: only 2 of the 6 lines of the record [facility-record]\n");
}

TEST_F(Check, AFileThatCannotBeReadIsAnErrorAndNothingIsWritten) {
  files.set("datas.dat", "", MemoryFileSystem::Oddity::kDirectory);
  std::ostringstream out;
  std::ostringstream errors;
  EXPECT_EQ(runCheck(files, out, errors), kExitFailure);
  EXPECT_EQ(out.str(),
            "datas.dat: error: cannot be read: " + errorText(EISDIR) +
                " [unreadable]\n"
                "census check: 1 error (unreadable 1), 0 warnings; unreadable: datas.dat; not "
                "saved yet: Loc-datas.dat, Loc-datas0.dat, cens-stat.dat, Recs-Loc.dat\n");
  EXPECT_EQ(errors.str(), "census: cannot read datas.dat: " + errorText(EISDIR) + "\n");
  EXPECT_EQ(files.saves(), 0u);
}

TEST_F(Check, AFileThatFailsPartWayIsJudgedAsFarAsItWasRead) {
  files.set("Loc-datas0.dat", listThreeWith(1, "Zamfara 1 1 1 1"),
            MemoryFileSystem::Oddity::kFailsMidway);
  EXPECT_EQ(findings(),
            "Loc-datas0.dat:2: warning: male 1 + female 1 = 2, not the total 1 [sex-sum]\n"
            "Loc-datas0.dat: error: cannot be read to its end: " +
                errorText(EIO) + " [unreadable]\n");
}

TEST_F(Check, WarningsAloneDoNotFail) {
  writeFile("Loc-datas0.dat", listThreeWith(0, "Kebi 1 1 1 1"));
  std::ostringstream out;
  std::ostringstream errors;
  EXPECT_EQ(runCheck(files, out, errors), kExitSuccess);
  EXPECT_TRUE(
      out.str().ends_with("census check: 0 errors, 1 warning (sex-sum 1); read: "
                          "Loc-datas0.dat; not saved yet: datas.dat, Loc-datas.dat, "
                          "cens-stat.dat, Recs-Loc.dat\n"))
      << out.str();
}

}  // namespace
}  // namespace census

namespace census {
namespace {

TEST_F(Check, SaysWhatNotepadAndOtherKeyboardsLeaveInAFile) {
  writeFile("Loc-datas0.dat", "\xEF\xBB\xBF" + listThreeWith(-1, ""));
  const std::string caption =
      "----> The State Where You Are Using This Product(Application-Program) Is Being Used ::";
  writeFile("Recs-Loc.dat", caption + "\n" +
                                "----> One Family Healthcare Planning Facility In This "
                                "Region(State) :: H\xF4pital\n");
  const std::string found = findings();
  for (const std::string expected : {
           "Loc-datas0.dat:1:1: warning: a byte order mark (as Notepad writes) begins the file; "
           "the listing reads it as part of '\\uFEFFKebi' [byte-order-mark]\n",
           "Loc-datas0.dat:1:1: error: '\\uFEFFKebi' is not a label of list 3; here belongs "
           "state 1 of list 3, 'Kebi'",
           "Recs-Loc.dat:1: error: answer 1 is empty: the line has its caption and nothing after "
           "it [facility-record]\n",
           "Recs-Loc.dat:2:73: warning: byte 0xF4 is not UTF-8; exports and reports read it as "
           "Windows-1252: 'H\xC3\xB4pital' [not-utf-8]\n",
       }) {
    EXPECT_NE(found.find(expected), std::string::npos) << expected << "\nin:\n" << found;
  }
}

}  // namespace
}  // namespace census
