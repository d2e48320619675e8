// `census check`: every problem in the five data files, said where it is.
// The files are read as the dialogue's listings read them (the same line
// readers); the check adds the judgement: an error where a file does not say
// what its listing shows or does not match its list, a warning where the
// figures are read as written but are doubtful. Nothing is ever written.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/exit_status.h"
#include "records/census_grid_file.h"
#include "records/data_file.h"
#include "records/facility_file.h"
#include "records/population_file.h"
#include "records/state_lists.h"
#include "save/file_system.h"

namespace census {

enum class Severity { kError, kWarning };

// Every rule of the check once: its name in the code, its stable code in
// findings and in the summary, and its severity. The order is the
// summary's.
#define CENSUS_FOREACH_CHECK_RULE(RULE)               \
  RULE(kNotANumber, "not-a-number", kError)           \
  RULE(kOutOfRange, "out-of-range", kError)           \
  RULE(kMissingFigures, "missing-figures", kError)    \
  RULE(kShortRow, "short-row", kError)                \
  RULE(kWrongState, "wrong-state", kError)            \
  RULE(kMissingStates, "missing-states", kError)      \
  RULE(kExtraLines, "extra-lines", kError)            \
  RULE(kFacilityRecord, "facility-record", kError)    \
  RULE(kUnreadable, "unreadable", kError)             \
  RULE(kSameFile, "same-file", kError)                \
  RULE(kHistoryLine, "history-line", kError)          \
  RULE(kSexSum, "sex-sum", kWarning)                  \
  RULE(kYouthOverTotal, "youth-over-total", kWarning) \
  RULE(kNegative, "negative", kWarning)               \
  RULE(kTrailingText, "trailing-text", kWarning)      \
  RULE(kBlankLine, "blank-line", kWarning)            \
  RULE(kByteOrderMark, "byte-order-mark", kWarning)   \
  RULE(kNotUtf8, "not-utf-8", kWarning)               \
  RULE(kTornHistory, "torn-history", kWarning)

enum class Rule : std::size_t {
#define CENSUS_RULE_NAME(name, code, severity) name,
  CENSUS_FOREACH_CHECK_RULE(CENSUS_RULE_NAME)
#undef CENSUS_RULE_NAME
};

#define CENSUS_RULE_ONE(name, code, severity) +1
inline constexpr std::size_t kRuleCount = 0 CENSUS_FOREACH_CHECK_RULE(CENSUS_RULE_ONE);
#undef CENSUS_RULE_ONE

// Whether findings of the rule are errors or warnings.
Severity ruleSeverity(Rule rule);

// "not-a-number", "sex-sum", ...: the stable code a finding ends with.
std::string_view ruleCode(Rule rule);

struct Finding {
  std::string_view file;
  std::size_t line = 0;    // 1-based; 0 where the whole file is at fault
  std::size_t column = 0;  // 1-based; 0 where no single word is
  Rule rule = Rule::kNotANumber;
  std::string message;
};

using FindingHandler = std::function<void(const Finding&)>;

// "datas.dat:3:7: error: '12abc' is not a whole number; ... [not-a-number]"
std::string formatFinding(const Finding& finding);

// What the check found, file by file.
struct CheckSummary {
  std::vector<std::pair<std::string_view, FileState>> files;  // in check order
  std::array<std::size_t, kRuleCount> counts{};               // findings per rule
  std::size_t errors = 0;
  std::size_t warnings = 0;

  bool anyUnreadable() const;
};

// The check of one data file, as a sink of the file's reader: it judges
// each line as it is handed on, and finish judges the file as a whole once
// the reader has returned its state. Findings are counted in the summary
// and handed to on_finding in line order; both must outlive the check.
class PopulationCheck final : public PopulationSink {
 public:
  PopulationCheck(const StateList& list, CheckSummary& summary, const FindingHandler& on_finding);
  void onRecord(std::size_t line_number, const PopulationLine& line) override;
  void onBlankLine(std::size_t line_number, std::string_view text) override;
  void finish(const FileState& state);

 private:
  const StateList& list_;
  CheckSummary& summary_;
  const FindingHandler& on_finding_;
  std::array<bool, kMostStatesInAList> seen_{};
  std::array<std::string, kMostStatesInAList> other_case_;  // a label in other case, and its line
  std::size_t position_ = 0;  // of the next record: blank lines are skipped
};

class CensusGridCheck final : public CensusGridSink {
 public:
  CensusGridCheck(CheckSummary& summary, const FindingHandler& on_finding);
  void onRow(std::size_t number, std::string_view text, const CensusGridRow& row,
             const IntegerReading& reading) override;
  // Sixteen unsigned figures and blanks: nothing to find.
  bool skipsDigitRows() const override { return true; }
  void finish(const FileState& state);

 private:
  CheckSummary& summary_;
  const FindingHandler& on_finding_;
};

class FacilityCheck final : public FacilitySink {
 public:
  FacilityCheck(CheckSummary& summary, const FindingHandler& on_finding);
  void onLine(std::size_t number, std::string_view text) override;
  void finish(const FileState& state);

 private:
  CheckSummary& summary_;
  const FindingHandler& on_finding_;
  std::size_t lines_ = 0;
};

// Checks the data files in this order: population lists 1, 2 and 3, the
// census grid, the facility record; then, where a history is kept, that
// its log's last line is whole. Reads each file once, holding one line
// at a time, and calls on_finding for every finding, in file order and line
// order; returns the counts. A file that is not there is "not saved yet",
// not a problem; one that cannot be read is an error of its own.
CheckSummary checkDataFiles(FileSystem& files, const FindingHandler& on_finding);

// "census check: 2 errors (not-a-number 1, wrong-state 1), 1 warning
// (sex-sum 1); read datas.dat, cens-stat.dat; not saved yet: ..."
std::string formatSummary(const CheckSummary& summary);

// The command: every finding, one line each, then the summary line, on out;
// each file that cannot be read also on errors. Returns kExitFailure where
// there is any error, else kExitSuccess.
int runCheck(FileSystem& files, std::ostream& out, std::ostream& errors);

}  // namespace census
