#include "records/history.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "base/sha256.h"
#include "base/text.h"
#include "os/platform.h"
#include "records/census_grid_file.h"
#include "records/facility_file.h"
#include "records/state_lists.h"

namespace census {
namespace {

constexpr std::array<std::string_view, 6> kWayNames = {"dialogue", "import", "serve",
                                                       "restore",  "push",   "pull"};

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

// The SHA-256 and size of an open file, read to its end a block at a time.
bool digestInputFile(InputFile& file, std::string* sha256, std::uint64_t* size,
                     std::string* reason) {
  Sha256 digest;
  std::string block(64 * 1024, '\0');
  *size = 0;
  for (;;) {
    std::size_t got = 0;
    if (!file.read(block.data(), block.size(), &got, reason)) return false;
    if (got == 0) break;
    digest.add(std::string_view(block.data(), got));
    *size += got;
  }
  *sha256 = digest.hex();
  return true;
}

// The number of the next entry, or 0 with *failure set where there is none.
std::size_t nextSaveNumber(const HistoryScan& scan, SaveFailure* failure) {
  const std::size_t number = scan.last_number + 1;
  if (number <= kMostSaveNumber) return number;
  *failure = {std::string(kHistoryLog), "it holds the highest save number there may be"};
  return 0;
}

// The log with one more entry: its whole lines copied as they are (a torn
// last line is let go), then the entry.
FileReplacement logWithEntry(const HistoryScan& scan, const HistoryEntry& entry) {
  return {.name = std::string(kHistoryLog),
          .content = entryLine(entry),
          .line_ends = LineEnds::kExact,
          .copy_from = scan.whole_bytes > 0 ? std::string(kHistoryLog) : std::string(),
          .copy_bytes = scan.whole_bytes};
}

// Reads the log's lines from a point on, one at a time, each at most
// kMostHistoryLine long (the rest of a longer one is passed over).
class LogLines {
 public:
  explicit LogLines(InputFile& file) : file_(file), block_(64 * 1024, '\0') {}

  // Goes on from offset, the start of line number `line`.
  bool seek(std::uint64_t offset, std::size_t line, std::string* reason) {
    at_ = end_ = 0;
    offset_ = offset;
    line_ = line - 1;
    return file_.seek(offset, reason);
  }

  enum class Got { kLine, kTorn, kEnd, kFailed };
  // The next line, without its line end, in *text; *longer where it was
  // cut at the bound.
  Got next(std::string* text, bool* longer, std::string* reason) {
    text->clear();
    *longer = false;
    start_ = offset_;
    ++line_;
    for (;;) {
      if (at_ == end_) {
        std::size_t got = 0;
        if (!file_.read(block_.data(), block_.size(), &got, reason)) return Got::kFailed;
        if (got == 0) return text->empty() && !*longer ? Got::kEnd : Got::kTorn;
        at_ = 0;
        end_ = got;
      }
      const char* from = block_.data() + at_;
      const void* newline = std::memchr(from, '\n', end_ - at_);
      const std::size_t size =
          newline == nullptr ? end_ - at_
                             : static_cast<std::size_t>(static_cast<const char*>(newline) - from);
      const std::size_t room = kMostHistoryLine - std::min(kMostHistoryLine, text->size());
      text->append(from, std::min(size, room));
      if (size > room) *longer = true;
      at_ += size;
      offset_ += size;
      if (newline != nullptr) {
        ++at_;
        ++offset_;
        return Got::kLine;
      }
    }
  }

  std::size_t line() const { return line_; }
  std::uint64_t start() const { return start_; }  // of the line last read
  std::uint64_t offset() const { return offset_; }

 private:
  InputFile& file_;
  std::string block_;
  std::size_t at_ = 0;
  std::size_t end_ = 0;
  std::uint64_t offset_ = 0;
  std::uint64_t start_ = 0;
  std::size_t line_ = 0;
};

// Where a reading of the log may start again: a line's offset and number,
// and the number of the entry before it.
struct LogPoint {
  std::uint64_t offset = 0;
  std::size_t line = 1;
  std::size_t number_before = 0;
};

// Reads whole lines of the log from `from` until `stop` bytes, handing
// entries and bad lines on; fills in what it found past `from`.
bool scanLines(LogLines& lines, const LogPoint& from, std::uint64_t stop, HistoryScan* scan,
               const std::function<bool(const HistoryEntry&, const LogPoint&)>& on_entry,
               const BadLineVisitor& on_bad_line) {
  std::string reason;
  if (!lines.seek(from.offset, from.line, &reason)) {
    scan->state = {FileStatus::kUnreadable, reason, false};
    return false;
  }
  std::size_t number_before = from.number_before;
  std::string text;
  bool longer = false;
  while (lines.offset() < stop) {
    const LogLines::Got got = lines.next(&text, &longer, &reason);
    if (got == LogLines::Got::kEnd) break;
    if (got == LogLines::Got::kFailed) {
      scan->state = {FileStatus::kUnreadable, reason, false};
      return false;
    }
    if (got == LogLines::Got::kTorn) {
      scan->torn_line = lines.line();
      break;
    }
    scan->whole_bytes = lines.offset();
    const LogPoint point{lines.start(), lines.line(), number_before};
    std::optional<HistoryEntry> entry = longer ? std::nullopt : parseEntry(text);
    if (!entry) {
      if (on_bad_line) {
        on_bad_line(lines.line(),
                    longer ? "it is longer than " + std::to_string(kMostHistoryLine / 1024) + " KiB"
                           : "it is no entry of the history");
      }
      continue;
    }
    if (number_before != 0 && entry->number <= number_before) {
      if (on_bad_line) {
        on_bad_line(lines.line(), "its save number " + std::to_string(entry->number) +
                                      " is not above " + std::to_string(number_before) +
                                      ", the one before it");
      }
      continue;
    }
    number_before = entry->number;
    ++scan->entries;
    if (scan->first_number == 0) scan->first_number = entry->number;
    scan->last_number = entry->number;
    if (on_entry && !on_entry(*entry, point)) return true;
  }
  return true;
}

// The log opened for a reading, or the scan that says why there is none.
OpenedFile openLog(FileSystem& files, HistoryScan* scan) {
  // A history folder that is not census's own is never read nor written:
  // through a link it could be anything anywhere.
  if (std::string problem = files.historyProblem(); !problem.empty()) {
    scan->kept = true;
    scan->state = {FileStatus::kUnreadable, std::move(problem), false};
    return {};
  }
  scan->kept = files.folderExists(std::string(kHistoryFolder));
  if (!scan->kept) return {};
  OpenedFile opened = files.openForReading(std::string(kHistoryLog));
  if (opened.status == OpenStatus::kUnreadable) {
    scan->state = {FileStatus::kUnreadable, opened.reason, false};
  } else if (opened.status == OpenStatus::kOpen) {
    scan->state.status = FileStatus::kSaved;
  }
  return opened;
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

HistoryScan scanHistory(FileSystem& files, const EntryVisitor& on_entry,
                        const BadLineVisitor& on_bad_line) {
  HistoryScan scan;
  OpenedFile log = openLog(files, &scan);
  if (log.status != OpenStatus::kOpen) return scan;
  LogLines lines(*log.file);
  const auto visit = [&](const HistoryEntry& entry, const LogPoint&) {
    return !on_entry || on_entry(entry);
  };
  scanLines(lines, LogPoint{}, std::numeric_limits<std::uint64_t>::max(), &scan, visit,
            on_bad_line);
  return scan;
}

HistoryScan visitNewestFirst(FileSystem& files, const EntryVisitor& visit) {
  // A first reading marks where every few thousandth entry begins; then
  // each stretch between two marks is read again, last first, and its
  // entries handed on newest first.
  constexpr std::size_t kStretch = 4096;
  HistoryScan scan;
  OpenedFile log = openLog(files, &scan);
  if (log.status != OpenStatus::kOpen) return scan;
  LogLines lines(*log.file);
  std::vector<LogPoint> marks;
  const auto mark = [&](const HistoryEntry&, const LogPoint& point) {
    if (scan.entries % kStretch == 1) marks.push_back(point);
    return true;
  };
  if (!scanLines(lines, LogPoint{}, std::numeric_limits<std::uint64_t>::max(), &scan, mark, {})) {
    return scan;
  }
  const std::uint64_t end = scan.whole_bytes;
  std::vector<HistoryEntry> stretch;
  for (std::size_t i = marks.size(); i-- > 0;) {
    stretch.clear();
    HistoryScan again;
    const auto keep = [&](const HistoryEntry& entry, const LogPoint&) {
      stretch.push_back(entry);
      return true;
    };
    const std::uint64_t stop = i + 1 < marks.size() ? marks[i + 1].offset : end;
    if (!scanLines(lines, marks[i], stop, &again, keep, {})) {
      scan.state = again.state;
      return scan;
    }
    for (auto entry = stretch.rbegin(); entry != stretch.rend(); ++entry) {
      if (!visit(*entry)) return scan;
    }
  }
  return scan;
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
    const HistoryScan history = scanHistory(files);
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
    all->push_back(logWithEntry(history, entry));
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
  const HistoryScan history = scanHistory(files_);
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
  // Queues a content to keep; false where it needs none, or is queued.
  const auto keep = [&](const std::string& sha256, std::string content, const std::string& of) {
    if (sha256 == kNoContent) return false;
    const std::string name = keptName(sha256);
    const bool queued = std::any_of(kept.begin(), kept.end(),
                                    [&](const FileReplacement& file) { return file.name == name; });
    if (queued) return false;
    // One already kept is checked like a new one, and takes the list's
    // permission bits again: a list made private makes its copies so.
    kept.push_back({.name = name,
                    .content = std::move(content),
                    .line_ends = LineEnds::kExact,
                    .permissions_of = of,
                    .reuse_existing = true});
    return true;
  };
  for (FileReplacement& save : saves) {
    if (!isDataFile(save.name)) continue;
    // The content before is read as a stream and copied by the save from
    // the file itself, which no other save changes while this one holds
    // the lock: a long list is never held whole.
    std::string before = std::string(kNoContent);
    std::uint64_t before_size = 0;
    OpenedFile opened = files_.openForReading(save.name);
    if (opened.status != OpenStatus::kMissing) {
      std::string reason = opened.reason;
      if (opened.status != OpenStatus::kOpen ||
          !digestInputFile(*opened.file, &before, &before_size, &reason)) {
        *failure = {save.name, reason};
        return false;
      }
    }
    std::string after_content = save.remove ? "" : files_.contentAsWritten(save);
    const std::string after = save.remove ? std::string(kNoContent) : sha256Hex(after_content);
    if (keep(before, "", save.name)) {
      kept.back().copy_from = save.name;
      kept.back().copy_bytes = before_size;
    }
    keep(after, std::move(after_content), save.name);
    entry.files.push_back({save.name, before, after});
  }
  saves.insert(saves.end(), std::make_move_iterator(kept.begin()),
               std::make_move_iterator(kept.end()));
  saves.push_back(logWithEntry(history, entry));
  return true;
}

}  // namespace census
