#include <cerrno>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "base/exit_status.h"
#include "commands/export.h"
#include "commands/import.h"
#include "records/history.h"
#include "records/state_lists.h"
#include "test_support.h"

namespace census {
namespace {

class ExportImport : public InMemory {
 protected:
  std::string exported(ExportFormat format) {
    std::ostringstream out;
    std::ostringstream errors;
    EXPECT_EQ(writeExport(files, format, out, errors), kExitSuccess);
    EXPECT_EQ(errors.str(), "");
    return out.str();
  }

  // Imports csv; out and errors keep what it said.
  int import(const std::string& csv, bool dry_run = false) {
    out.str("");
    errors.str("");
    return importCsv(files, csv, "in.csv", dry_run, out, errors);
  }

  std::ostringstream out;
  std::ostringstream errors;
};

const std::string kListThree =
    "Kebi 1200 600 600 300\nZamfara 800 390 410 200\nKatsina 3000 1500 1500 900\n"
    "Jigawa 900 450 450 250\n";

std::string numberedList(const StateList& list) {
  std::string content;
  int n = 1;
  for (const StateEntry& state : list.states) {
    content += std::string(state.file_label) + " " + std::to_string(n) + " " +
               std::to_string(n + 1) + " " + std::to_string(-n) + " 0\n";
    n += 10;
  }
  return content;
}

TEST_F(ExportImport, CsvHasAHeaderAndARowPerRecordAsTheListingReadsIt) {
  writeFile("datas.dat", "Jos 3206531 1598998 1607533 1000000\n\n=SUM(A1) 12abc 5 6 7\n");
  writeFile("Loc-datas0.dat", "Kebi 1 2 3 4\r\nKatsina\t5 6 7 8\r\n");
  EXPECT_EQ(exported(ExportFormat::kCsv),
            "list,position,label,state,iso_code,total,male,female,youth\r\n"
            "1,1,Jos,Plateau,NG-PL,3206531,1598998,1607533,1000000\r\n"
            "1,2,'=SUM(A1),,,12,0,0,0\r\n"
            "3,1,Kebi,Kebbi,NG-KE,1,2,3,4\r\n"
            "3,2,Katsina,Katsina,NG-KT,5,6,7,8\r\n");
}

TEST_F(ExportImport, JsonIsOneDocumentOfListsGridAndFacilityRecord) {
  writeFile("Loc-datas0.dat", kListThree);
  writeFile("cens-stat.dat", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n7 8\n");
  writeFile("Recs-Loc.dat",
            "----> One Family Healthcare Planning Facility In This Region(State) :: Clinic\n");
  const std::string text = exported(ExportFormat::kJson);
  const nlohmann::ordered_json document = nlohmann::ordered_json::parse(text);
  // Exactly as the library itself writes the document, two-space indent.
  EXPECT_EQ(text, document.dump(2) + "\n");
  EXPECT_EQ(document["lists"].size(), 3u);
  EXPECT_EQ(document["lists"][0]["status"], "not saved yet");
  EXPECT_EQ(document["lists"][2]["status"], "saved");
  EXPECT_EQ(document["grid"]["status"], "saved");
  EXPECT_EQ(document["lists"][0]["states"].size(), 0u);
  EXPECT_EQ(document["lists"][2]["file"], "Loc-datas0.dat");
  EXPECT_EQ(document["lists"][2]["states"][0],
            nlohmann::ordered_json::parse(R"({"position": 1, "label": "Kebi", "state": "Kebbi",
               "iso_code": "NG-KE", "total": 1200, "male": 600, "female": 600, "youth": 300})"));
  EXPECT_EQ(document["grid"]["columns"][0], "NG-OY");
  EXPECT_EQ(document["grid"]["columns"][15], "NG-CR");
  EXPECT_EQ(document["grid"]["rows"][1],
            nlohmann::ordered_json::parse("[7, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0]"));
  EXPECT_EQ(document["facility"]["answers"][0]["caption"],
            "----> One Family Healthcare Planning Facility In This Region(State) ::");
  EXPECT_EQ(document["facility"]["answers"][0]["answer"], "Clinic");

  for (const char* name : {"Loc-datas0.dat", "cens-stat.dat", "Recs-Loc.dat"}) files.remove(name);
  const nlohmann::ordered_json empty = nlohmann::ordered_json::parse(exported(ExportFormat::kJson));
  EXPECT_EQ(empty["grid"]["rows"], nlohmann::ordered_json::array());
  EXPECT_EQ(empty["facility"]["status"], "not saved yet");
}

TEST_F(ExportImport, AnUnreadableFileIsNeverShownAsSavedAndFailsTheExport) {
  writeFile("datas.dat", "Oyo 1 1 0 0\n");
  files.set("cens-stat.dat", "", MemoryFileSystem::Oddity::kDirectory);
  std::ostringstream out_stream;
  std::ostringstream error_stream;
  EXPECT_EQ(writeExport(files, ExportFormat::kJson, out_stream, error_stream), kExitFailure);
  const nlohmann::ordered_json document = nlohmann::ordered_json::parse(out_stream.str());
  EXPECT_EQ(document["grid"]["status"], "unreadable");
  EXPECT_EQ(document["grid"]["reason"], errorText(EISDIR));
  EXPECT_EQ(document["lists"][0]["status"], "saved");
  EXPECT_EQ(error_stream.str(), "census: cannot read cens-stat.dat: " + errorText(EISDIR) + "\n");

  // A file named for the export keeps the last whole export.
  writeFile("good.csv", "the last whole export\n");
  files.set("datas.dat", "Oyo 1 1 0 0\n", MemoryFileSystem::Oddity::kUnreadable);
  error_stream.str("");
  EXPECT_EQ(runExport(files, ExportFormat::kCsv, "good.csv", out_stream, error_stream),
            kExitFailure);
  EXPECT_EQ(readFile("good.csv"), "the last whole export\n");
  EXPECT_EQ(error_stream.str(), "census: cannot read datas.dat: " + errorText(EACCES) + "\n");
}

TEST_F(ExportImport, ARoundTripGivesTheSameFilesByteForByte) {
  for (const StateList& list : stateLists())
    writeFile(std::string(list.file_name), numberedList(list));
  const std::string csv = exported(ExportFormat::kCsv);
  for (const StateList& list : stateLists()) std::filesystem::remove(list.file_name);
  ASSERT_EQ(import(csv), 0) << errors.str();
  EXPECT_EQ(out.str(),
            "datas.dat: 16 states saved\nLoc-datas.dat: 16 states saved\n"
            "Loc-datas0.dat: 4 states saved\n"
            "The figures are not judged here: run 'census check' for its warnings.\n");
  for (const StateList& list : stateLists()) {
    EXPECT_EQ(readFile(std::string(list.file_name)), numberedList(list)) << list.file_name;
  }
}

TEST_F(ExportImport, TakesWhatSpreadsheetsSave) {
  // A byte order mark, CR LF, quoted fields, other column order, extra
  // columns, names by ISO code and name only, rows in any order.
  const std::string csv =
      "\xEF\xBB\xBF\"Youth\",female,male,total,notes,state,iso_code,list\r\n"
      "250,450,450,900,\"last, but \"\"not\"\" least\",Jigawa,NG-JI,3\r\n"
      "300,600,600,1200,,Kebbi,NG-KE,3\r\n"
      ",,,,,,,\r\n"
      "\"200\",410,390,800,\"two\r\nlines\",Zamfara,,3\r\n"
      "900,1500,1500,3000,,,NG-KT,3\r\n";
  ASSERT_EQ(import(csv), 0) << errors.str();
  EXPECT_EQ(readFile("Loc-datas0.dat"), kListThree);
  EXPECT_FALSE(fileExists("datas.dat"));
}

TEST_F(ExportImport, RefusesABadFileWholeAndSaysWhereEachProblemIs) {
  struct Case {
    std::string name;
    std::string csv;
    std::string said;
  };
  const std::string header = "list,label,iso_code,total,male,female,youth\n";
  const std::string kebi = "3,Kebi,NG-KE,1,1,0,0\n";
  const std::string rest = "3,Zamfara,,1,1,0,0\n3,Katsina,,1,1,0,0\n3,Jigawa,,1,1,0,0\n";
  const Case cases[] = {
      {"bad figure", header + "3,Kebi,,1.5,1,0,0\n" + rest,
       "in.csv:2: error: total '1.5' is not a whole number within 32 bits\n"},
      {"unknown state", header + "3,Kebbi,,1,1,0,0\n" + rest,
       "in.csv:2: error: label 'Kebbi' is no state of list 3\n"
       "in.csv:2: error: list 3 lacks 1 of its 4 states: Kebi\n"},
      {"a state twice", header + kebi + kebi + rest,
       "in.csv:3: error: 'Kebi' of list 3 is given twice, first on line 2\n"},
      {"incomplete list", header + kebi + "3,Jigawa,,1,1,0,0\n",
       "in.csv:2: error: list 3 lacks 2 of its 4 states: Zamfara, Katsina\n"},
      {"missing column", "list,label,total,male,youth\n3,Kebi,1,1,0\n",
       "in.csv:1: error: the header has no column 'female'\n"},
      {"label and code disagree", header + "3,Kebi,NG-JI,1,1,0,0\n" + rest,
       "in.csv:2: error: label 'Kebi' and iso_code 'NG-JI' name different states\n"
       "in.csv:2: error: list 3 lacks 1 of its 4 states: Kebi\n"},
      {"unterminated quote", header + kebi + rest + "\"3,Kebi\n",
       "in.csv:6: error: a quoted field that begins on line 6 is never closed\n"},
      {"short row", header + "3,Kebi,NG-KE,1,1\n" + rest,
       "in.csv:2: error: the row has 5 fields, the header 7\n"
       "in.csv:3: error: list 3 lacks 1 of its 4 states: Kebi\n"},
      {"list out of range", header + "4,Kebi,,1,1,0,0\n",
       "in.csv:2: error: list '4' is not 1, 2 or 3\n"},
      {"empty", "", "in.csv:1: error: the file is empty; it needs a header and a row per state\n"},
  };
  writeFile("Loc-datas0.dat", "old\n");
  for (const Case& c : cases) {
    for (const bool dry_run : {false, true}) {
      EXPECT_EQ(import(c.csv, dry_run), 1) << c.name;
      EXPECT_EQ(errors.str(), c.said) << c.name;
      EXPECT_EQ(out.str(), "") << c.name;
      EXPECT_EQ(readFile("Loc-datas0.dat"), "old\n") << c.name;
    }
  }
}

TEST_F(ExportImport, DryRunChecksAndWritesNothing) {
  writeFile("Loc-datas0.dat", "old\n");
  ASSERT_EQ(import("list,label,total,male,female,youth\n3,Kebi,1,1,0,0\n3,Zamfara,1,1,0,0\n"
                   "3,Katsina,1,1,0,0\n3,Jigawa,1,1,0,0\n",
                   true),
            0);
  EXPECT_TRUE(out.str().starts_with("Loc-datas0.dat: 4 states checked, not saved\n"));
  EXPECT_EQ(readFile("Loc-datas0.dat"), "old\n");
}

// An import that failed before its point of no return changed nothing and
// says so; one that failed after it says the next start finishes it.
TEST_F(ExportImport, AFailedImportSaysWhatBecomesOfIt) {
  const std::string csv =
      "list,label,total,male,female,youth\n3,Kebi,1,1,0,0\n3,Zamfara,1,1,0,0\n"
      "3,Katsina,1,1,0,0\n3,Jigawa,1,1,0,0\n";
  files.limitSpace(1);
  EXPECT_EQ(import(csv), kExitFailure);
  EXPECT_EQ(errors.str(),
            "census: cannot save Loc-datas0.dat: " + errorText(ENOSPC) + "; no file was changed\n");
  files.limitSpace(1 << 20);
  // Recorded in the history, the save is of several files, and decided
  // once its journal is committed.
  files.setSaveOutcome(MemoryFileSystem::SaveOutcome::kFailsWhenDecided);
  RecordingFileSystem recorded(files, SaveWay::kImport, "ada", [] { return std::time_t{1}; });
  errors.str("");
  EXPECT_EQ(importCsv(recorded, csv, "in.csv", false, out, errors), kExitFailure);
  EXPECT_EQ(errors.str(), "census: cannot save Loc-datas0.dat: " + errorText(EIO) +
                              "; the save is decided, and the next start of census finishes it\n");
}

TEST_F(ExportImport, AnInputThatCannotBeReadIsAnErrorOfTheEnvironment) {
  files.set("dir.csv", "", MemoryFileSystem::Oddity::kDirectory);
  std::istringstream in;
  for (const auto& [name, reason] : {std::pair{"missing.csv", ENOENT}, {"dir.csv", EISDIR}}) {
    errors.str("");
    EXPECT_EQ(runImport(files, name, false, in, out, errors), kExitUsage) << name;
    EXPECT_EQ(errors.str(), "census: " + std::string(name) + ": " + errorText(reason) + "\n");
  }
  std::istringstream csv("list,label,total,male,female,youth\n3,Kebi,1,1,0,0\n");
  errors.str("");
  EXPECT_EQ(runImport(files, "-", true, csv, out, errors), kExitFailure);
  EXPECT_TRUE(errors.str().starts_with("<stdin>:2: error: list 3 lacks 3 of its 4 states"))
      << errors.str();
}

TEST_F(ExportImport, ExportToAFileLeavesStandardOutputEmpty) {
  writeFile("Loc-datas0.dat", kListThree);
  std::ostringstream out_stream;
  std::ostringstream error_stream;
  EXPECT_EQ(runExport(files, ExportFormat::kCsv, "out.csv", out_stream, error_stream),
            kExitSuccess);
  EXPECT_EQ(out_stream.str(), "");
  EXPECT_EQ(readFile("out.csv"), exported(ExportFormat::kCsv));  // CR LF on every platform

  files.set("dir.csv", "", MemoryFileSystem::Oddity::kDirectory);
  EXPECT_EQ(runExport(files, ExportFormat::kCsv, "dir.csv", out_stream, error_stream),
            kExitFailure);
  EXPECT_TRUE(error_stream.str().starts_with("census: cannot save dir.csv: "))
      << error_stream.str();
}

}  // namespace
}  // namespace census

namespace census {
namespace {

// UTF-16 with its byte order mark, from ASCII text.
std::string utf16(const std::string& ascii, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char c : ascii) {
    bytes += big_endian ? std::string{'\0', c} : std::string{c, '\0'};
  }
  return bytes;
}

TEST_F(ExportImport, ImportsOtherEncodingsSeparatorsAndLineEnds) {
  const std::string rows[] = {"list,label,total,male,female,youth", "3,Kebi,1200,600,600,300",
                              "3,Zamfara,800,390,410,200", "3,Katsina,3000,1500,1500,900",
                              "3,Jigawa,900,450,450,250"};
  const auto joined = [&](const std::string& separator, const std::string& line_end) {
    std::string text;
    for (std::string row : rows) {
      for (char& c : row) c = c == ',' ? separator[0] : c;
      text += row + line_end;
    }
    return text;
  };
  struct Case {
    const char* name;
    std::string csv;
  };
  const Case cases[] = {
      {"UTF-8 with a byte order mark", "\xEF\xBB\xBF" + joined(",", "\r\n")},
      {"UTF-16 little endian", utf16(joined(",", "\r\n"), false)},
      {"UTF-16 big endian", utf16(joined(";", "\n"), true)},
      {"semicolons", joined(";", "\r\n")},
      {"tabs", joined("\t", "\n")},
      {"CR line ends", joined(",", "\r")},
  };
  for (const Case& c : cases) {
    files.remove("Loc-datas0.dat");
    EXPECT_EQ(import(c.csv), kExitSuccess) << c.name << errors.str();
    EXPECT_EQ(readFile("Loc-datas0.dat"), kListThree) << c.name;
  }
}

TEST_F(ExportImport, RefusesACsvItCannotTakeWithTheReason) {
  writeFile("Loc-datas0.dat", "old\n");
  EXPECT_EQ(import("list,label,total,male,total,female,youth\n3,Kebi,1,1,1,0,0\n"), kExitFailure);
  EXPECT_EQ(errors.str(),
            "in.csv:1: error: the header names the column 'total' twice, as fields 3 and 5\n");

  // Ever so many problems: the first hundred, then how many more.
  std::string many = "list,label,total,male,female,youth\n";
  for (int i = 0; i < 150; ++i) many += "3,Kebi,x,1,0,0\n";
  EXPECT_EQ(import(many), kExitFailure);
  const std::string said = errors.str();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 101) << said;
  EXPECT_TRUE(said.ends_with("in.csv: \u2026 and 200 more\n")) << said.substr(said.size() - 200);

  // Too large to be a census CSV: refused without reading on.
  files.set("huge.csv", std::string(16 * 1024 * 1024 + 1, 'x'));
  std::istringstream in;
  errors.str("");
  EXPECT_EQ(runImport(files, "huge.csv", false, in, out, errors), kExitFailure);
  EXPECT_TRUE(errors.str().starts_with("census: huge.csv: larger than 16 MiB")) << errors.str();
  std::istringstream endless(std::string(16 * 1024 * 1024 + 100, 'y'));
  errors.str("");
  EXPECT_EQ(runImport(files, "-", true, endless, out, errors), kExitFailure);
  EXPECT_TRUE(errors.str().starts_with("census: <stdin>: larger than 16 MiB")) << errors.str();
  EXPECT_EQ(readFile("Loc-datas0.dat"), "old\n");
}

}  // namespace
}  // namespace census
