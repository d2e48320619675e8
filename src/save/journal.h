// The save journal: what a save that is under way keeps in its folder, so
// that a start after a kill or a power cut can finish or undo it.
//
// The journal is the file ".census-save.journal" in the folder of the save.
// Its bytes: a header line, then for each file the save replaces its name
// in the folder and its temporary file's name, each ended by a NUL byte (an
// empty temporary name for a file the save removes), and, once the save is
// decided, the commit mark:
//
//   census save journal\n
//   datas.dat\0.datas.dat.census-4711-0.tmp\0
//   census-history/log\0.log.census-4711-1.tmp\0
//   census-history/9f86d0...\0\0                    (removed: no temporary)
//   commit\n
//
// A name is a plain name in the folder (a data file, an output the
// operator named), or "census-history/log" or "census-history/" and 64
// lowercase hex digits. A temporary file's name is the one the writer gives
// it: "." NAME ".census-" PROCESS "-" NUMBER ".tmp", NAME being the last
// name of its target, in its target's folder (a data file that is a link
// is replaced where the link leads).
//
// A journal without the mark is undone (its temporary files removed); one
// with it is finished (each temporary file still there renamed over its
// target, each file to remove removed). A journal cut short as it was
// written (a header or a name cut) is one without the mark.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace census {

inline constexpr std::string_view kSaveJournalName = ".census-save.journal";
inline constexpr std::string_view kSaveLockName = ".census-save.lock";
// The folder of the history, whose log and kept contents a save may write
// beside the data files.
inline constexpr std::string_view kHistoryFolderName = "census-history";

// A journal names a few files; one larger than this is no journal of census's.
inline constexpr std::size_t kMostJournalBytes = 64 * 1024;

// One file of a journal, by its names in the folder of the save.
struct JournalFile {
  std::string name;       // "datas.dat", "census-history/log"
  std::string temporary;  // its temporary file's last name; "" for a file to remove
};

struct JournalPlan {
  bool committed = false;
  std::vector<JournalFile> files;
};

// The journal's bytes for these files, with the commit mark where committed.
std::string journalText(const std::vector<JournalFile>& files, bool committed);

// Reads a journal's bytes into *plan, checking every name. Returns "" where
// it is census's own, else why it is not ("it names \"../x\", which is no
// file a save writes here").
std::string readJournal(std::string_view text, JournalPlan* plan);

// Whether name is one a save writes in its folder: a plain name that is not
// the journal's nor the lock's, or the history's log or a kept content.
bool isSavedName(std::string_view name);

// Whether name lies in the history's folder ("census-history/log").
bool isHistoryName(std::string_view name);

// Whether temporary is a name the writer gives a temporary file of the
// file whose last name is target: ".datas.dat.census-4711-2.tmp"; where it
// is, *process is the number of the process that made it.
bool isTemporaryNameFor(std::string_view temporary, std::string_view target,
                        unsigned long* process = nullptr);

// folder and name joined: "census-history/log", "out/x.csv"; name alone in ".".
std::string inFolder(const std::string& folder, std::string_view name);

// The name of path in folder, where path lies in it: "census-history/log"
// of "." and "census-history/log", "x.csv" of "out" and "out/x.csv".
bool nameInFolder(const std::string& folder, const std::string& path, std::string* name);

}  // namespace census
