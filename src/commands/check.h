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

namespace census {

enum class Severity { kError, kWarning };

// The rules, each with a stable code; the order of the summary.
enum class Rule : std::size_t {
  kNotANumber,
  kOutOfRange,
  kMissingFigures,
  kShortRow,
  kWrongState,
  kMissingStates,
  kExtraLines,
  kFacilityRecord,
  kUnreadable,
  kSexSum,
  kYouthOverTotal,
  kNegative,
  kTrailingText,
  kBlankLine,
};
inline constexpr std::size_t kRuleCount = 14;

// Whether findings of the rule are errors or warnings.
Severity ruleSeverity(Rule rule);

struct Finding {
  std::string_view file;
  std::size_t line = 0;    // 1-based; 0 where the whole file is at fault
  std::size_t column = 0;  // 1-based; 0 where no single word is
  Rule rule = Rule::kNotANumber;
  std::string message;
};

// "datas.dat:3:7: error: '12abc' is not a whole number; ... [not-a-number]"
std::string formatFinding(const Finding& finding);

// What the check found, file by file.
struct CheckSummary {
  enum class FileState { kRead, kNotSaved, kUnreadable };
  std::vector<std::pair<std::string_view, FileState>> files;  // in check order
  std::array<std::size_t, kRuleCount> counts{};               // findings per rule
  std::size_t errors = 0;
  std::size_t warnings = 0;
};

// Checks the data files of the working directory in this order: population
// lists 1, 2 and 3, the census grid, the facility record. Calls on_finding
// for every finding, in file order and line order, and returns the counts.
// A file that is not there is "not saved yet", not a problem. Reads each
// file once, holding one line at a time.
CheckSummary checkDataFiles(const std::function<void(const Finding&)>& on_finding);

// "census check: 2 errors (not-a-number 1, wrong-state 1), 1 warning
// (sex-sum 1); read datas.dat, cens-stat.dat; not saved yet: ..."
std::string formatSummary(const CheckSummary& summary);

// The command: every finding, one line each, then the summary line, on out.
// Returns 1 where there is any error, else 0.
int runCheck(std::ostream& out);

}  // namespace census
