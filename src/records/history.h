// The history of the saves of a folder's data files, kept where the folder
// has a folder "census-history/" beside them. Every save of data files
// through a RecordingFileSystem then adds one entry to the log
// "census-history/log", and every content a save replaced or wrote is kept
// once, by its SHA-256, as "census-history/<sha256>". The entry, the kept
// contents and the new files are one save: all of them or none.
//
// The log is one line per save, its fields separated by tabs:
//
//   NUMBER TIME WAY USER (FILE BEFORE AFTER)...
//   3	2026-12-10T17:30:00Z	serve	ada	datas.dat	9f86d0...	a665a4...
//
// TIME in UTC, WAY one of dialogue, import, serve, restore, and BEFORE and
// AFTER the SHA-256 of the file's content, or "-" where there was none. A
// folder without "census-history/" keeps no history, and the dialogue never
// makes one.
//
// A push of the figures to DHIS2 changes no file here; it is an entry of
// its own, of the way push, with the address sent to and what the server
// said instead of files:
//
//   NUMBER TIME push USER URL SUMMARY
//   4	2026-12-11T09:00:00Z	push	ada	https://hmis.ng	8 imported, 0 updated, 0 ignored
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/data_file.h"
#include "save/file_system.h"

namespace census {

inline constexpr std::string_view kHistoryFolder = "census-history";
inline constexpr std::string_view kHistoryLog = "census-history/log";
inline constexpr std::string_view kNoContent = "-";

enum class SaveWay { kDialogue, kImport, kServe, kRestore, kPush, kPull };

// "dialogue", "import", "serve", "restore", "push", "pull".
std::string_view wayName(SaveWay way);

struct HistoryFile {
  std::string name;
  std::string before;  // SHA-256, or kNoContent
  std::string after;
};

struct HistoryEntry {
  std::size_t number = 0;
  std::string time;  // "2026-12-10T17:30:00Z"
  std::string way;
  std::string user;
  std::vector<HistoryFile> files;  // none for a push
  std::string sent_to;             // a push: the address, as "https://dhis2.example.org"
  std::string summary;             // a push: "144 imported, 0 updated, 0 ignored"
};

// What a reading of the log found, besides its entries.
struct HistoryScan {
  bool kept = false;  // the folder has a history
  FileState state;    // of the log
  std::size_t entries = 0;
  std::size_t first_number = 0;   // of the first entry; 0 where there is none
  std::size_t last_number = 0;    // of the last entry; 0 where there is none
  std::size_t torn_line = 0;      // a last line cut short (no line end), ignored; 0 for none
  std::uint64_t whole_bytes = 0;  // the log's bytes up to and with its last line end
};

// Each entry in turn; returns false to stop the reading there.
using EntryVisitor = std::function<bool(const HistoryEntry& entry)>;
// A whole line that is no entry, or whose number is not above the one
// before, and why: it is ignored.
using BadLineVisitor = std::function<void(std::size_t line, const std::string& why)>;

// The longest line the log holds an entry in; a longer one is no entry.
inline constexpr std::size_t kMostHistoryLine = 64 * 1024;

// Reads the folder's history from its oldest entry on, handing each to
// on_entry and each line that is none to on_bad_line, holding one line at
// a time whatever the log's size. A folder without a history, or a history
// without a log yet, has no entries.
HistoryScan scanHistory(FileSystem& files, const EntryVisitor& on_entry = {},
                        const BadLineVisitor& on_bad_line = {});

// Hands the history's entries to visit newest first, until it returns
// false; holds a few thousand entries at a time whatever the log's size.
HistoryScan visitNewestFirst(FileSystem& files, const EntryVisitor& visit);

// The highest number a save may have: one more is no save.
inline constexpr std::size_t kMostSaveNumber = 999'999'999;

// A kept content by its SHA-256: nullopt where it is not kept, cannot be
// read, or does not have that SHA-256, *problem then saying which
// ("missing", "damaged (its SHA-256 is not its name)").
std::optional<std::string> readKeptContent(FileSystem& files, const std::string& sha256,
                                           std::string* problem = nullptr);

// Makes "census-history/" and its empty log. Returns false with *reason set
// where it cannot; one that exists is left as it is.
bool startHistory(FileSystem& files, std::string* reason);

// Adds an entry for a push of the figures to sent_to, which the server
// answered with summary, where a history is kept; does nothing where none
// is. Neither may hold a tab or a line end. Returns false with *failure
// set where the log cannot be written.
bool recordPush(FileSystem& files, const std::string& user, std::time_t moment,
                const std::string& sent_to, const std::string& summary, SaveFailure* failure);

// Whether a file is one of the five data files, whose saves are recorded.
bool isDataFile(std::string_view name);
inline constexpr std::size_t kDataFileCount = 5;

// The first other data file that the data file `name` is one file with
// (a link leads from one to the other), or "" where there is none. Such
// files would overwrite each other's figures: no save writes them.
std::string dataFileSharedWith(FileSystem& files, std::string_view name);

// Checks that no data file among saves is one file with another data file;
// returns false with *failure set for the first that is.
bool dataFilesAreDistinct(FileSystem& files, std::span<const FileReplacement> saves,
                          SaveFailure* failure);

// A FileSystem that records in the history every save of data files it is
// asked for, through the one it stands on, and passes everything else on.
// A save by the dialogue is recorded only where a history is kept; a save
// of any other way starts one where there is none.
class RecordingFileSystem final : public ForwardingFileSystem {
 public:
  // files must outlive it; its saves are recorded as made this way, by
  // this user; clock gives the time of each save.
  RecordingFileSystem(FileSystem& files, SaveWay way, std::string user,
                      std::function<std::time_t()> clock);

  bool checkReplaceable(std::span<const FileReplacement> files, SaveFailure* failure) override {
    return dataFilesAreDistinct(files_, files, failure) && files_.checkReplaceable(files, failure);
  }
  bool replaceFiles(std::span<const FileReplacement> files, SaveFailure* failure) override;
  bool replaceFilesAmended(std::span<const FileReplacement> files, const Amendment& amend,
                           SaveFailure* failure) override;

  // How its last save failed; nothing is set where it succeeded.
  const SaveFailure& lastSaveFailure() const { return last_failure_; }

 private:
  bool replaceRecorded(std::span<const FileReplacement> files, SaveFailure* failure);
  // The files of a save and, where it saves data files and a history is
  // kept, its entry and the contents to keep. REQUIRES: the save's lock.
  bool withEntry(std::span<const FileReplacement> files, std::vector<FileReplacement>* all,
                 SaveFailure* failure);

  bool noted(bool saved, const SaveFailure* failure) {
    last_failure_ = saved ? SaveFailure{} : *failure;
    return saved;
  }

  SaveFailure last_failure_;
  SaveWay way_;
  std::string user_;
  std::function<std::time_t()> clock_;
};

}  // namespace census
