#include "commands/history.h"

#include <sstream>

#include "base/sha256.h"
#include "commands/check.h"
#include "commands/import.h"
#include "dialogue/pass_loop.h"
#include "test_support.h"
#include "web/server.h"
#include "web/site.h"

namespace census {
namespace {

const std::string kList3 = "Kebi 1 1 0 0\nZamfara 2 1 1 0\nKatsina 3 2 1 0\nJigawa 4 2 2 0\n";
const std::string kCsv =
    "list,label,total,male,female,youth\n3,Kebi,10,5,5,0\n3,Zamfara,2,1,1,0\n"
    "3,Katsina,3,2,1,0\n3,Jigawa,4,2,2,0\n";

class HistoryTest : public InMemory {
 protected:
  RecordingFileSystem recorder(SaveWay way) {
    return RecordingFileSystem(files, way, "ada", [] { return std::time_t{1796895000}; });
  }
  void startHere() {
    std::string reason;
    ASSERT_TRUE(startHistory(files, &reason)) << reason;
  }
  void dialogue(const std::string& input, RecordingFileSystem&& recording) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream errors;
    runCensus(in, out, errors, platform, recording);
  }
  std::string historyText() {
    std::ostringstream out;
    std::ostringstream errors;
    EXPECT_EQ(runHistory(files, "", false, false, out, errors), kExitSuccess) << errors.str();
    return out.str();
  }
  int restore(const std::string& number, std::string* said = nullptr) {
    RecordingFileSystem recording = recorder(SaveWay::kRestore);
    std::ostringstream out;
    std::ostringstream errors;
    const int status = runRestore(recording, number, {}, false, out, errors);
    if (said != nullptr) *said = out.str() + errors.str();
    return status;
  }
};

// Each way of saving leaves one entry: its number, time, way, user, and for
// each file the SHA-256 of what it held before and after.
TEST_F(HistoryTest, EveryWayOfSavingLeavesItsEntry) {
  startHere();
  dialogue("1\n6\n1 1 0 0\n2 1 1 0\n3 2 1 0\n4 2 2 0\n-1\n", recorder(SaveWay::kDialogue));
  dialogue("1\n10\nKano Clinic Hospital Park Office 10/12/2026\n-1\n",
           recorder(SaveWay::kDialogue));
  {
    RecordingFileSystem recording = recorder(SaveWay::kImport);
    std::ostringstream out;
    std::ostringstream errors;
    ASSERT_EQ(importCsv(recording, kCsv, "figures.csv", false, out, errors), kExitSuccess);
  }
  {
    RecordingFileSystem recording = recorder(SaveWay::kServe);
    Site site(recording, {8642, std::string(32, 'a'), "census-8642", std::string(32, 'c')});
    std::string body = "version=" + sha256Hex(readFile("Loc-datas0.dat"));
    for (int p = 1; p <= 4; ++p) {
      for (const char* f : {"total", "male", "female", "youth"}) {
        body += "&s" + std::to_string(p) + "-" + f + "=" + (std::string(f) == "total" ? "2" : "1");
      }
    }
    const std::string answer = exchangeOnce(
        site, "POST /lists/3 HTTP/1.1\r\nHost: 127.0.0.1:8642\r\nCookie: census-8642=" +
                  std::string(32, 'c') + "\r\nSec-Fetch-Site: same-origin\r\nContent-Length: " +
                  std::to_string(body.size()) + "\r\n\r\n" + body);
    ASSERT_EQ(answer.substr(9, 3), "303") << answer;
  }
  ASSERT_EQ(restore("4"), kExitSuccess);

  const History history = readHistory(files);
  ASSERT_EQ(history.entries.size(), 5u);
  const struct {
    std::string way;
    std::string file;
    bool made;
  } expected[] = {{"dialogue", "Loc-datas0.dat", true},
                  {"dialogue", "Recs-Loc.dat", true},
                  {"import", "Loc-datas0.dat", false},
                  {"serve", "Loc-datas0.dat", false},
                  {"restore", "Loc-datas0.dat", false}};
  for (std::size_t i = 0; i < 5; ++i) {
    const HistoryEntry& entry = history.entries[i];
    EXPECT_EQ(entry.number, i + 1);
    EXPECT_EQ(entry.way, expected[i].way) << i;
    EXPECT_EQ(entry.user, "ada");
    EXPECT_EQ(entry.time, "2026-12-10T09:30:00Z");
    ASSERT_EQ(entry.files.size(), 1u);
    EXPECT_EQ(entry.files[0].name, expected[i].file);
    EXPECT_EQ(entry.files[0].before == "-", expected[i].made) << i;
    EXPECT_TRUE(readKeptContent(files, entry.files[0].after).has_value()) << i;
  }
  EXPECT_EQ(history.entries[4].files[0].after, history.entries[3].files[0].before);
  EXPECT_EQ(sha256Hex(readFile("Loc-datas0.dat")), history.entries[4].files[0].after);
  EXPECT_NE(historyText().find("3  2026-12-10T09:30:00Z  import  ada  Loc-datas0.dat: 1 state "
                               "changed: Kebbi total 1 \u2192 10, Kebbi male 1 \u2192 5, Kebbi "
                               "female 0 \u2192 5\n"),
            std::string::npos)
      << historyText();
}

TEST_F(HistoryTest, AFolderWithoutAHistoryStaysWithoutOneAfterDialogueSaves) {
  dialogue("1\n6\n1 1 0 0\n2 1 1 0\n3 2 1 0\n4 2 2 0\n1\n10\nA B C D E F\n-1\n",
           recorder(SaveWay::kDialogue));
  EXPECT_EQ(readFile("Loc-datas0.dat"), kList3);
  EXPECT_FALSE(files.folderExists("census-history"));
  EXPECT_FALSE(fileExists("census-history/log"));
  EXPECT_NE(historyText().find("no history is kept in this folder"), std::string::npos);
  // An import starts one.
  RecordingFileSystem recording = recorder(SaveWay::kImport);
  std::ostringstream out;
  std::ostringstream errors;
  ASSERT_EQ(importCsv(recording, kCsv, "figures.csv", false, out, errors), kExitSuccess);
  EXPECT_EQ(readHistory(files).entries.size(), 1u);
}

// Saves, then each restored in turn, newest first: the files come back as
// they were before each, byte for byte, and a file that a save made is
// taken away again. Restoring a restore gives its files back.
TEST_F(HistoryTest, RestoringEachSaveInTurnGivesBackEveryFormerState) {
  startHere();
  std::vector<std::pair<std::string, std::string>> states;  // list 3 and facility, before each
  const std::string lists[] = {kList3, "Kebi 5 5 0 0\n", "Kebi 6 3 3 1\nZamfara 9 9 0 0\n"};
  for (const std::string& list : lists) {
    states.emplace_back(readFile("Loc-datas0.dat"), readFile("Recs-Loc.dat"));
    RecordingFileSystem recording = recorder(SaveWay::kDialogue);
    const FileReplacement saves[] = {{.name = "Loc-datas0.dat", .content = list},
                                     {.name = "Recs-Loc.dat", .content = list.substr(0, 5)}};
    SaveFailure failure;
    ASSERT_TRUE(recording.replaceFiles(saves, &failure)) << failure.reason;
  }
  for (std::size_t n = states.size(); n >= 1; --n) {
    ASSERT_EQ(restore(std::to_string(n)), kExitSuccess) << n;
    EXPECT_EQ(readFile("Loc-datas0.dat"), states[n - 1].first) << n;
    EXPECT_EQ(readFile("Recs-Loc.dat"), states[n - 1].second) << n;
  }
  EXPECT_FALSE(fileExists("Loc-datas0.dat"));
  const std::size_t last = readHistory(files).entries.back().number;
  ASSERT_EQ(restore(std::to_string(last)), kExitSuccess);
  EXPECT_EQ(readFile("Loc-datas0.dat"), lists[0]);
}

TEST_F(HistoryTest, ARestoreOfNoSuchSaveNamesTheRangeAndChangesNothing) {
  std::string said;
  EXPECT_EQ(restore("1", &said), kExitUsage);
  EXPECT_NE(said.find("no history is kept in this folder"), std::string::npos);
  startHere();
  RecordingFileSystem recording = recorder(SaveWay::kDialogue);
  const FileReplacement save{.name = "datas.dat", .content = "Oyo 1 1 0 0\n"};
  SaveFailure failure;
  ASSERT_TRUE(recording.replaceFiles({&save, 1}, &failure));
  for (const std::string number : {"0", "2", "-1", "x", "99999999999"}) {
    EXPECT_EQ(restore(number, &said), kExitUsage) << number;
    EXPECT_NE(said.find("the saves are numbered 1 to 1"), std::string::npos) << said;
  }
  EXPECT_EQ(readFile("datas.dat"), "Oyo 1 1 0 0\n");
  EXPECT_EQ(readHistory(files).entries.size(), 1u);
}

// A last line cut short is ignored, named by the check, and left out by the
// next save.
TEST_F(HistoryTest, ATornLastLineIsIgnoredNamedAndDropped) {
  startHere();
  RecordingFileSystem recording = recorder(SaveWay::kDialogue);
  const FileReplacement save{.name = "datas.dat", .content = "Oyo 1 1 0 0\n"};
  SaveFailure failure;
  ASSERT_TRUE(recording.replaceFiles({&save, 1}, &failure));
  files.set("census-history/log", readFile("census-history/log") + "2\t2026-12-10T1");
  EXPECT_EQ(readHistory(files).entries.size(), 1u);
  std::vector<std::string> findings;
  checkDataFiles(files, [&](const Finding& f) {
    if (f.rule == Rule::kTornHistory) findings.push_back(formatFinding(f));
  });
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].substr(0, 30), "census-history/log:2: warning:");
  ASSERT_TRUE(recording.replaceFiles({&save, 1}, &failure));
  const History history = readHistory(files);
  EXPECT_EQ(history.torn_line, 0u);
  ASSERT_EQ(history.entries.size(), 2u);
  EXPECT_EQ(history.entries[1].number, 2u);
}

// A line in the middle that is no entry, or whose number is not above the
// one before, is left out and named by the check; the numbers of new saves
// go on from the highest, and stop at the highest a save may have.
TEST_F(HistoryTest, LinesThatCannotBeReadAreFindingsAndNumbersStayBounded) {
  startHere();
  RecordingFileSystem recording = recorder(SaveWay::kDialogue);
  const FileReplacement save{.name = "datas.dat", .content = "Oyo 1 1 0 0\n"};
  SaveFailure failure;
  ASSERT_TRUE(recording.replaceFiles({&save, 1}, &failure));
  const std::string first = readFile("census-history/log");
  const std::string tail = first.substr(first.find('\t'));
  const struct {
    std::string log;
    std::size_t next;  // the number of the next save; 0 where none may be made
    std::vector<std::string> findings;
  } cases[] = {
      {first + "garbage\n" + "7" + tail,
       8,
       {"census-history/log:2: error: this line of the "
        "history cannot be read: it is no entry"}},
      {first + "1" + tail,
       2,
       {"census-history/log:2: error: this line of the history cannot be "
        "read: its save number 1 is not above 1"}},
      {first + "1000000000" + tail, 2, {"census-history/log:2: error: this line"}},
      {first + "999999999" + tail, 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.log);
    files.set("census-history/log", c.log);
    std::vector<std::string> findings;
    checkDataFiles(files, [&](const Finding& f) {
      if (f.rule == Rule::kHistoryLine) findings.push_back(formatFinding(f));
    });
    ASSERT_EQ(findings.size(), c.findings.size());
    for (std::size_t i = 0; i < findings.size(); ++i) {
      EXPECT_TRUE(findings[i].starts_with(c.findings[i])) << findings[i];
    }
    const bool saved = recording.replaceFiles({&save, 1}, &failure);
    EXPECT_EQ(saved, c.next != 0) << failure.reason;
    if (saved) {
      EXPECT_EQ(readHistory(files).entries.back().number, c.next);
    } else {
      EXPECT_EQ(failure.reason, "it holds the highest save number there may be");
      EXPECT_EQ(readFile("census-history/log"), c.log);
    }
  }
}

// A kept content whose SHA-256 is not its name is damaged, not missing, and
// a restore that needs it changes nothing.
TEST_F(HistoryTest, ADamagedKeptContentIsCalledSo) {
  startHere();
  RecordingFileSystem recording = recorder(SaveWay::kDialogue);
  for (const std::string content : {"Oyo 1 1 0 0\n", "Oyo 2 1 1 0\n"}) {
    const FileReplacement save{.name = "datas.dat", .content = content};
    SaveFailure failure;
    ASSERT_TRUE(recording.replaceFiles({&save, 1}, &failure));
  }
  const std::string kept = "census-history/" + sha256Hex("Oyo 1 1 0 0\n");
  files.set(kept, "Oyo 9 9 9 9\n");
  std::string said;
  EXPECT_EQ(restore("2", &said), kExitFailure);
  EXPECT_NE(said.find("before save 2 in census-history/ is damaged (its SHA-256 is not its name)"),
            std::string::npos)
      << said;
  files.remove(kept);
  EXPECT_EQ(restore("2", &said), kExitFailure);
  EXPECT_NE(said.find("in census-history/ is missing"), std::string::npos) << said;
  EXPECT_EQ(readFile("datas.dat"), "Oyo 2 1 1 0\n");
}

}  // namespace
}  // namespace census
