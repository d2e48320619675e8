#include "commands/check.h"

#include <algorithm>
#include <span>
#include <vector>

#include "base/decimal.h"
#include "base/line_fields.h"
#include "base/output_buffer.h"
#include "base/text.h"
#include "commands/command_files.h"
#include "records/census_grid_file.h"
#include "records/facility_file.h"
#include "records/history.h"
#include "records/population_file.h"
#include "records/state_lists.h"

namespace census {
namespace {

struct RuleInfo {
  std::string_view code;
  Severity severity;
};

// Indexed by Rule.
constexpr std::array<RuleInfo, kRuleCount> kRules = {{
#define CENSUS_RULE_INFO(name, code, severity) {code, Severity::severity},
    CENSUS_FOREACH_CHECK_RULE(CENSUS_RULE_INFO)
#undef CENSUS_RULE_INFO
}};

// A word from a file, safe on any screen.
std::string quoted(std::string_view text) { return quotedForScreen(text); }

// A text of the program's own, whole.
std::string quotedOwn(std::string_view text) { return "'" + std::string(text) + "'"; }

// Joins items as "a", "a and b", "a, b and c".
std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i];
  }
  return text;
}

// Counts findings and hands them on.
class Reporter {
 public:
  Reporter(std::string_view file, CheckSummary& summary,
           const std::function<void(const Finding&)>& on_finding)
      : file_(file), summary_(summary), on_finding_(on_finding) {}

  void report(std::size_t line, std::size_t column, Rule rule, std::string message) {
    ++summary_.counts[static_cast<std::size_t>(rule)];
    ++(ruleSeverity(rule) == Severity::kError ? summary_.errors : summary_.warnings);
    on_finding_(Finding{file_, line, column, rule, std::move(message)});
  }

 private:
  std::string_view file_;
  CheckSummary& summary_;
  const std::function<void(const Finding&)>& on_finding_;
};

// How one kind of line names the integers it holds.
struct IntegerNames {
  std::string_view noun;               // "figure" or "value"
  std::string (*name)(std::size_t i);  // of the i-th (0-based): "male", "column 3 (Kwara)"
  bool names_runs;  // whether a run of them is named by its ends: "columns 4 to 16"
};

// The integers from first to the last of count, by name.
std::string namesFrom(const IntegerNames& names, std::size_t first, std::size_t count) {
  if (names.names_runs && first + 1 < count) {
    return "columns " + number(static_cast<std::int64_t>(first + 1)) + " to " +
           number(static_cast<std::int64_t>(count));
  }
  std::vector<std::string> named;
  for (std::size_t i = first; i < count; ++i) named.push_back(names.name(i));
  return joined(named);
}

// The integers of a line as the listing reads them, judged: returns false
// where they are not what the file says (one finding, at the first fault).
bool judgeIntegers(Reporter& reporter, std::size_t line_number, const IntegerReading& reading,
                   std::span<const std::int32_t> values, std::span<const std::size_t> columns,
                   const IntegerNames& names, Rule missing_rule) {
  const std::size_t count = values.size();
  const bool stopped = reading.problem != FieldProblem::kNone;
  const std::string after_it = " and 0 for the " + std::string(names.noun) + "s after it";
  if (!reading.all_whole && (!stopped || reading.first_part.column <= reading.stop.column)) {
    // A word the listing takes in part ("12abc", "1,200", "12-5").
    const WordSpot word = reading.first_part;
    std::vector<std::string> read;
    std::size_t last = 0;
    for (std::size_t i = 0; i < reading.read; ++i) {
      if (columns[i] >= word.column && columns[i] < word.column + word.word.size()) {
        read.push_back(number(values[i]));
        last = i;
      }
    }
    const bool stopped_here = stopped && reading.stop.column == word.column;
    reporter.report(line_number, word.column + 1, Rule::kNotANumber,
                    quoted(word.word) + " is not a whole number; the listing reads " +
                        joined(read) + (stopped_here && last + 1 < count ? after_it : ""));
    return false;
  }
  if (!stopped) return true;
  const std::size_t failed = reading.read;
  const std::string zero_from_here =
      failed + 1 < count ? "0 for it and the " + std::string(names.noun) + "s after it"
                         : "0 for it";
  switch (reading.problem) {
    case FieldProblem::kNotANumber:
      reporter.report(line_number, reading.stop.column + 1, Rule::kNotANumber,
                      quoted(reading.stop.word) + " is not a whole number; the listing reads " +
                          zero_from_here);
      break;
    case FieldProblem::kOutOfRange:
      reporter.report(line_number, reading.stop.column + 1, Rule::kOutOfRange,
                      quoted(reading.stop.word) +
                          " lies outside the 32-bit range; the listing reads " + zero_from_here);
      break;
    default:
      reporter.report(line_number, 0, missing_rule,
                      "only " + number(static_cast<std::int64_t>(failed)) + " of " +
                          number(static_cast<std::int64_t>(count)) + " " + std::string(names.noun) +
                          "s; the listing reads 0 for " + namesFrom(names, failed, count));
  }
  return false;
}

void judgeTrailing(Reporter& reporter, std::size_t line_number, const WordSpot& trailing,
                   std::string_view last_name) {
  if (trailing.word.empty()) return;
  reporter.report(line_number, trailing.column + 1, Rule::kTrailingText,
                  "text after the " + std::string(last_name) + ", " + quoted(trailing.word) +
                      ", which the listing ignores");
}

void judgeNegatives(Reporter& reporter, std::size_t line_number,
                    std::span<const std::int32_t> values, std::span<const std::size_t> columns,
                    const IntegerNames& names) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i] < 0) {
      reporter.report(line_number, columns[i] + 1, Rule::kNegative,
                      "negative " + names.name(i) + " " + number(values[i]));
    }
  }
}

// A byte order mark at the start of a file, and bytes that are not UTF-8,
// which the listing shows as they are and every other output reads as
// Windows-1252.
void judgeEncoding(Reporter& reporter, std::size_t line_number, std::string_view text) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (line_number == 1 && text.starts_with(kByteOrderMark)) {
    LineFields fields(text);
    reporter.report(1, 1, Rule::kByteOrderMark,
                    "a byte order mark (as Notepad writes) begins the file; the listing reads "
                    "it as part of " +
                        quoted(fields.nextWord()));
  }
  const std::size_t at = firstNonUtf8Byte(text);
  if (at == std::string_view::npos) return;
  const std::size_t begin =
      text.find_last_of(" \t", at) == std::string_view::npos ? 0 : text.find_last_of(" \t", at) + 1;
  const std::size_t end = std::min(text.find_first_of(" \t", at), text.size());
  static constexpr char kHex[] = "0123456789ABCDEF";
  const unsigned char byte = static_cast<unsigned char>(text[at]);
  reporter.report(line_number, at + 1, Rule::kNotUtf8,
                  std::string("byte 0x") + kHex[byte >> 4] + kHex[byte & 0xF] +
                      " is not UTF-8; exports and reports read it as Windows-1252: " +
                      quoted(text.substr(begin, end - begin)));
}

// Notes the file's state in the summary; one that cannot be read, or not
// to its end, is a finding of its own.
void noteFileState(std::string_view name, const FileState& state, Reporter& reporter,
                   CheckSummary& summary) {
  summary.files.emplace_back(name, state);
  if (!state.unreadable()) return;
  reporter.report(
      0, 0, Rule::kUnreadable,
      (state.read_in_part ? "cannot be read to its end: " : "cannot be read: ") + state.reason);
}

const IntegerNames kFigureNamesForCheck = {
    "figure", [](std::size_t i) { return std::string(kFigureNames[i]); }, false};

std::string stateRef(const StateList& list, std::size_t position) {
  return "state " + number(static_cast<std::int64_t>(position + 1)) + " of list " +
         number(list.number) + ", " + quoted(list.states[position].file_label);
}

void judgeLabel(Reporter& reporter, std::size_t line_number, const StateList& list,
                std::size_t position, const WordSpot& label, std::span<const bool> seen) {
  const std::size_t size = list.states.size();
  const std::string expected = stateRef(list, position);
  const std::size_t found = positionOfLabel(list, label.word);
  std::string message;
  const std::size_t other_case = positionOfLabelInAnyCase(list, label.word);
  if (found == size && other_case < size) {
    message = quoted(label.word) + " is not a label of list " + number(list.number) + ", though " +
              quoted(list.states[other_case].file_label) +
              " is: labels are told apart by their case; here belongs " + expected;
  } else if (found == size) {
    message = quoted(label.word) + " is not a label of list " + number(list.number) +
              "; here belongs " + expected;
  } else if (seen[found]) {
    message = quoted(label.word) + " stands twice; here belongs " + expected;
  } else {
    message = quoted(label.word) + " is state " + number(static_cast<std::int64_t>(found + 1)) +
              " of list " + number(list.number) + ", out of place; here belongs " + expected;
  }
  reporter.report(line_number, label.column + 1, Rule::kWrongState,
                  message + "; the listing shows the row as it stands");
}

// The figures as the listing reads them. Where one is at fault, the
// negative figures read before it are still said; the sums are judged only
// where all four were read.
void judgeFigures(Reporter& reporter, std::size_t line_number, const PopulationLine& line) {
  const bool whole = judgeIntegers(reporter, line_number, line.reading, line.figures, line.columns,
                                   kFigureNamesForCheck, Rule::kMissingFigures);
  judgeNegatives(reporter, line_number, std::span(line.figures).first(line.reading.read),
                 line.columns, kFigureNamesForCheck);
  if (!whole) return;
  judgeTrailing(reporter, line_number, line.trailing, "youth figure");
  const std::int64_t male = line.figures[kMale];
  const std::int64_t female = line.figures[kFemale];
  if (male + female != line.figures[kTotal]) {
    reporter.report(line_number, 0, Rule::kSexSum,
                    "male " + number(male) + " + female " + number(female) + " = " +
                        number(male + female) + ", not the total " + number(line.figures[kTotal]));
  }
  if (line.figures[kYouth] > line.figures[kTotal]) {
    reporter.report(line_number, 0, Rule::kYouthOverTotal,
                    "youth " + number(line.figures[kYouth]) + " exceeds the total " +
                        number(line.figures[kTotal]));
  }
}

std::string gridColumnName(std::size_t i) {
  return "column " + number(static_cast<std::int64_t>(i + 1)) + " (" +
         std::string(stateList(1).states[i].file_label) + ")";
}

const IntegerNames kGridNames = {"value", gridColumnName, true};

bool isBlank(std::string_view text) {
  return text.find_first_not_of(" \t\v\f\r") == std::string_view::npos;
}

std::string withoutTrailingBlank(std::string_view caption) {
  return std::string(caption.substr(0, caption.size() - 1));
}

std::string countOf(std::size_t count, std::string_view noun) {
  return number(static_cast<std::int64_t>(count)) + " " + std::string(noun) +
         (count == 1 ? "" : "s");
}

// "2 errors (not-a-number 1, wrong-state 1)"
std::string countsOf(const CheckSummary& summary, Severity severity) {
  const std::size_t total = severity == Severity::kError ? summary.errors : summary.warnings;
  std::string text = countOf(total, severity == Severity::kError ? "error" : "warning");
  std::vector<std::string> per_rule;
  for (std::size_t i = 0; i < kRuleCount; ++i) {
    if (kRules[i].severity == severity && summary.counts[i] > 0) {
      per_rule.push_back(std::string(kRules[i].code) + " " +
                         number(static_cast<std::int64_t>(summary.counts[i])));
    }
  }
  if (!per_rule.empty()) {
    text += " (";
    for (std::size_t i = 0; i < per_rule.size(); ++i) text += (i > 0 ? ", " : "") + per_rule[i];
    text += ")";
  }
  return text;
}

}  // namespace

Severity ruleSeverity(Rule rule) { return kRules[static_cast<std::size_t>(rule)].severity; }

std::string_view ruleCode(Rule rule) { return kRules[static_cast<std::size_t>(rule)].code; }

bool CheckSummary::anyUnreadable() const {
  return std::any_of(files.begin(), files.end(),
                     [](const auto& file) { return file.second.unreadable(); });
}

std::string formatFinding(const Finding& finding) {
  std::string text(finding.file);
  if (finding.line > 0) text += ":" + number(static_cast<std::int64_t>(finding.line));
  if (finding.column > 0) text += ":" + number(static_cast<std::int64_t>(finding.column));
  text += ruleSeverity(finding.rule) == Severity::kError ? ": error: " : ": warning: ";
  text += finding.message + " [" + std::string(ruleCode(finding.rule)) + "]";
  return text;
}

PopulationCheck::PopulationCheck(const StateList& list, CheckSummary& summary,
                                 const FindingHandler& on_finding)
    : list_(list), summary_(summary), on_finding_(on_finding) {}

void PopulationCheck::onBlankLine(std::size_t line_number, std::string_view text) {
  Reporter reporter(list_.file_name, summary_, on_finding_);
  judgeEncoding(reporter, line_number, text);
  reporter.report(line_number, 0, Rule::kBlankLine, "blank line, which the listing skips");
}

void PopulationCheck::onRecord(std::size_t line_number, const PopulationLine& line) {
  Reporter reporter(list_.file_name, summary_, on_finding_);
  const std::size_t size = list_.states.size();
  if (position_ >= size) {
    reporter.report(line_number, 0, Rule::kExtraLines,
                    "a line beyond the last state of list " + number(list_.number) + ", " +
                        quoted(list_.states[size - 1].file_label) +
                        "; the listing shows it as an extra row");
  } else if (line.label.word != list_.states[position_].file_label) {
    judgeLabel(reporter, line_number, list_, position_, line.label,
               std::span<const bool>(seen_.data(), size));
  }
  const std::size_t found = positionOfLabel(list_, line.label.word);
  if (found < size) seen_[found] = true;
  const std::size_t other_case = positionOfLabelInAnyCase(list_, line.label.word);
  if (found == size && other_case < size && other_case_[other_case].empty()) {
    other_case_[other_case] =
        quoted(line.label.word) + " on line " + number(static_cast<std::int64_t>(line_number));
  }
  ++position_;
  judgeEncoding(reporter, line_number, line.text);
  judgeFigures(reporter, line_number, line);
}

void PopulationCheck::finish(const FileState& state) {
  Reporter reporter(list_.file_name, summary_, on_finding_);
  noteFileState(list_.file_name, state, reporter, summary_);
  if (state.status == FileStatus::kNotSavedYet || (state.unreadable() && !state.read_in_part)) {
    return;
  }
  const std::size_t size = list_.states.size();
  std::vector<std::string> missing;
  for (std::size_t i = 0; i < size; ++i) {
    if (seen_[i]) continue;
    missing.push_back(std::string(list_.states[i].file_label));
    if (!other_case_[i].empty()) missing.back() += " (in other case, " + other_case_[i] + ")";
  }
  if (!missing.empty()) {
    reporter.report(0, 0, Rule::kMissingStates,
                    number(static_cast<std::int64_t>(missing.size())) + " of the " +
                        number(static_cast<std::int64_t>(size)) + " states of list " +
                        number(list_.number) + " missing: " + joined(missing) +
                        "; no line bears their labels");
  }
}

CensusGridCheck::CensusGridCheck(CheckSummary& summary, const FindingHandler& on_finding)
    : summary_(summary), on_finding_(on_finding) {}

void CensusGridCheck::onRow(std::size_t line_number, std::string_view text,
                            const CensusGridRow& row, const IntegerReading& reading) {
  // A plain line of sixteen values costs no more than its reading and a
  // look for a negative value; any other is read again with its columns.
  if (reading.plain &&
      std::none_of(row.begin(), row.end(), [](std::int32_t value) { return value < 0; })) {
    return;
  }
  Reporter reporter(kCensusGridFileName, summary_, on_finding_);
  if (isBlank(text)) {
    judgeEncoding(reporter, line_number, text);
    reporter.report(line_number, 0, Rule::kBlankLine,
                    "blank line, which the listing shows as a row of zeros");
    return;
  }
  judgeEncoding(reporter, line_number, text);
  std::array<std::size_t, kGridColumnCount> columns{};
  const CensusGridLine line = readCensusGridLine(text, columns.data());
  const bool whole = judgeIntegers(reporter, line_number, line.reading, line.row, columns,
                                   kGridNames, Rule::kShortRow);
  judgeNegatives(reporter, line_number, std::span(line.row).first(line.reading.read), columns,
                 kGridNames);
  if (whole) judgeTrailing(reporter, line_number, line.trailing, "sixteenth value");
}

void CensusGridCheck::finish(const FileState& state) {
  Reporter reporter(kCensusGridFileName, summary_, on_finding_);
  noteFileState(kCensusGridFileName, state, reporter, summary_);
}

FacilityCheck::FacilityCheck(CheckSummary& summary, const FindingHandler& on_finding)
    : summary_(summary), on_finding_(on_finding) {}

void FacilityCheck::onLine(std::size_t line_number, std::string_view text) {
  Reporter reporter(kFacilityFileName, summary_, on_finding_);
  judgeEncoding(reporter, line_number, text);
  lines_ = line_number;
  if (line_number > kFacilityAnswerCount) {
    reporter.report(line_number, 0, Rule::kFacilityRecord,
                    "a line beyond the sixth; the record has six lines");
    return;
  }
  const std::string caption = withoutTrailingBlank(kFacilityCaptions[line_number - 1]);
  if (text.starts_with(caption) && isBlank(text.substr(caption.size()))) {
    reporter.report(line_number, 0, Rule::kFacilityRecord,
                    "answer " + number(static_cast<std::int64_t>(line_number)) +
                        " is empty: the line has its caption and nothing after it");
  } else if (!text.starts_with(kFacilityCaptions[line_number - 1])) {
    reporter.report(line_number, 1, Rule::kFacilityRecord,
                    "the line does not begin with the caption of answer " +
                        number(static_cast<std::int64_t>(line_number)) + ", " +
                        quotedOwn(withoutTrailingBlank(kFacilityCaptions[line_number - 1])));
  }
}

void FacilityCheck::finish(const FileState& state) {
  Reporter reporter(kFacilityFileName, summary_, on_finding_);
  noteFileState(kFacilityFileName, state, reporter, summary_);
  if (lines_ < kFacilityAnswerCount && state.saved()) {
    reporter.report(
        0, 0, Rule::kFacilityRecord,
        "only " + number(static_cast<std::int64_t>(lines_)) + " of the 6 lines of the record");
  }
}

// A data file that is one file with another (a link) holds the figures of
// both lists, whichever was saved last.
void checkSharedFile(FileSystem& files, std::string_view name, CheckSummary& summary,
                     const FindingHandler& on_finding) {
  const std::string other = dataFileSharedWith(files, name);
  if (other.empty()) return;
  Reporter(name, summary, on_finding)
      .report(0, 0, Rule::kSameFile,
              "it is one file with " + other +
                  " (a link leads from one to the other), so each save of one overwrites the "
                  "other; no save writes it until each has a file of its own");
}

CheckSummary checkDataFiles(FileSystem& files, const FindingHandler& on_finding) {
  CheckSummary summary;
  for (const StateList& list : stateLists()) {
    checkSharedFile(files, list.file_name, summary, on_finding);
    PopulationCheck check(list, summary, on_finding);
    check.finish(readPopulationFile(files, list, check));
  }
  checkSharedFile(files, kCensusGridFileName, summary, on_finding);
  CensusGridCheck grid(summary, on_finding);
  grid.finish(readCensusGridFile(files, grid));
  checkSharedFile(files, kFacilityFileName, summary, on_finding);
  FacilityCheck facility(summary, on_finding);
  facility.finish(readFacilityFile(files, facility));
  Reporter log(kHistoryLog, summary, on_finding);
  const HistoryScan history = scanHistory(files, {}, [&](std::size_t line, const std::string& why) {
    log.report(line, 0, Rule::kHistoryLine,
               "this line of the history cannot be read: " + why + "; it is left out");
  });
  if (history.torn_line != 0) {
    Reporter reporter(kHistoryLog, summary, on_finding);
    reporter.report(history.torn_line, 0, Rule::kTornHistory,
                    "the last line of the history has no line end: cut short, it is ignored, "
                    "and the next save leaves it out");
  }
  return summary;
}

std::string formatSummary(const CheckSummary& summary) {
  constexpr std::array<std::pair<FileStatus, std::string_view>, 3> kGroups = {{
      {FileStatus::kSaved, "read"},
      {FileStatus::kUnreadable, "unreadable"},
      {FileStatus::kNotSavedYet, "not saved yet"},
  }};
  std::string text = "census check: " + countsOf(summary, Severity::kError) + ", " +
                     countsOf(summary, Severity::kWarning);
  for (const auto& [status, heading] : kGroups) {
    std::string names;
    for (const auto& [name, state] : summary.files) {
      if (state.status == status) names += (names.empty() ? "" : ", ") + std::string(name);
    }
    if (!names.empty()) text += "; " + std::string(heading) + ": " + names;
  }
  return text;
}

int runCheck(FileSystem& files, std::ostream& out, std::ostream& errors) {
  OutputBuffer buffer(out);
  const CheckSummary summary = checkDataFiles(
      files, [&](const Finding& finding) { buffer << formatFinding(finding) << '\n'; });
  buffer << formatSummary(summary) << '\n';
  buffer.flush();
  for (const auto& [name, state] : summary.files) {
    if (state.unreadable()) errors << cannotReadLine(name, state);
  }
  return summary.errors > 0 ? kExitFailure : kExitSuccess;
}

}  // namespace census
