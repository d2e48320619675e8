#include "records/history.h"

#include <algorithm>
#include <array>

#include "base/sha256.h"
#include "base/text.h"
#include "os/platform.h"
#include "records/census_grid_file.h"
#include "records/facility_file.h"
#include "records/state_lists.h"

namespace census {
namespace {

constexpr std::array<std::string_view, 5> kWayNames = {"dialogue", "import", "serve", "restore",
                                                       "push"};

constexpr std::string_view kPushWay = "push";

std::string keptName(std::string_view sha256) {
  return std::string(kHistoryFolder) + "/" + std::string(sha256);
}

bool isSha256(std::string_view text) { return text.size() == 64 && isLowerHex(text); }

std::vector<std::string_view> fieldsOf(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t tab; (tab = line.find('\t')) != std::string_view::npos;) {
    fields.push_back(line.substr(0, tab));
    line.remove_prefix(tab + 1);
  }
  fields.push_back(line);
  return fields;
}

bool isOneField(std::string_view text) {
  return !text.empty() && std::none_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
}

// An entry from a whole line of the log, or nullopt where the line is not one.
std::optional<HistoryEntry> parseEntry(std::string_view line) {
  const std::vector<std::string_view> fields = fieldsOf(line);
  const bool push = fields.size() > 2 && fields[2] == kPushWay;
  if (push ? fields.size() != 6 || !isOneField(fields[4]) || !isOneField(fields[5])
           : fields.size() < 7 || (fields.size() - 4) % 3 != 0) {
    return std::nullopt;
  }
  HistoryEntry entry;
  if (fields[0].size() > 9) return std::nullopt;  // above kMostSaveNumber
  for (const char c : fields[0]) {
    if (c < '0' || c > '9') return std::nullopt;
    entry.number = entry.number * 10 + static_cast<std::size_t>(c - '0');
  }
  if (entry.number == 0 ||
      std::find(kWayNames.begin(), kWayNames.end(), fields[2]) == kWayNames.end()) {
    return std::nullopt;
  }
  entry.time = fields[1];
  entry.way = fields[2];
  entry.user = fields[3];
  if (push) {
    entry.sent_to = fields[4];
    entry.summary = fields[5];
    return entry;
  }
  for (std::size_t i = 4; i < fields.size(); i += 3) {
    const auto known = [](std::string_view sha) { return sha == kNoContent || isSha256(sha); };
    if (!isDataFile(fields[i]) || !known(fields[i + 1]) || !known(fields[i + 2])) {
      return std::nullopt;
    }
    entry.files.push_back(
        {std::string(fields[i]), std::string(fields[i + 1]), std::string(fields[i + 2])});
  }
  return entry;
}

// A user name as the log keeps it: one field, with no control character.
std::string userField(std::string user) {
  for (char& c : user) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return user.empty() ? "unknown" : user;
}

std::string entryLine(const HistoryEntry& entry) {
  std::string line =
      std::to_string(entry.number) + "\t" + entry.time + "\t" + entry.way + "\t" + entry.user;
  for (const HistoryFile& file : entry.files) {
    line += "\t" + file.name + "\t" + file.before + "\t" + file.after;
  }
  if (entry.way == kPushWay) line += "\t" + entry.sent_to + "\t" + entry.summary;
  return line + "\n";
}

// The log as the next entry goes after it: a torn last line is let go, and
// the log goes on from its last whole line.
std::string logBeforeNextEntry(const History& history) {
  if (history.torn_line == 0) return history.log;
  return history.log.substr(0, history.log.rfind('\n') + 1);
}

// The number of the next entry, or 0 with *failure set where there is none.
std::size_t nextSaveNumber(const History& history, SaveFailure* failure) {
  const std::size_t number = history.entries.empty() ? 1 : history.entries.back().number + 1;
  if (number <= kMostSaveNumber) return number;
  *failure = {std::string(kHistoryLog), "it holds the highest save number there may be"};
  return 0;
}

}  // namespace

std::string_view wayName(SaveWay way) { return kWayNames[static_cast<std::size_t>(way)]; }

bool isDataFile(std::string_view name) {
  if (name == kFacilityFileName || name == kCensusGridFileName) return true;
  for (const StateList& list : stateLists()) {
    if (list.file_name == name) return true;
  }
  return false;
}

std::string dataFileSharedWith(FileSystem& files, std::string_view name) {
  std::vector<std::string_view> names = {kFacilityFileName, kCensusGridFileName};
  for (const StateList& list : stateLists()) names.push_back(list.file_name);
  const std::string canonical = files.fileIdentity(std::string(name));
  for (const std::string_view other : names) {
    if (other != name && files.fileIdentity(std::string(other)) == canonical) {
      return std::string(other);
    }
  }
  return "";
}

bool dataFilesAreDistinct(FileSystem& files, std::span<const FileReplacement> saves,
                          SaveFailure* failure) {
  for (const FileReplacement& save : saves) {
    if (!isDataFile(save.name)) continue;
    if (const std::string other = dataFileSharedWith(files, save.name); !other.empty()) {
      *failure = {save.name,
                  "it is one file with " + other + " (a link leads from one to the other)"};
      return false;
    }
  }
  return true;
}

History readHistory(FileSystem& files) {
  History history;
  // A history folder that is not census's own is never read nor written:
  // through a link it could be anything anywhere.
  if (std::string problem = files.historyProblem(); !problem.empty()) {
    history.kept = true;
    history.state = {FileStatus::kUnreadable, std::move(problem), false};
    return history;
  }
  history.kept = files.folderExists(std::string(kHistoryFolder));
  if (!history.kept) return history;
  const std::string log(kHistoryLog);
  if (files.openForReading(log).status == OpenStatus::kMissing) return history;
  std::string reason;
  if (!readWholeFile(files, log, &history.log, &reason)) {
    history.state = {FileStatus::kUnreadable, reason, false};
    return history;
  }
  history.state.status = FileStatus::kSaved;
  std::string_view rest(history.log);
  for (std::size_t number = 1; !rest.empty(); ++number) {
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) {
      history.torn_line = number;
      break;
    }
    std::optional<HistoryEntry> entry = parseEntry(rest.substr(0, end));
    rest.remove_prefix(end + 1);
    if (!entry) {
      history.bad_lines.emplace_back(number, "it is no entry of the history");
    } else if (!history.entries.empty() && entry->number <= history.entries.back().number) {
      history.bad_lines.emplace_back(
          number, "its save number " + std::to_string(entry->number) + " is not above " +
                      std::to_string(history.entries.back().number) + ", the one before it");
    } else {
      history.entries.push_back(std::move(*entry));
    }
  }
  return history;
}

std::optional<std::string> readKeptContent(FileSystem& files, const std::string& sha256,
                                           std::string* problem) {
  std::string ignored;
  if (problem == nullptr) problem = &ignored;
  *problem = "missing";
  if (!isSha256(sha256)) return std::nullopt;
  std::string content;
  std::string reason;
  if (!readWholeFile(files, keptName(sha256), &content, &reason)) return std::nullopt;
  if (sha256Hex(content) != sha256) {
    *problem = "damaged (its SHA-256 is not its name)";
    return std::nullopt;
  }
  return content;
}

bool startHistory(FileSystem& files, std::string* reason) {
  const std::string folder(kHistoryFolder);
  return files.folderExists(folder) || files.makeFolder(folder, reason);
}

bool recordPush(FileSystem& files, const std::string& user, std::time_t moment,
                const std::string& sent_to, const std::string& summary, SaveFailure* failure) {
  if (std::string problem = files.historyProblem(); !problem.empty()) {
    *failure = {std::string(kHistoryFolder), std::move(problem)};
    return false;
  }
  if (!files.folderExists(std::string(kHistoryFolder))) return true;
  if (!isOneField(sent_to) || !isOneField(summary)) {
    *failure = {std::string(kHistoryLog), "a push is recorded with one line of text"};
    return false;
  }
  const FileReplacement log{
      .name = std::string(kHistoryLog), .content = "", .line_ends = LineEnds::kExact};
  // The entry is made under the save's lock, after the last one.
  const FileSystem::Amendment append = [&](std::span<const FileReplacement>,
                                           std::vector<FileReplacement>* all, SaveFailure* failed) {
    const History history = readHistory(files);
    if (history.state.unreadable()) {
      *failed = {std::string(kHistoryLog), history.state.reason};
      return false;
    }
    HistoryEntry entry{.number = nextSaveNumber(history, failed),
                       .time = utcText(moment, "%Y-%m-%dT%H:%M:%SZ"),
                       .way = std::string(kPushWay),
                       .user = userField(user),
                       .files = {},
                       .sent_to = sent_to,
                       .summary = summary};
    if (entry.number == 0) return false;
    all->push_back(log);
    all->back().content = logBeforeNextEntry(history) + entryLine(entry);
    return true;
  };
  return files.replaceFilesAmended(std::span(&log, 1), append, failure);
}

RecordingFileSystem::RecordingFileSystem(FileSystem& files, SaveWay way, std::string user,
                                         std::function<std::time_t()> clock)
    : ForwardingFileSystem(files),
      way_(way),
      user_(userField(std::move(user))),
      clock_(std::move(clock)) {}

bool RecordingFileSystem::replaceFiles(std::span<const FileReplacement> files,
                                       SaveFailure* failure) {
  return noted(replaceRecorded(files, failure), failure);
}

bool RecordingFileSystem::replaceRecorded(std::span<const FileReplacement> files,
                                          SaveFailure* failure) {
  const bool data = std::any_of(files.begin(), files.end(),
                                [](const FileReplacement& file) { return isDataFile(file.name); });
  if (!data) return files_.replaceFiles(files, failure);
  if (!dataFilesAreDistinct(files_, files, failure)) return false;
  const std::string folder(kHistoryFolder);
  if (std::string problem = files_.historyProblem(); !problem.empty()) {
    *failure = {folder, std::move(problem)};
    return false;
  }
  bool started = false;
  if (!files_.folderExists(folder)) {
    if (way_ == SaveWay::kDialogue) return files_.replaceFiles(files, failure);
    std::string reason;
    if (!files_.checkReplaceable(files, failure)) return false;
    if (!startHistory(files_, &reason)) {
      *failure = {folder, reason};
      return false;
    }
    started = true;
  }
  // The entry is made under the save's lock, from the files as they are.
  const Amendment record = [this](std::span<const FileReplacement> asked,
                                  std::vector<FileReplacement>* all,
                                  SaveFailure* failed) { return withEntry(asked, all, failed); };
  if (files_.replaceFilesAmended(files, record, failure)) return true;
  // A save that failed starts no history either.
  if (started) files_.removeEmptyFolder(folder);
  return false;
}

bool RecordingFileSystem::replaceFilesAmended(std::span<const FileReplacement> files,
                                              const Amendment& amend, SaveFailure* failure) {
  if (!dataFilesAreDistinct(files_, files, failure)) return noted(false, failure);
  const Amendment both = [&](std::span<const FileReplacement> asked,
                             std::vector<FileReplacement>* all, SaveFailure* failed) {
    std::vector<FileReplacement> amended;
    return amend(asked, &amended, failed) && withEntry(amended, all, failed);
  };
  return noted(files_.replaceFilesAmended(files, both, failure), failure);
}

bool RecordingFileSystem::withEntry(std::span<const FileReplacement> files,
                                    std::vector<FileReplacement>* all, SaveFailure* failure) {
  all->assign(files.begin(), files.end());
  const bool data = std::any_of(files.begin(), files.end(),
                                [](const FileReplacement& file) { return isDataFile(file.name); });
  if (!data || !files_.folderExists(std::string(kHistoryFolder))) return true;
  History history = readHistory(files_);
  if (history.state.unreadable()) {
    *failure = {std::string(kHistoryLog), history.state.reason};
    return false;
  }
  HistoryEntry entry;
  entry.number = nextSaveNumber(history, failure);
  if (entry.number == 0) return false;
  entry.time = utcText(clock_(), "%Y-%m-%dT%H:%M:%SZ");
  entry.way = wayName(way_);
  entry.user = user_;

  std::vector<FileReplacement>& saves = *all;
  std::vector<FileReplacement> kept;
  const auto keep = [&](const std::string& sha256, std::string content, const std::string& of) {
    if (sha256 == kNoContent) return;
    const std::string name = keptName(sha256);
    const bool queued = std::any_of(kept.begin(), kept.end(),
                                    [&](const FileReplacement& file) { return file.name == name; });
    if (queued) return;
    // One already kept is checked like a new one, and takes the list's
    // permission bits again: a list made private makes its copies so.
    kept.push_back({.name = name,
                    .content = std::move(content),
                    .line_ends = LineEnds::kExact,
                    .permissions_of = of,
                    .reuse_existing = true});
  };
  for (FileReplacement& save : saves) {
    if (!isDataFile(save.name)) continue;
    std::string before_content;
    std::string before = std::string(kNoContent);
    OpenedFile opened = files_.openForReading(save.name);
    if (opened.status != OpenStatus::kMissing) {
      std::string reason = opened.reason;
      if (opened.status != OpenStatus::kOpen ||
          !readInputFile(*opened.file, &before_content, &reason)) {
        *failure = {save.name, reason};
        return false;
      }
      before = sha256Hex(before_content);
    }
    std::string after_content = save.remove ? "" : files_.contentAsWritten(save);
    const std::string after = save.remove ? std::string(kNoContent) : sha256Hex(after_content);
    keep(before, std::move(before_content), save.name);
    keep(after, std::move(after_content), save.name);
    entry.files.push_back({save.name, before, after});
  }
  saves.insert(saves.end(), std::make_move_iterator(kept.begin()),
               std::make_move_iterator(kept.end()));
  saves.push_back({.name = std::string(kHistoryLog),
                   .content = logBeforeNextEntry(history) + entryLine(entry),
                   .line_ends = LineEnds::kExact});
  return true;
}

}  // namespace census
