// Drives the whole program in-process on one fuzz input, over files held in
// memory. The input is split at NUL bytes: the first part is standard
// input; the next five are "datas.dat", "Loc-datas.dat", "Loc-datas0.dat",
// "Recs-Loc.dat" and "cens-stat.dat", each present (with the bytes after its
// first) where its first byte is odd, and absent otherwise; a first byte of
// 0xFF, 0xFD, 0xFB or 0xF9 puts a directory, an unreadable file, a read-only
// file or one that fails part way in its place.
//
// Checked on every input, besides what the sanitizers and libFuzzer's own
// time and memory limits catch: the output stays within a bound set by the
// input, and every file the run saved is whole and in its line format.
// Then `census check`, `census report` and `census export` run over the
// files the run left, and the standard input is handed to `census import
// --dry-run` as a CSV file; none may change a file, the report stays a
// bounded, whole page, and each fails exactly where a file cannot be read.
// Last the same CSV is imported for real: one save of whole files, or none.
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/decimal.h"
#include "base/line_fields.h"
#include "base/text.h"
#include "commands/check.h"
#include "commands/export.h"
#include "commands/import.h"
#include "commands/report.h"
#include "dialogue/pass_loop.h"
#include "fakes/memory_file_system.h"
#include "records/facility_file.h"
#include "records/population_file.h"

namespace census {
namespace {

constexpr std::string_view kDataFiles[] = {"datas.dat", "Loc-datas.dat", "Loc-datas0.dat",
                                           "Recs-Loc.dat", "cens-stat.dat"};

class SilentPlatform final : public Platform {
 public:
  void waitForKey() override {}
  void clearScreen() override {}
  void openFile(const char*) override {}
  void startCalculator() override {}
  bool openInBrowser(const std::string&) override { return false; }
  bool windowClosesOnExit() override { return false; }
};

void require(bool holds, const char* what) {
  if (holds) return;
  std::cerr << "violated: " << what << "\n";
  std::abort();
}

// Text that is safe on a screen: valid UTF-8 without a control character
// (but the line ends) and without a bidirectional control.
bool safeOnScreen(std::string_view text) {
  if (firstNonUtf8Byte(text) != std::string_view::npos) return false;
  const auto byte = [&](std::size_t i) -> unsigned {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0U;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned b = byte(i);
    if ((b < 0x20 && b != '\n') || b == 0x7F) return false;
    if (b == 0xC2 && byte(i + 1) < 0xA0) return false;  // U+0080 to U+009F
    // U+202A to U+202E (E2 80 AA-AE), U+2066 to U+2069 (E2 81 A6-A9).
    if (b == 0xE2 && byte(i + 1) == 0x80 && byte(i + 2) >= 0xAA && byte(i + 2) <= 0xAE) {
      return false;
    }
    if (b == 0xE2 && byte(i + 1) == 0x81 && byte(i + 2) >= 0xA6 && byte(i + 2) <= 0xA9) {
      return false;
    }
  }
  return true;
}

// A file's first byte says what stands at its name besides a plain file.
MemoryFileSystem::Oddity oddityOf(char first) {
  switch (static_cast<unsigned char>(first)) {
    case 0xFF:
      return MemoryFileSystem::Oddity::kDirectory;
    case 0xFD:
      return MemoryFileSystem::Oddity::kUnreadable;
    case 0xFB:
      return MemoryFileSystem::Oddity::kReadOnly;
    case 0xF9:
      return MemoryFileSystem::Oddity::kFailsMidway;
    default:
      return MemoryFileSystem::Oddity::kNone;
  }
}

// Lines of a saved file; a saved file always ends with a newline.
std::vector<std::string_view> savedLines(std::string_view content) {
  require(content.ends_with('\n'), "a saved file ends with a newline");
  std::vector<std::string_view> lines;
  while (!content.empty()) {
    const std::size_t end = content.find('\n');
    lines.push_back(content.substr(0, end));
    content.remove_prefix(end + 1);
  }
  return lines;
}

void checkPopulationFile(const StateList& list, std::string_view content) {
  const std::vector<std::string_view> lines = savedLines(content);
  require(lines.size() == list.states.size(), "one line per state");
  for (std::size_t row = 0; row < lines.size(); ++row) {
    LineFields fields(lines[row]);
    std::string canonical(fields.nextWord());
    require(canonical == list.states[row].file_label, "each line has its state's label");
    for (std::size_t figure = 0; figure < kFigureCount; ++figure) {
      const std::optional<std::int32_t> value = fields.nextInteger();
      require(value.has_value(), "four figures");
      canonical.append(" ").append(Decimal(*value).view());
    }
    require(canonical == lines[row], "a line is label and figures in plain decimal");
  }
}

void checkFacilityFile(std::string_view content) {
  const std::vector<std::string_view> lines = savedLines(content);
  require(lines.size() == 6, "six facility lines");
  for (std::string_view line : lines) {
    require(line.starts_with("----> ") && line.find(":: ") != std::string_view::npos,
            "a facility line is a caption and an answer");
    const std::string_view answer = line.substr(line.rfind(":: ") + 3);
    require(!answer.empty() && answer.find_first_of(" \t\r\v\f") == std::string_view::npos,
            "a facility answer is one word");
  }
}

}  // namespace
}  // namespace census

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace census;
  std::vector<std::string_view> parts;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  for (std::size_t end; (end = rest.find('\0')) != std::string_view::npos;) {
    parts.push_back(rest.substr(0, end));
    rest.remove_prefix(end + 1);
  }
  parts.push_back(rest);

  MemoryFileSystem files;
  std::optional<std::string> before[std::size(kDataFiles)];
  std::size_t file_bytes = 0;
  for (std::size_t i = 0; i < std::size(kDataFiles); ++i) {
    if (i + 1 >= parts.size() || parts[i + 1].empty() || (parts[i + 1][0] & 1) == 0) continue;
    const std::string name(kDataFiles[i]);
    files.set(name, std::string(parts[i + 1].substr(1)), oddityOf(parts[i + 1][0]));
    file_bytes += parts[i + 1].size();
    before[i] = files.get(name);
  }

  std::istringstream in{std::string(parts[0])};
  std::ostringstream out;
  std::ostringstream errors;
  SilentPlatform platform;
  runCensus(in, out, errors, platform, files);

  // Every word read writes at most a few lines, and every listing writes at
  // most one row of bounded length per line of its file, once per pass.
  const std::size_t stdin_bytes = parts[0].size();
  require(out.str().size() <= 8192 + 2048 * (stdin_bytes + 1) * (file_bytes + 1),
          "output bounded by the input");

  for (const StateList& list : stateLists()) {
    const std::size_t index = static_cast<std::size_t>(list.number - 1);
    const std::optional<std::string> after = files.get(std::string(list.file_name));
    if (after && *after != before[index]) checkPopulationFile(list, *after);
  }
  const std::optional<std::string> facility = files.get(std::string(kFacilityFileName));
  if (facility && *facility != before[3]) checkFacilityFile(*facility);
  require(files.get(std::string(kDataFiles[4])) == before[4],
          "the census grid file is never written");

  const std::size_t saves = files.saves();
  std::ostringstream findings;
  std::ostringstream said;
  const int status = runCheck(files, findings, said);
  require(status == 0 || status == 1, "the check exits with 0 or 1");
  require(
      findings.str().ends_with("\n") && findings.str().find("census check: ") != std::string::npos,
      "the check ends with its summary line");
  std::ostringstream page;
  const CheckSummary summary = writeReport(files, {"fuzz", "1970-01-01T00:00:00+00:00"}, page);
  require(page.str().ends_with("</html>\n"), "the report is a whole page");
  require(page.str().size() <= 2 * 1024 * 1024, "the report is bounded");
  require(firstNonUtf8Byte(page.str()) == std::string_view::npos, "the report is UTF-8");
  require(safeOnScreen(findings.str()) && safeOnScreen(said.str()),
          "the check's findings and messages are safe on a screen");
  require(summary.anyUnreadable() == !said.str().empty(),
          "the check names on its error stream exactly the files it cannot read");
  // The CSV holds the three lists: it fails exactly where one of them
  // cannot be read.
  bool list_unreadable = false;
  for (std::size_t i = 0; i < kStateListCount; ++i) {
    list_unreadable = list_unreadable || summary.files[i].second.unreadable();
  }
  std::ostringstream exported;
  const int export_status = writeExport(files, ExportFormat::kCsv, exported, said);
  require(export_status == (list_unreadable ? 1 : 0),
          "the export fails exactly where a list cannot be read");
  require(firstNonUtf8Byte(exported.str()) == std::string_view::npos, "the CSV is UTF-8");
  std::ostringstream json;
  std::ostringstream json_said;
  const int json_status = writeExport(files, ExportFormat::kJson, json, json_said);
  require(json_status == (summary.anyUnreadable() ? 1 : 0),
          "the JSON export fails exactly where a file cannot be read");
  require(nlohmann::json::accept(json.str()), "the JSON export is one JSON document");
  std::ostringstream imported;
  std::ostringstream import_said;
  const int import_status = importCsv(files, parts[0], "<fuzz>", true, imported, import_said);
  require(import_status == 0 || import_status == 1, "a dry-run import exits with 0 or 1");
  require(safeOnScreen(import_said.str()), "an import's messages are safe on a screen");
  require(files.saves() == saves, "the check, report, export and dry-run import change no file");

  // A real import replaces the lists it names, all of them or none.
  if (importCsv(files, parts[0], "<fuzz>", false, imported, errors) == 0) {
    require(files.saves() == saves + 1, "an import is one save");
    for (const StateList& list : stateLists()) {
      if (const std::optional<std::string> after = files.get(std::string(list.file_name))) {
        const std::size_t index = static_cast<std::size_t>(list.number - 1);
        if (*after != before[index]) checkPopulationFile(list, *after);
      }
    }
  } else {
    require(files.saves() == saves, "a refused import changes no file");
  }
  return 0;
}
