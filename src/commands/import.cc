#include "commands/import.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <iterator>
#include <optional>
#include <sstream>
#include <vector>

#include "base/exit_status.h"
#include "base/line_fields.h"
#include "base/text.h"
#include "commands/command_files.h"
#include "commands/csv.h"
#include "records/population_file.h"
#include "records/state_lists.h"

namespace census {
namespace {

// A CSV of every figure of the three lists is a few kilobytes; this is
// plenty, and bounds what an import holds in memory.
constexpr std::size_t kMostImportBytes = 16 * 1024 * 1024;

// How a column of the CSV names a state of a list.
struct StateNaming {
  std::string_view column;
  std::string_view (*of)(const StateEntry& state);
};

constexpr std::array<StateNaming, 3> kNamings = {{
    {"label", [](const StateEntry& state) { return state.file_label; }},
    {"iso_code", [](const StateEntry& state) { return state.iso_code; }},
    {"state", [](const StateEntry& state) { return state.iso_name; }},
}};

constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

// Where each needed column stands in the rows.
struct Columns {
  std::size_t list = kNoColumn;
  std::array<std::size_t, kNamings.size()> namings;
  std::array<std::size_t, kFigureCount> figures;
  std::size_t count = 0;  // fields in the header
};

std::string trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return "";
  return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// A label exported behind an apostrophe, so no spreadsheet ran it, is the
// label without it.
std::string_view withoutFormulaGuard(std::string_view label) {
  if (label.size() > 1 && label[0] == '\'' &&
      std::string_view("=+-@").find(label[1]) != std::string_view::npos) {
    label.remove_prefix(1);
  }
  return label;
}

class Import {
 public:
  Import(const std::string& source, std::ostream& errors)
      : source_(safeForScreen(source)), errors_(errors) {}

  bool failed() const { return problems_ > 0; }

  // Says a problem, as long as no more than kMostProblemsListed have been.
  void error(std::size_t line, const std::string& message) {
    if (++problems_ <= kMostProblemsListed) {
      errors_ << source_ << ":" << line << ": error: " << message << "\n";
    }
  }

  // After the last problem: how many were not listed.
  void sayUnlisted() {
    if (problems_ <= kMostProblemsListed) return;
    errors_ << source_ << ": \u2026 and " << problems_ - kMostProblemsListed << " more\n";
  }

  // Finds the needed columns by the header's names; says which are missing.
  std::optional<Columns> readHeader(const CsvRecord& header) {
    Columns columns;
    columns.namings.fill(kNoColumn);
    columns.figures.fill(kNoColumn);
    columns.count = header.fields.size();
    bool twice = false;
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
      const std::string name = asciiLowered(trimmed(header.fields[i]));
      for (std::size_t j = 0; j < i && !name.empty(); ++j) {
        if (asciiLowered(trimmed(header.fields[j])) == name) {
          error(header.line, "the header names the column " + quotedForScreen(name) +
                                 " twice, as fields " + std::to_string(j + 1) + " and " +
                                 std::to_string(i + 1));
          twice = true;
        }
      }
    }
    if (twice) return std::nullopt;
    for (std::size_t i = header.fields.size(); i-- > 0;) {
      const std::string name = asciiLowered(trimmed(header.fields[i]));
      if (name == "list") columns.list = i;
      for (std::size_t n = 0; n < kNamings.size(); ++n) {
        if (name == kNamings[n].column) columns.namings[n] = i;
      }
      for (std::size_t f = 0; f < kFigureCount; ++f) {
        if (name == kFigureNames[f]) columns.figures[f] = i;
      }
    }
    std::vector<std::string> missing;
    if (columns.list == kNoColumn) missing.push_back("'list'");
    if (std::all_of(columns.namings.begin(), columns.namings.end(),
                    [](std::size_t c) { return c == kNoColumn; })) {
      missing.push_back("one of 'label', 'iso_code' and 'state'");
    }
    for (std::size_t f = 0; f < kFigureCount; ++f) {
      if (columns.figures[f] == kNoColumn)
        missing.push_back("'" + std::string(kFigureNames[f]) + "'");
    }
    for (const std::string& name : missing) error(header.line, "the header has no column " + name);
    if (!missing.empty()) return std::nullopt;
    return columns;
  }

  void readRow(const CsvRecord& row, const Columns& columns) {
    if (std::all_of(row.fields.begin(), row.fields.end(),
                    [](const std::string& field) { return trimmed(field).empty(); })) {
      return;
    }
    if (row.fields.size() < columns.count) {
      error(row.line, "the row has " + std::to_string(row.fields.size()) + " fields, the header " +
                          std::to_string(columns.count));
      return;
    }
    const std::string list_text = trimmed(row.fields[columns.list]);
    const std::optional<std::int32_t> number = parseWholeNumber(list_text);
    if (!number || *number < 1 || *number > static_cast<std::int32_t>(kStateListCount)) {
      error(row.line, "list " + quotedForScreen(list_text) + " is not 1, 2 or 3");
      return;
    }
    const StateList& list = stateList(*number);
    Entry& entry = lists_[static_cast<std::size_t>(list.number - 1)];
    if (entry.first_line == 0) entry.first_line = row.line;
    const std::optional<std::size_t> position = statePosition(row, columns, list);
    PopulationFigures figures{};
    bool figures_read = true;
    for (std::size_t f = 0; f < kFigureCount; ++f) {
      const std::string text = trimmed(row.fields[columns.figures[f]]);
      const std::optional<std::int32_t> value = parseWholeNumber(text);
      if (!value) {
        error(row.line, std::string(kFigureNames[f]) + " " + quotedForScreen(text) +
                            " is not a whole number within 32 bits");
        figures_read = false;
      }
      figures[f] = value.value_or(0);
    }
    if (!position) return;
    const std::size_t earlier = entry.lines[*position];
    if (earlier != 0) {
      error(row.line, "'" + std::string(list.states[*position].file_label) + "' of list " +
                          std::to_string(list.number) + " is given twice, first on line " +
                          std::to_string(earlier));
      return;
    }
    entry.lines[*position] = row.line;
    if (figures_read) entry.table[*position] = figures;
  }

  // After the last row: each list that appeared must be complete.
  void checkComplete() {
    for (const StateList& list : stateLists()) {
      const Entry& entry = lists_[static_cast<std::size_t>(list.number - 1)];
      if (entry.first_line == 0) continue;
      std::vector<std::string_view> missing;
      for (std::size_t i = 0; i < list.states.size(); ++i) {
        if (entry.lines[i] == 0) missing.push_back(list.states[i].file_label);
      }
      if (missing.empty()) continue;
      std::string names;
      for (const std::string_view name : missing)
        names += (names.empty() ? "" : ", ") + std::string(name);
      error(entry.first_line, "list " + std::to_string(list.number) + " lacks " +
                                  std::to_string(missing.size()) + " of its " +
                                  std::to_string(list.states.size()) + " states: " + names);
    }
  }

  // The figures of every list that appeared.
  ImportPlan plan() const {
    ImportPlan plan;
    plan.ok = !failed();
    for (std::size_t i = 0; i < kStateListCount; ++i) {
      if (lists_[i].first_line != 0) plan.lists[i] = lists_[i].table;
    }
    return plan;
  }

  bool anyList() const {
    return std::any_of(lists_.begin(), lists_.end(),
                       [](const Entry& e) { return e.first_line != 0; });
  }

 private:
  struct Entry {
    std::size_t first_line = 0;                           // 0: the list does not appear
    std::array<std::size_t, kMostStatesInAList> lines{};  // where each state was given
    FigureTable table{};
  };

  // The position of the state that the row's naming columns name.
  std::optional<std::size_t> statePosition(const CsvRecord& row, const Columns& columns,
                                           const StateList& list) {
    std::optional<std::size_t> position;
    std::string first_name;
    for (std::size_t n = 0; n < kNamings.size(); ++n) {
      if (columns.namings[n] == kNoColumn) continue;
      std::string name = trimmed(row.fields[columns.namings[n]]);
      if (name.empty()) continue;
      if (n == 0) name = std::string(withoutFormulaGuard(name));
      const auto found =
          std::find_if(list.states.begin(), list.states.end(),
                       [&](const StateEntry& s) { return kNamings[n].of(s) == name; });
      const std::string named = std::string(kNamings[n].column) + " " + quotedForScreen(name);
      if (found == list.states.end()) {
        error(row.line, named + " is no state of list " + std::to_string(list.number));
        return std::nullopt;
      }
      const std::size_t at = static_cast<std::size_t>(found - list.states.begin());
      if (position && *position != at) {
        error(row.line, first_name + " and " + named + " name different states");
        return std::nullopt;
      }
      position = at;
      if (first_name.empty()) first_name = named;
    }
    if (!position) error(row.line, "the row names no state");
    return position;
  }

  static constexpr std::size_t kMostProblemsListed = 100;

  std::string source_;
  std::ostream& errors_;
  std::size_t problems_ = 0;
  std::array<Entry, kStateListCount> lists_;
};

}  // namespace

ImportPlan planImport(std::string_view text, const std::string& source, std::ostream& errors) {
  Import import(source, errors);
  const std::string csv = csvTextAsUtf8(text);
  CsvReader reader(csv, csvSeparator(csv));
  CsvRecord record;
  std::optional<Columns> columns;
  if (reader.next(record)) {
    columns = import.readHeader(record);
  } else if (reader.error().empty()) {
    import.error(1, "the file is empty; it needs a header and a row per state");
  }
  while (reader.next(record)) {
    if (columns) import.readRow(record, *columns);
  }
  if (!reader.error().empty()) import.error(record.line, reader.error());
  if (columns) {
    import.checkComplete();
    if (!import.anyList() && !import.failed()) import.error(record.line, "no rows to import");
  }
  import.sayUnlisted();
  return import.plan();
}

std::vector<FileReplacement> importReplacements(const ImportPlan& plan) {
  std::vector<FileReplacement> saves;
  for (const StateList& list : stateLists()) {
    const auto& table = plan.lists[static_cast<std::size_t>(list.number - 1)];
    if (table) saves.push_back(populationFileReplacement(list, *table));
  }
  return saves;
}

int importCsv(FileSystem& files, std::string_view text, const std::string& source, bool dry_run,
              std::ostream& out, std::ostream& errors) {
  const ImportPlan plan = planImport(text, source, errors);
  if (!plan.ok) return kExitFailure;
  if (!saveDataFiles(files, importReplacements(plan), dry_run, errors)) return kExitFailure;
  for (const StateList& list : stateLists()) {
    if (!plan.lists[static_cast<std::size_t>(list.number - 1)]) continue;
    out << list.file_name << ": " << list.states.size()
        << (dry_run ? " states checked, not saved\n" : " states saved\n");
  }
  out << "The figures are not judged here: run 'census check' for its warnings.\n";
  return kExitSuccess;
}

int runImport(FileSystem& files, const std::string& input, bool dry_run, std::istream& in,
              std::ostream& out, std::ostream& errors) {
  std::string text;
  const std::string source = input == "-" ? "<stdin>" : input;
  bool whole = true;
  if (input == "-") {
    // One byte more than is allowed tells a CSV that is too large.
    text.resize(kMostImportBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    whole = text.size() <= kMostImportBytes;
  } else {
    std::string reason;
    if (!readWholeFile(files, input, &text, &reason, kMostImportBytes + 1)) {
      errors << "census: " << safeForScreen(input) << ": " << reason << "\n";
      return kExitUsage;
    }
    whole = text.size() <= kMostImportBytes;
  }
  if (!whole) {
    errors << "census: " << safeForScreen(source)
           << ": larger than 16 MiB, which no census CSV is (all the figures of the three lists "
              "take a few kilobytes); nothing was read further\n";
    return kExitFailure;
  }
  return importCsv(files, text, source, dry_run, out, errors);
}

}  // namespace census
