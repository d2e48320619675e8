#include "commands/report.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "base/output_buffer.h"
#include "base/text.h"
#include "commands/check.h"
#include "commands/command_files.h"
#include "commands/history.h"
#include "commands/svg.h"
#include "os/platform.h"
#include "records/census_grid_file.h"
#include "records/facility_file.h"
#include "records/population_file.h"
#include "records/state_lists.h"

namespace census {
namespace {

constexpr std::string_view kDefaultReportName = "census-report.html";
constexpr std::size_t kGridRowsShown = 20;
constexpr std::size_t kFindingsShownPerFile = 500;
// Text from a file is cut on the page at this many characters.
constexpr std::size_t kMostLabelCharacters = 40;
constexpr std::size_t kMostChartLabelCharacters = 24;
constexpr std::size_t kMostAnswerCharacters = 120;

constexpr std::string_view kStyle = R"(
:root { --ink: #1b1b1b; --muted: #5a5a5a; --rule: #c8c8c8; --male: #1f3f66; --female: #8fb3d9;
  --female-line: #1f3f66; --youth: #c0392b; --grid: #5e8c31; --warn: #8a5a00; --error: #b00020; }
* { box-sizing: border-box; print-color-adjust: exact; -webkit-print-color-adjust: exact; }
body { font: 15px/1.45 system-ui, -apple-system, "Segoe UI", Roboto, "DejaVu Sans", sans-serif;
  color: var(--ink); margin: 0 auto; max-width: 76rem; padding: 1.5rem; }
h1 { font-size: 1.6rem; margin: 0 0 .3rem; } h2 { font-size: 1.25rem; margin: 2rem 0 .6rem;
  border-bottom: 2px solid var(--ink); padding-bottom: .2rem; } h3 { font-size: 1rem; }
.meta, .note { color: var(--muted); } code { font-size: .9em; }
table { border-collapse: collapse; margin: .4rem 0 1rem; }
th, td { padding: .2rem .55rem; border-bottom: 1px solid var(--rule); text-align: left; }
td.num, th.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
tfoot td { font-weight: 600; border-top: 2px solid var(--ink); border-bottom: none; }
.pair { display: flex; flex-wrap: wrap; gap: 1.5rem; align-items: flex-start; }
.saved { color: #2d6a2d; } .missing { color: var(--muted); } .unreadable { color: var(--error); }
a.flag { color: var(--error); font-weight: 700; text-decoration: none; }
li.error code { color: var(--error); } li.warning code { color: var(--warn); }
.wide { overflow-x: auto; max-width: 100%; }
td, li, code { overflow-wrap: anywhere; } svg text { unicode-bidi: isolate; }
table.grid-rows th, table.grid-rows td { padding: .15rem .3rem; font-size: .8rem; }
svg.chart { max-width: 100%; height: auto; font: 11px system-ui, "DejaVu Sans", sans-serif; }
svg .male { fill: var(--male); } svg .female { fill: var(--female); }
svg .hatch-ground { fill: var(--female); } svg .hatch-line { stroke: var(--female-line); stroke-width: 1.5; }
svg .value { fill: var(--grid); } svg .marker { stroke: var(--youth); stroke-width: 3; }
svg .grid-line { stroke: var(--rule); stroke-width: 1; } svg .axis { stroke: var(--ink); }
svg .tick, svg .legend, svg .bar-value { fill: var(--muted); } svg .bar-label { fill: var(--ink); }
@page { size: A4; margin: 14mm; }
@media print { body { max-width: none; padding: 0; font-size: 10pt; }
  section { break-inside: avoid; page-break-inside: avoid; } h2 { break-after: avoid; }
  table.grid-rows th, table.grid-rows td { font-size: 6.5pt; padding: 1pt 2pt; } }
)";

// Text from a file as the page shows it: UTF-8 (a byte that is not is read
// as Windows-1252), cut at `most` characters, and isolated, so that a
// right-to-left word or a stray bidirectional control cannot turn the text
// around it.
std::string fileText(std::string_view bytes, std::size_t most) {
  return "<bdi>" + escapeMarkup(utf8Cut(visibleText(bytes), most)) + "</bdi>";
}

// Findings of one file, as many as the page shows, and where they point.
struct FileFindings {
  std::vector<Finding> shown;
  std::size_t more = 0;
  std::map<std::size_t, std::string> anchor_of_line;  // the first shown finding of each line
};

using AllFindings = std::map<std::string, FileFindings, std::less<>>;

std::string anchorOf(std::string_view file, std::size_t index) {
  std::string anchor = "finding-";
  for (const char c : file) anchor.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '-');
  return anchor + "-" + std::to_string(index + 1);
}

// Keeps a finding for the page, as far as the limit per file goes.
void keepFinding(AllFindings& findings, const Finding& finding) {
  FileFindings& file = findings[std::string(finding.file)];
  if (file.shown.size() == kFindingsShownPerFile) {
    ++file.more;
    return;
  }
  if (finding.line > 0) {
    file.anchor_of_line.emplace(finding.line, anchorOf(finding.file, file.shown.size()));
  }
  file.shown.push_back(finding);
}

// The marker that links a table row to the first finding on its line.
std::string flagFor(const AllFindings& findings, std::string_view file, std::size_t line) {
  const auto in_file = findings.find(file);
  if (in_file == findings.end()) return "";
  const auto anchor = in_file->second.anchor_of_line.find(line);
  if (anchor == in_file->second.anchor_of_line.end()) return "";
  return " <a class=\"flag\" href=\"#" + anchor->second + "\" title=\"line " +
         std::to_string(line) + " has a problem\">&#9888;</a>";
}

std::string share(std::int64_t part, std::int64_t whole) {
  if (whole <= 0) return "&ndash;";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f&nbsp;%%",
                100.0 * static_cast<double>(part) / static_cast<double>(whole));
  return text;
}

std::string numberCell(std::int64_t value) {
  return "<td class=\"num\">" + withThousands(value) + "</td>";
}

struct ListRecord {
  std::size_t line;
  PopulationRecord record;
};

struct ListFile {
  const StateList* list;
  FileState state;
  std::vector<ListRecord> records;  // the first of the file's records, as many as a page shows
  std::size_t records_in_file = 0;
  std::array<bool, kMostStatesInAList> saved{};   // which of the list's states have a record
  std::array<std::int64_t, kFigureCount> sums{};  // of all the file's records
};

// A population file as the listing reads it, checked on the way. A file of
// more records than a list has states is broken, but it is summed whole all
// the same; only its first records are kept for the page.
class ListReading final : public PopulationSink {
 public:
  ListReading(const StateList& list, PopulationCheck& check)
      : check_(check), file_{&list, {}, {}, 0, {}, {}} {}

  void onRecord(std::size_t number, const PopulationLine& line) override {
    check_.onRecord(number, line);
    constexpr std::size_t kMostRecordsKept = 100;
    for (std::size_t f = 0; f < kFigureCount; ++f) file_.sums[f] += line.figures[f];
    ++file_.records_in_file;
    const std::size_t position = positionOfLabel(*file_.list, line.label.word);
    if (position < file_.list->states.size()) file_.saved[position] = true;
    if (file_.records.size() < kMostRecordsKept) {
      file_.records.push_back({number, {std::string(line.label.word), line.figures}});
    }
  }
  void onBlankLine(std::size_t number, std::string_view text) override {
    check_.onBlankLine(number, text);
  }

  ListFile finish(FileState state) {
    check_.finish(state);
    file_.state = std::move(state);
    return std::move(file_);
  }

 private:
  PopulationCheck& check_;
  ListFile file_;
};

std::string_view stateText(const FileState& state) {
  switch (state.status) {
    case FileStatus::kSaved:
      return "<span class=\"saved\">saved</span>";
    case FileStatus::kNotSavedYet:
      return "<span class=\"missing\">not saved yet</span>";
    default:
      return "<span class=\"unreadable\">cannot be read</span>";
  }
}

void writeOverview(const std::vector<ListFile>& lists, OutputBuffer& page) {
  page << "<section id=\"overview\">\n<h2>Overview</h2>\n<table>\n<thead><tr><th>List</th>"
          "<th>File</th><th class=\"num\">States saved</th><th class=\"num\">Total</th>"
          "<th class=\"num\">Male</th><th class=\"num\">Female</th><th class=\"num\">Youth</th>"
          "</tr></thead>\n<tbody>\n";
  std::int64_t all_totals = 0;
  for (const ListFile& file : lists) {
    const std::size_t saved =
        static_cast<std::size_t>(std::count(file.saved.begin(), file.saved.end(), true));
    page << "<tr><td>" << std::int64_t{file.list->number} << "</td><td><code>"
         << file.list->file_name << "</code></td><td class=\"num\">" << saved << " of "
         << file.list->states.size() << "</td>";
    for (const std::int64_t sum : file.sums) page << numberCell(sum);
    page << "</tr>\n";
    if (file.state.saved()) all_totals += file.sums[kTotal];
  }
  page << "</tbody>\n<tfoot><tr><td colspan=\"3\">Sum of the totals of all saved lists</td>"
       << numberCell(all_totals) << "<td colspan=\"3\"></td></tr></tfoot>\n</table>\n"
       << "<p class=\"note\">The three lists hold 35 states and the Federal Capital Territory; "
          "Imo is on none of them.</p>\n</section>\n";
}

void writeList(const ListFile& file, const AllFindings& findings, OutputBuffer& page) {
  const StateList& list = *file.list;
  const std::string number = std::to_string(list.number);
  page << "<section id=\"list-" << number << "\">\n<h2>List " << number << ": <code>"
       << list.file_name << "</code></h2>\n<div class=\"pair\">\n<table>\n<thead><tr>"
       << "<th class=\"num\">#</th><th>State</th><th>Label</th><th class=\"num\">Total</th>"
          "<th class=\"num\">Male</th><th class=\"num\">Female</th><th class=\"num\">Youth</th>"
          "<th class=\"num\">Male share</th><th class=\"num\">Youth share</th></tr></thead>\n"
          "<tbody>\n";
  BarChart chart{"chart-list-" + number,
                 "Population of the states of list " + number,
                 "Horizontal bars, one per state of " + std::string(list.file_name) +
                     " in file order: the dark part is the male population, the hatched part "
                     "the female population, the red tick the youth population; the table "
                     "beside the chart gives every figure.",
                 {},
                 {{"male", "Male"}, {"hatched", "Female"}, {"marker", "Youth", true}}};
  std::size_t position = 0;
  for (const ListRecord& entry : file.records) {
    const PopulationFigures& f = entry.record.figures;
    const StateEntry* state = stateWithLabel(list, entry.record.label);
    page << "<tr><td class=\"num\">" << ++position << "</td><td>"
         << (state != nullptr ? escapeMarkup(state->iso_name) : "&ndash;") << "</td><td>"
         << fileText(entry.record.label, kMostLabelCharacters)
         << flagFor(findings, list.file_name, entry.line) << "</td>";
    for (const std::int32_t figure : f) page << numberCell(figure);
    page << "<td class=\"num\">" << share(f[kMale], f[kTotal]) << "</td><td class=\"num\">"
         << share(f[kYouth], f[kTotal]) << "</td></tr>\n";
    chart.bars.push_back({state != nullptr
                              ? std::string(state->iso_name)
                              : utf8Cut(visibleText(entry.record.label), kMostChartLabelCharacters),
                          {{f[kMale], "male"}, {f[kFemale], "hatched"}},
                          f[kYouth],
                          withThousands(f[kTotal])});
  }
  page << "</tbody>\n<tfoot><tr><td colspan=\"3\">Sum</td>";
  for (const std::int64_t sum : file.sums) page << numberCell(sum);
  page << "<td class=\"num\">" << share(file.sums[kMale], file.sums[kTotal])
       << "</td><td class=\"num\">" << share(file.sums[kYouth], file.sums[kTotal])
       << "</td></tr></tfoot>\n</table>\n"
       << drawBarChart(chart) << "\n</div>\n";
  if (file.records_in_file > file.records.size()) {
    page << "<p class=\"note\">The first " << file.records.size() << " records are shown; "
         << withThousands(static_cast<std::int64_t>(file.records_in_file - file.records.size()))
         << " more are not, but the sums hold them all.</p>\n";
  }
  page << "</section>\n";
}

struct GridSummary {
  FileState state;
  std::size_t rows = 0;
  std::array<std::int64_t, kGridColumnCount> sums{};
  std::array<std::int32_t, kGridColumnCount> least{};
  std::array<std::int32_t, kGridColumnCount> greatest{};
  std::vector<std::pair<std::size_t, CensusGridRow>> first_rows;  // with their line numbers
};

// The grid's column summaries and first rows, checked on the way.
class GridReading final : public CensusGridSink {
 public:
  explicit GridReading(CensusGridCheck& check) : check_(check) {
    grid_.least.fill(std::numeric_limits<std::int32_t>::max());
    grid_.greatest.fill(std::numeric_limits<std::int32_t>::min());
  }

  void onRow(std::size_t number, std::string_view text, const CensusGridRow& row,
             const IntegerReading& reading) override {
    check_.onRow(number, text, row, reading);
    ++grid_.rows;
    for (std::size_t c = 0; c < kGridColumnCount; ++c) {
      grid_.sums[c] += row[c];
      grid_.least[c] = std::min(grid_.least[c], row[c]);
      grid_.greatest[c] = std::max(grid_.greatest[c], row[c]);
    }
    if (grid_.first_rows.size() < kGridRowsShown) grid_.first_rows.emplace_back(number, row);
  }

  GridSummary finish(FileState state) {
    check_.finish(state);
    grid_.state = std::move(state);
    return std::move(grid_);
  }

 private:
  CensusGridCheck& check_;
  GridSummary grid_;
};

// The facility record's first lines, checked on the way.
struct FacilityLines {
  FileState state;
  std::vector<std::string> lines;
};

class FacilityReading final : public FacilitySink {
 public:
  explicit FacilityReading(FacilityCheck& check) : check_(check) {}

  void onLine(std::size_t number, std::string_view text) override {
    check_.onLine(number, text);
    constexpr std::size_t kMostLinesKept = 100;
    if (facility_.lines.size() < kMostLinesKept) facility_.lines.emplace_back(text);
  }

  FacilityLines finish(FileState state) {
    check_.finish(state);
    facility_.state = std::move(state);
    return std::move(facility_);
  }

 private:
  FacilityCheck& check_;
  FacilityLines facility_;
};

void writeGrid(const GridSummary& grid, const AllFindings& findings, OutputBuffer& page) {
  const auto& states = stateList(1).states;
  page << "<section id=\"grid\">\n<h2>Census grid: <code>" << kCensusGridFileName
       << "</code></h2>\n<p>" << withThousands(static_cast<std::int64_t>(grid.rows))
       << (grid.rows == 1 ? " row" : " rows") << ", one value for each state of list 1.</p>\n"
       << "<div class=\"pair\">\n<table>\n<thead><tr><th class=\"num\">Column</th><th>State</th>"
          "<th class=\"num\">Sum</th><th class=\"num\">Least</th><th class=\"num\">Greatest</th>"
          "</tr></thead>\n<tbody>\n";
  for (std::size_t c = 0; c < kGridColumnCount; ++c) {
    page << "<tr><td class=\"num\">" << c + 1 << "</td><td>" << escapeMarkup(states[c].iso_name)
         << "</td>" << numberCell(grid.sums[c]);
    if (grid.rows > 0) {
      page << numberCell(grid.least[c]) << numberCell(grid.greatest[c]);
    } else {
      page << "<td class=\"num\">&ndash;</td><td class=\"num\">&ndash;</td>";
    }
    page << "</tr>\n";
  }
  page << "</tbody>\n</table>\n";
  if (!grid.first_rows.empty()) {
    BarChart chart{"chart-grid",
                   "The first row of the census grid",
                   "Horizontal bars, one per state of list 1, of the values of the first row "
                   "of " +
                       std::string(kCensusGridFileName) + "; the table below gives them all.",
                   {},
                   {{"value", "Row 1"}}};
    for (std::size_t c = 0; c < kGridColumnCount; ++c) {
      const std::int32_t value = grid.first_rows.front().second[c];
      chart.bars.push_back({std::string(states[c].iso_name),
                            {{value, "value"}},
                            std::nullopt,
                            withThousands(value)});
    }
    page << drawBarChart(chart) << "\n";
  }
  page << "</div>\n";
  if (!grid.first_rows.empty()) {
    page << "<div class=\"wide\">\n<table class=\"grid-rows\">\n<thead><tr><th "
            "class=\"num\">Row</th>";
    for (const StateEntry& state : states)
      page << "<th class=\"num\">" << state.iso_code << "</th>";
    page << "</tr></thead>\n<tbody>\n";
    for (const auto& [line, row] : grid.first_rows) {
      page << "<tr><td class=\"num\">" << line << flagFor(findings, kCensusGridFileName, line)
           << "</td>";
      for (const std::int32_t value : row) page << numberCell(value);
      page << "</tr>\n";
    }
    page << "</tbody>\n</table>\n</div>\n";
  }
  if (grid.rows > grid.first_rows.size()) {
    page << "<p class=\"note\">The first " << grid.first_rows.size() << " rows are shown; "
         << withThousands(static_cast<std::int64_t>(grid.rows - grid.first_rows.size()))
         << " more are not.</p>\n";
  }
  page << "</section>\n";
}

void writeFacility(const FacilityLines& facility, const AllFindings& findings, OutputBuffer& page) {
  page << "<section id=\"facility\">\n<h2>Facility record: <code>" << kFacilityFileName
       << "</code></h2>\n<table>\n<thead><tr><th>Caption</th><th>Answer</th></tr></thead>\n"
          "<tbody>\n";
  std::size_t line_number = 0;
  for (const std::string& line : facility.lines) {
    const FacilityLine split = splitFacilityLine(line);
    page << "<tr><td>" << fileText(split.caption, kMostAnswerCharacters)
         << flagFor(findings, kFacilityFileName, ++line_number) << "</td><td>"
         << fileText(split.answer, kMostAnswerCharacters) << "</td></tr>\n";
  }
  page << "</tbody>\n</table>\n</section>\n";
}

void writeProblems(const CheckSummary& summary, const AllFindings& findings, OutputBuffer& page) {
  page << "<section id=\"problems\">\n<h2>Problems</h2>\n<p>"
       << escapeMarkup(formatSummary(summary)) << "</p>\n";
  for (const auto& [name, state] : summary.files) {
    const auto found = findings.find(name);
    if (found == findings.end()) continue;
    page << "<h3><code>" << name << "</code></h3>\n<ol>\n";
    for (std::size_t i = 0; i < found->second.shown.size(); ++i) {
      const Finding& finding = found->second.shown[i];
      const bool error = ruleSeverity(finding.rule) == Severity::kError;
      page << "<li id=\"" << anchorOf(name, i) << "\" class=\"" << (error ? "error" : "warning")
           << "\"><code><bdi>" << escapeMarkup(formatFinding(finding)) << "</bdi></code></li>\n";
    }
    page << "</ol>\n";
    if (found->second.more > 0) {
      page << "<p class=\"note\">" << withThousands(static_cast<std::int64_t>(found->second.more))
           << " more findings in this file are not shown: <code>census check</code> lists them "
              "all.</p>\n";
    }
  }
  if (summary.errors + summary.warnings == 0) page << "<p>No problems found.</p>\n";
  page << "</section>\n";
}

// Where a history is kept: its ten newest saves, and what each changed.
void writeLastSaves(FileSystem& files, OutputBuffer& page) {
  constexpr std::size_t kSavesShown = 10;
  std::vector<std::string> shown;
  const HistoryScan history = visitNewestFirst(files, [&](const HistoryEntry& entry) {
    shown.push_back(fileText(describeEntry(files, entry), 400));
    return shown.size() < kSavesShown;
  });
  if (!history.kept) return;
  page << "<section id=\"saves\">\n<h2>Last saves</h2>\n";
  if (shown.empty()) page << "<p>No saves yet.</p>\n";
  page << "<ul>\n";
  for (const std::string& line : shown) page << "<li>" << line << "</li>\n";
  page << "</ul>\n</section>\n";
}

// The local time now, or at SOURCE_DATE_EPOCH where it is set, in ISO 8601
// with its offset from UTC: "2026-12-10T09:30:00+01:00".
}  // namespace

std::time_t outputMoment() {
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch != nullptr && *epoch != '\0') {
    return static_cast<std::time_t>(std::strtoll(epoch, nullptr, 10));
  }
  return std::time(nullptr);
}

namespace {

std::string localTimeIso8601() {
  const std::time_t now = outputMoment();
  const std::tm local = localTime(now);
  std::tm utc = utcTime(now);
  // The offset from UTC: the local time read back as if it were UTC.
  utc.tm_isdst = local.tm_isdst;
  std::tm local_copy = local;
  const long offset = static_cast<long>(std::difftime(std::mktime(&local_copy), std::mktime(&utc)));
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  const int minutes = static_cast<int>((offset < 0 ? -offset : offset) / 60 % (24 * 60));
  char zone[8];
  std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
  return std::string(text) + zone;
}

}  // namespace

ReportOrigin reportOriginNow() {
  std::error_code ignored;
  const std::u8string directory = std::filesystem::current_path(ignored).u8string();
  return {std::string(directory.begin(), directory.end()), localTimeIso8601()};
}

CheckSummary writeReport(FileSystem& files, const ReportOrigin& origin, std::ostream& out) {
  // Each file is read once: its tables and its findings come from that read.
  CheckSummary summary;
  AllFindings findings;
  const FindingHandler keep = [&](const Finding& finding) { keepFinding(findings, finding); };
  std::vector<ListFile> lists;
  for (const StateList& list : stateLists()) {
    PopulationCheck check(list, summary, keep);
    ListReading reading(list, check);
    lists.push_back(reading.finish(readPopulationFile(files, list, reading)));
  }
  CensusGridCheck grid_check(summary, keep);
  GridReading grid_reading(grid_check);
  const GridSummary grid = grid_reading.finish(readCensusGridFile(files, grid_reading));
  FacilityCheck facility_check(summary, keep);
  FacilityReading facility_reading(facility_check);
  const FacilityLines facility = facility_reading.finish(readFacilityFile(files, facility_reading));

  OutputBuffer page(out);
  page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
          "<title>census report: population figures of Nigerian states</title>\n<style>"
       << kStyle << "</style>\n</head>\n<body>\n<header>\n"
       << "<h1>Population figures of Nigerian states</h1>\n<p class=\"meta\">Working directory "
       << "<code>" << fileText(origin.directory, kMostAnswerCharacters)
       << "</code>, made <time datetime=\"" << origin.made << "\">" << origin.made
       << "</time>.</p>\n<ul>\n";
  for (const ListFile& file : lists) {
    page << "<li><code>" << file.list->file_name << "</code> (list "
         << std::int64_t{file.list->number} << "): " << stateText(file.state) << "</li>\n";
  }
  page << "<li><code>" << kCensusGridFileName << "</code> (census grid): " << stateText(grid.state)
       << "</li>\n";
  page << "<li><code>" << kFacilityFileName
       << "</code> (facility record): " << stateText(facility.state)
       << "</li>\n</ul>\n</header>\n<main>\n";
  writeOverview(lists, page);
  for (const ListFile& file : lists) {
    if (file.state.saved()) writeList(file, findings, page);
  }
  if (grid.state.saved()) writeGrid(grid, findings, page);
  if (facility.state.saved()) writeFacility(facility, findings, page);
  writeLastSaves(files, page);
  writeProblems(summary, findings, page);
  page << "</main>\n</body>\n</html>\n";
  page.flush();
  return summary;
}

std::string sourceDateEpochProblem() {
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  if (epoch == nullptr || *epoch == '\0') return "";
  const std::string_view text(epoch);
  // The end of the year 3000, the last moment the Windows C library can
  // turn into a calendar time.
  constexpr std::int64_t kLastMoment = 32535215999;
  std::int64_t seconds = 0;
  const bool digits = text.size() <= 12 && std::all_of(text.begin(), text.end(),
                                                       [](char c) { return c >= '0' && c <= '9'; });
  if (digits) {
    for (const char c : text) seconds = 10 * seconds + (c - '0');
  }
  if (digits && seconds <= kLastMoment) return "";
  return "SOURCE_DATE_EPOCH is not a whole number of seconds since 1970 (up to the year 3000): " +
         quotedForScreen(text);
}

int runReport(FileSystem& files, const std::string& output_file, std::ostream& out,
              std::ostream& errors) {
  const ReportOrigin origin = reportOriginNow();
  // A page that cannot show every file is not saved over the last whole one.
  const auto write = [&](std::ostream& page) {
    const CheckSummary summary = writeReport(files, origin, page);
    for (const auto& [name, state] : summary.files) {
      if (state.unreadable()) errors << cannotReadLine(name, state);
    }
    return summary.anyUnreadable() ? kExitFailure : kExitSuccess;
  };
  if (output_file == "-") return write(out);
  const std::string name = output_file.empty() ? std::string(kDefaultReportName) : output_file;
  if (const int status = writeOutputFile(files, name, write, errors); status != kExitSuccess) {
    return status;
  }
  // Where the page went to standard output itself, it is all that is said there.
  if (files.descriptorNamed(name) != 1) out << safeForScreen(name) << "\n";
  return kExitSuccess;
}

}  // namespace census
