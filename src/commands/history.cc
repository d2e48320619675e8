#include "commands/history.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>

#include "base/exit_status.h"
#include "base/line_fields.h"
#include "base/output_buffer.h"
#include "base/text.h"
#include "commands/command_files.h"
#include "commands/svg.h"
#include "records/facility_file.h"
#include "records/population_file.h"
#include "records/state_lists.h"

namespace census {
namespace {

constexpr std::size_t kMostChangesSaid = 3;

const StateList* listOfFile(std::string_view name) {
  for (const StateList& list : stateLists()) {
    if (list.file_name == name) return &list;
  }
  return nullptr;
}

std::vector<std::string_view> linesOf(std::string_view content) {
  std::vector<std::string_view> lines;
  while (!content.empty()) {
    const std::size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
  }
  return lines;
}

// Each state's figures as a file gives them, by position in its list.
std::vector<std::optional<PopulationFigures>> figuresByState(const StateList& list,
                                                             std::string_view content) {
  std::vector<std::optional<PopulationFigures>> figures(list.states.size());
  for (const std::string_view line : linesOf(content)) {
    const std::optional<PopulationRecord> record = parsePopulationLine(line);
    if (!record) continue;
    const std::size_t position = positionOfLabel(list, record->label);
    if (position < list.states.size() && !figures[position]) figures[position] = record->figures;
  }
  return figures;
}

// "2 states changed: Kano total 1,000,000 → 1,010,000, ..."
std::string listChanges(const StateList& list, std::string_view before, std::string_view after) {
  const auto old_figures = figuresByState(list, before);
  const auto new_figures = figuresByState(list, after);
  std::vector<std::string> changes;
  std::size_t states = 0;
  for (std::size_t p = 0; p < list.states.size(); ++p) {
    const std::string state(list.states[p].iso_name);
    if (old_figures[p] == new_figures[p]) continue;
    ++states;
    if (!old_figures[p] || !new_figures[p]) {
      changes.push_back(state + (new_figures[p] ? " given" : " taken out"));
      continue;
    }
    for (std::size_t f = 0; f < kFigureCount; ++f) {
      if ((*old_figures[p])[f] == (*new_figures[p])[f]) continue;
      changes.push_back(state + " " + std::string(kFigureNames[f]) + " " +
                        withThousands((*old_figures[p])[f]) + " \u2192 " +
                        withThousands((*new_figures[p])[f]));
    }
  }
  if (states == 0) return "figures unchanged";
  std::string text = std::to_string(states) + (states == 1 ? " state" : " states") + " changed: ";
  for (std::size_t i = 0; i < changes.size() && i < kMostChangesSaid; ++i) {
    text += (i > 0 ? ", " : "") + changes[i];
  }
  return text + (changes.size() > kMostChangesSaid ? ", \u2026" : "");
}

std::string facilityChanges(std::string_view before, std::string_view after) {
  const auto old_lines = linesOf(before);
  const auto new_lines = linesOf(after);
  std::vector<std::string> changes;
  for (std::size_t i = 0; i < std::max(old_lines.size(), new_lines.size()); ++i) {
    const std::string_view old_answer =
        i < old_lines.size() ? splitFacilityLine(old_lines[i]).answer : "";
    const std::string_view new_answer =
        i < new_lines.size() ? splitFacilityLine(new_lines[i]).answer : "";
    if (old_answer == new_answer) continue;
    changes.push_back("answer " + std::to_string(i + 1) + " " + quotedForScreen(old_answer) +
                      " \u2192 " + quotedForScreen(new_answer));
  }
  if (changes.empty()) return "answers unchanged";
  std::string text = std::to_string(changes.size()) +
                     (changes.size() == 1 ? " answer" : " answers") + " changed: ";
  for (std::size_t i = 0; i < changes.size() && i < kMostChangesSaid; ++i) {
    text += (i > 0 ? ", " : "") + changes[i];
  }
  return text + (changes.size() > kMostChangesSaid ? ", \u2026" : "");
}

std::string changesBetween(std::string_view name, std::string_view before, std::string_view after) {
  if (const StateList* list = listOfFile(name)) return listChanges(*list, before, after);
  if (name == kFacilityFileName) return facilityChanges(before, after);
  return "changed";
}

std::string statesMade(std::string_view name, std::string_view content) {
  const StateList* list = listOfFile(name);
  if (list == nullptr) return "made";
  const auto figures = figuresByState(*list, content);
  const auto given =
      std::count_if(figures.begin(), figures.end(), [](const auto& f) { return f.has_value(); });
  return "made, " + std::to_string(given) + (given == 1 ? " state" : " states");
}

std::string describeContents(std::string_view name, const std::optional<std::string>& before,
                             const std::optional<std::string>& after) {
  if (!before && !after) return "absent";
  if (!before) return statesMade(name, *after);
  if (!after) return "removed";
  if (*before == *after) return "unchanged";
  return changesBetween(name, *before, *after);
}

std::optional<std::string> contentOf(FileSystem& files, const std::string& sha256, bool* missing) {
  if (sha256 == kNoContent) return std::nullopt;
  std::optional<std::string> content = readKeptContent(files, sha256);
  if (!content) *missing = true;
  return content;
}

std::optional<std::size_t> parseSaveNumber(const std::string& text) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(std::stoul(text));
}

std::string saveRange(const HistoryScan& history) {
  if (history.entries == 0) return "there are no saves yet";
  return "the saves are numbered " + std::to_string(history.first_number) + " to " +
         std::to_string(history.last_number);
}

// An entry as the JSON of census history --json has it.
nlohmann::ordered_json entryJson(FileSystem& files, const HistoryEntry& entry) {
  nlohmann::ordered_json saved = {{"number", entry.number},
                                  {"time", entry.time},
                                  {"way", entry.way},
                                  {"user", utf8FromBytes(entry.user)},
                                  {"files", nlohmann::json::array()}};
  if (entry.files.empty()) {
    saved["sent_to"] = utf8FromBytes(entry.sent_to);
    saved["summary"] = utf8FromBytes(entry.summary);
  }
  for (const HistoryFile& f : entry.files) {
    const auto sha = [](const std::string& s) {
      return s == kNoContent ? nlohmann::json(nullptr) : nlohmann::json(s);
    };
    saved["files"].push_back({{"file", f.name},
                              {"before", sha(f.before)},
                              {"after", sha(f.after)},
                              {"change", describeChange(files, f)}});
  }
  return saved;
}

// Text indented by `by` blanks on every line.
std::string indented(const std::string& text, std::size_t by) {
  const std::string blanks(by, ' ');
  std::string result = blanks;
  for (const char c : text) {
    result.push_back(c);
    if (c == '\n') result += blanks;
  }
  return result;
}

}  // namespace

std::string describeChange(FileSystem& files, const HistoryFile& file) {
  bool missing = false;
  const std::optional<std::string> before = contentOf(files, file.before, &missing);
  const std::optional<std::string> after = contentOf(files, file.after, &missing);
  if (missing) {
    return file.name + ": " + (file.before == file.after ? "unchanged" : "changed") +
           " (its kept contents are missing)";
  }
  return file.name + ": " + describeContents(file.name, before, after);
}

std::string describePush(const HistoryEntry& entry) {
  return "sent to " + safeForScreen(entry.sent_to) + ": " + safeForScreen(entry.summary);
}

std::string describeEntry(FileSystem& files, const HistoryEntry& entry) {
  std::string line = std::to_string(entry.number) + "  " + entry.time + "  " + entry.way + "  " +
                     safeForScreen(entry.user) + "  ";
  if (entry.files.empty()) return line + describePush(entry);
  for (std::size_t i = 0; i < entry.files.size(); ++i) {
    line += (i > 0 ? "; " : "") + describeChange(files, entry.files[i]);
  }
  return line;
}

int runHistory(FileSystem& files, const std::string& file, bool json, bool start, std::ostream& out,
               std::ostream& errors) {
  if (start) {
    std::string reason;
    const bool had = files.folderExists(std::string(kHistoryFolder));
    if (!startHistory(files, &reason)) {
      errors << "census: cannot make " << kHistoryFolder << "/: " << reason << "\n";
      return kExitFailure;
    }
    if (!json) {
      out << (had ? "census: a history is kept here already, in " : "census: history started in ")
          << kHistoryFolder << "/; every save from now on is kept\n";
    }
  }
  // The entries go out newest first as they are read, however long the log:
  // the JSON document too, one entry at a time.
  const auto shown = [&](const HistoryEntry& entry) {
    return file.empty() || std::any_of(entry.files.begin(), entry.files.end(),
                                       [&](const HistoryFile& f) { return f.name == file; });
  };
  OutputBuffer buffer(out);
  bool any = false;
  const HistoryScan history = visitNewestFirst(files, [&](const HistoryEntry& entry) {
    if (!shown(entry)) return true;
    if (json) {
      if (!any) buffer << "{\n  \"kept\": true,\n  \"entries\": [";
      buffer << (any ? ",\n" : "\n") << indented(entryJson(files, entry).dump(2, ' ', true), 4);
    } else {
      buffer << describeEntry(files, entry) << "\n";
    }
    any = true;
    return true;
  });
  if (history.state.unreadable()) {
    buffer.flush();
    errors << "census: cannot read " << kHistoryLog << ": " << history.state.reason << "\n";
    return kExitFailure;
  }
  if (json) {
    if (!any) {
      buffer << "{\n  \"kept\": " << (history.kept ? "true" : "false") << ",\n  \"entries\": []";
    } else {
      buffer << "\n  ]";
    }
    buffer << "\n}\n";
    return kExitSuccess;
  }
  if (!history.kept) {
    buffer << "census: no history is kept in this folder; 'census history --start' starts one, "
              "and so does the first save by import, serve or restore\n";
    return kExitSuccess;
  }
  if (!any) buffer << "census: no saves yet\n";
  return kExitSuccess;
}

// The entry with this number, where the history has one.
std::optional<HistoryEntry> findEntry(FileSystem& files, std::optional<std::size_t> number,
                                      HistoryScan* scan) {
  std::optional<HistoryEntry> found;
  *scan = scanHistory(files, [&](const HistoryEntry& entry) {
    if (number && entry.number == *number) found = entry;
    return true;
  });
  return found;
}

int runRestore(FileSystem& files, const std::string& number,
               const std::vector<std::string>& names_as_typed, bool dry_run, std::ostream& out,
               std::ostream& errors) {
  // "./datas.dat" is datas.dat, as it is to every other program.
  std::vector<std::string> names;
  for (const std::string& name : names_as_typed) {
    names.push_back(std::filesystem::path(name).lexically_normal().generic_string());
  }
  HistoryScan history;
  const std::optional<HistoryEntry> entry = findEntry(files, parseSaveNumber(number), &history);
  if (history.state.unreadable()) {
    errors << "census: cannot read " << kHistoryLog << ": " << history.state.reason << "\n";
    return kExitFailure;
  }
  if (!entry) {
    errors << "census: there is no save " << quotedForScreen(number) << ": "
           << (history.kept ? saveRange(history) : "no history is kept in this folder")
           << "\nRun 'census history' to see them.\n";
    return kExitUsage;
  }
  if (entry->files.empty()) {
    errors << "census: save " << entry->number << " sent the figures to "
           << safeForScreen(entry->sent_to) << " and changed no file here; there is nothing to "
           << "put back\n";
    return kExitUsage;
  }
  for (const std::string& name : names) {
    const bool touched = std::any_of(entry->files.begin(), entry->files.end(),
                                     [&](const HistoryFile& f) { return f.name == name; });
    if (!touched) {
      errors << "census: save " << entry->number << " did not save " << quotedForScreen(name)
             << "\n";
      return kExitUsage;
    }
  }
  std::vector<FileReplacement> saves;
  std::vector<std::string> said;
  for (const HistoryFile& file : entry->files) {
    if (!names.empty() && std::find(names.begin(), names.end(), file.name) == names.end()) continue;
    FileReplacement save{.name = file.name, .content = "", .line_ends = LineEnds::kExact};
    std::optional<std::string> before;
    if (file.before == kNoContent) {
      save.remove = true;
    } else {
      std::string problem;
      before = readKeptContent(files, file.before, &problem);
      if (!before) {
        errors << "census: the content of " << file.name << " before save " << entry->number
               << " in " << kHistoryFolder << "/ is " << problem << "; nothing was changed\n";
        return kExitFailure;
      }
      save.content = *before;
    }
    std::optional<std::string> now;
    std::string content;
    std::string reason;
    if (readWholeFile(files, file.name, &content, &reason)) now = std::move(content);
    said.push_back(file.name + ": " + (dry_run ? "would be put back" : "put back") +
                   " as before save " + std::to_string(entry->number) + " (" +
                   describeContents(file.name, now, before) + ")");
    saves.push_back(std::move(save));
  }
  if (!saveDataFiles(files, saves, dry_run, errors)) return kExitFailure;
  for (const std::string& line : said) out << line << "\n";
  if (!dry_run) {
    const HistoryScan after = scanHistory(files);
    if (after.entries != 0) {
      out << "Saved as save " << after.last_number << "; 'census restore " << after.last_number
          << "' undoes it.\n";
    }
  }
  return kExitSuccess;
}

}  // namespace census
