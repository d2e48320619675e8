// The FileSystem over a set of primitives (the disk's, or memory's in the
// tests): saves as transactions. A save takes the folder's lock, writes a
// journal naming each file it replaces and its temporary file, writes and
// flushes the
// temporary files, marks the journal committed (where more than one file is
// replaced), renames them over their targets, and removes the journal. A
// journal found under the lock belongs to a save that was cut short: a
// committed one is finished, any other is undone by removing its temporary
// files. The journal names files as they are named in its folder, so a
// folder moved or copied before the next start is mended where it now is.
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <vector>

#include "base/text.h"
#include "os/file_system.h"
#include "os/platform.h"
#include "os/primitives.h"

namespace census {
namespace {

constexpr std::string_view kLockName = kSaveLockName;
constexpr std::string_view kJournalName = kSaveJournalName;
constexpr std::string_view kJournalHeader = "census save journal\n";
constexpr std::string_view kCommitMark = "commit\n";
// A journal names a few files; one larger than this is no journal of census's.
constexpr std::size_t kMostJournalBytes = 64 * 1024;
// The folder of the history, whose entries a save may write beside the data files.
constexpr std::string_view kHistoryFolderPrefix = "census-history/";

// One file of a save, as it will be done.
struct Step {
  const FileReplacement* file;
  std::string name;         // as the journal names it: in the save's folder
  std::string target;       // the file to replace, links followed
  bool write_into = false;  // not a regular file: written into, not replaced
  int descriptor = -1;      // one of this process's own, written at its position
  bool remove = false;      // removed, not replaced: it has no temporary file
  unsigned mode = 0;        // the target's permission bits to keep; 0 for a new file
  std::string temporary;    // beside the target
};

bool fail(SaveFailure* failure, const std::string& name, std::string reason) {
  *failure = {name, std::move(reason)};
  return false;
}

// Works out how one file is to be saved, or why it cannot be. Which way a
// file is written follows from what it is, never from how it is named.
bool planStep(FilePrimitives& p, const FileReplacement& file, Step* step, SaveFailure* failure) {
  step->file = &file;
  step->remove = file.remove;
  if (file.operator_output) {
    step->descriptor = p.descriptorNamed(file.name);
    if (step->descriptor >= 0) {
      step->write_into = true;
      step->target = file.name;
      return true;
    }
  }
  step->target = p.resolveLinks(file.name);
  disk::PathInfo info;
  std::string reason;
  if (!p.inspect(step->target, &info, &reason, disk::Writability::kTell))
    return fail(failure, file.name, reason);
  // The new content is made beside its target before it replaces it.
  if (info.kind != disk::Kind::kOther && info.kind != disk::Kind::kDirectory &&
      !p.folderTakesNewFiles(disk::folderOf(step->target), &reason)) {
    return fail(failure, file.name, reason);
  }
  switch (info.kind) {
    case disk::Kind::kMissing:
      if (!file.permissions_of.empty()) {
        disk::PathInfo original;
        if (p.inspect(p.resolveLinks(file.permissions_of), &original, &reason,
                      disk::Writability::kSkip) &&
            original.kind == disk::Kind::kRegular) {
          step->mode = original.mode;
        }
      }
      return true;
    case disk::Kind::kDirectory:
      return fail(failure, file.name, errorText(EISDIR));
    case disk::Kind::kOther:
      if (!file.operator_output || file.remove) {
        return fail(failure, file.name, "not a regular file");
      }
      step->write_into = true;
      return true;
    case disk::Kind::kRegular:
      if (!info.writable) return fail(failure, file.name, info.not_writable);
      step->mode = info.mode;
      return true;
  }
  return true;
}

// Two names of a save that lead to one file would have one content
// overwrite the other's: such a save is refused before anything is written.
bool distinctTargets(FilePrimitives& p, const std::vector<Step>& steps, SaveFailure* failure) {
  std::vector<std::string> seen;
  for (const Step& step : steps) {
    if (step.descriptor >= 0) continue;
    const std::string canonical = p.canonicalPath(step.target);
    for (std::size_t i = 0; i < seen.size(); ++i) {
      if (seen[i] != canonical) continue;
      return fail(failure, step.file->name,
                  "it is the same file as " + safeForScreen(steps[i].file->name));
    }
    seen.push_back(canonical);
  }
  return true;
}

bool planSteps(FilePrimitives& p, std::span<const FileReplacement> files, std::vector<Step>* steps,
               SaveFailure* failure) {
  steps->assign(files.size(), Step{});
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!planStep(p, files[i], &(*steps)[i], failure)) return false;
  }
  return distinctTargets(p, *steps, failure);
}

std::string inFolder(const std::string& folder, std::string_view name) {
  if (folder == ".") return std::string(name);
  return folder.ends_with('/') ? folder + std::string(name) : folder + "/" + std::string(name);
}

#ifdef _WIN32
constexpr std::string_view kSeparators = "/\\";
#else
constexpr std::string_view kSeparators = "/";
#endif

// A file's name in the folder its save's journal and lock are in.
bool nameInFolder(const std::string& folder, const std::string& path, std::string* name) {
  if (folder == ".") {
    *name = path;
    return true;
  }
  if (!path.starts_with(folder)) return false;
  std::string_view rest = std::string_view(path).substr(folder.size());
  if (kSeparators.find(folder.back()) == std::string_view::npos) {
    if (rest.empty() || kSeparators.find(rest.front()) == std::string_view::npos) return false;
    rest.remove_prefix(1);
  }
  *name = rest;
  return true;
}

// A name a save writes in its folder: a plain name (a data file, an output
// the operator named), or the history's log or one of its kept contents.
bool isSavedName(std::string_view name) {
  if (name.starts_with(kHistoryFolderPrefix)) {
    const std::string_view entry = name.substr(kHistoryFolderPrefix.size());
    return entry == "log" || (entry.size() == 64 && isLowerHex(entry));
  }
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(kSeparators) == std::string_view::npos &&
         name.find('\0') == std::string_view::npos && !name.starts_with(kLockName) &&
         !name.starts_with(kJournalName);
}

// Whether temporary is a name the writer gives a temporary file of target:
// ".datas.dat.census-4711-2.tmp".
bool isTemporaryNameFor(std::string_view temporary, std::string_view target) {
  const std::string front = "." + std::string(target) + ".census-";
  if (!temporary.starts_with(front) || !temporary.ends_with(".tmp")) return false;
  std::string_view numbers = temporary.substr(front.size());
  numbers.remove_suffix(4);
  const std::size_t dash = numbers.find('-');
  const auto digits = [](std::string_view text) {
    return !text.empty() && text.size() <= 20 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  return dash != std::string_view::npos && digits(numbers.substr(0, dash)) &&
         digits(numbers.substr(dash + 1));
}

// The journal: its header, then each file's name in the folder and its
// temporary file's name, each ended by a NUL byte (an empty temporary name
// for a file to remove), and, once the save is decided, the commit mark.
std::string journalText(const std::vector<Step>& steps, bool committed) {
  std::string text(kJournalHeader);
  for (const Step& step : steps) {
    if (step.write_into) continue;
    text.append(step.name).push_back('\0');
    text.append(disk::baseNameOf(step.temporary)).push_back('\0');
  }
  if (committed) text.append(kCommitMark);
  return text;
}

bool writeJournal(FilePrimitives& p, const std::string& path, const std::string& text,
                  std::string* reason) {
  p.removeFile(path);
  return p.createNew(path, text, 0, reason);
}

// One file of a journal, checked: the file in the folder and its
// temporary file, by their paths from the working directory.
struct JournalFile {
  std::string target;     // links followed
  std::string temporary;  // "" for a file to remove
};

struct JournalPlan {
  bool committed = false;
  std::vector<JournalFile> files;
};

// Reads the journal's text into *plan, checking every name before anything
// is done. Returns "" where it is census's own, else why it is not.
std::string planFromJournal(FilePrimitives& p, const std::string& folder, std::string_view text,
                            JournalPlan* plan) {
  if (text.empty() || kJournalHeader.starts_with(text)) return "";  // cut short as it was made
  if (!text.starts_with(kJournalHeader)) return "it does not start as a census save journal";
  text.remove_prefix(kJournalHeader.size());
  // The mark follows the last name's NUL: no name holds one.
  plan->committed =
      text.ends_with(kCommitMark) &&
      (text.size() == kCommitMark.size() || text[text.size() - kCommitMark.size() - 1] == '\0');
  if (plan->committed) text.remove_suffix(kCommitMark.size());
  for (;;) {
    const std::size_t name_end = text.find('\0');
    if (name_end == std::string_view::npos) break;
    const std::size_t temporary_end = text.find('\0', name_end + 1);
    // A journal cut short as it was written: no temporary file was made yet.
    if (temporary_end == std::string_view::npos) {
      if (plan->committed) return "its last name is cut short";
      break;
    }
    const std::string_view name = text.substr(0, name_end);
    const std::string_view temporary = text.substr(name_end + 1, temporary_end - name_end - 1);
    text.remove_prefix(temporary_end + 1);
    if (!isSavedName(name)) {
      return "it names " + quotedForScreen(name) + ", which is no file a save writes here";
    }
    JournalFile file;
    // A file to remove goes by its name in the folder: a link is taken away
    // itself, never the file it leads to, which may be outside the folder.
    const std::string in_folder = inFolder(folder, name);
    file.target = temporary.empty() ? in_folder : p.resolveLinks(in_folder);
    if (!temporary.empty()) {
      if (!isTemporaryNameFor(temporary, disk::baseNameOf(file.target))) {
        return "it names " + quotedForScreen(temporary) + ", which is no temporary file of " +
               quotedForScreen(name);
      }
      file.temporary = inFolder(disk::folderOf(file.target), temporary);
      const disk::Found found = p.lookAt(file.temporary);
      if (found != disk::Found::kMissing && found != disk::Found::kOwnFile) {
        return "its temporary file " + quotedForScreen(temporary) + " is not census's own";
      }
    }
    plan->files.push_back(std::move(file));
  }
  if (plan->committed && !text.empty()) return "it holds text that is no name";
  return "";
}

// Finishes or undoes the save a checked journal describes.
void carryOut(FilePrimitives& p, const JournalPlan& plan) {
  std::string ignored;
  for (const JournalFile& file : plan.files) {
    if (file.temporary.empty()) {
      if (plan.committed) p.removeFile(file.target);
    } else if (plan.committed && p.lookAt(file.temporary) != disk::Found::kMissing) {
      p.renameOver(file.temporary, file.target, &ignored);
      p.syncFolder(disk::folderOf(file.target));
    } else {
      p.removeFile(file.temporary);
    }
  }
}

// Why what stands at the journal's name is no journal census may act on,
// or "" where it is one, its text then in *text.
std::string readOwnJournal(FilePrimitives& p, const std::string& path, std::string* text) {
  switch (p.lookAt(path)) {
    case disk::Found::kMissing:
    case disk::Found::kOwnFile:
      break;
    case disk::Found::kForeignFile:
      return "it belongs to another user";
    case disk::Found::kDirectory:
      return "it is a directory";
    case disk::Found::kLink:
      return "it is a symbolic link";
    case disk::Found::kOther:
      return "it is not a regular file";
  }
  bool longer = false;
  std::string reason;
  if (!p.readSmallFile(path, kMostJournalBytes, text, &longer, &reason)) {
    return "it cannot be read: " + reason;
  }
  if (longer) return "it is larger than " + std::to_string(kMostJournalBytes / 1024) + " KiB";
  return "";
}

// Moves a journal census will not act on out of the way, keeping it as it
// is for whoever wants to see it; returns the name it is kept as.
std::string setAside(FilePrimitives& p, const std::string& folder, const std::string& journal,
                     std::string* reason) {
  const std::string base =
      std::string(kJournalName) + ".rejected-" + utcText(std::time(nullptr), "%Y%m%dT%H%M%SZ");
  std::string name = base;
  for (int n = 2; p.lookAt(inFolder(folder, name)) != disk::Found::kMissing && n < 1000; ++n) {
    name = base + "-" + std::to_string(n);
  }
  if (!p.renameOver(journal, inFolder(folder, name), reason)) return "";
  p.syncFolder(folder);
  return name;
}

class SavingFileSystem final : public FileSystem {
 public:
  SavingFileSystem(FilePrimitives& primitives, DiskOptions options,
                   std::unique_ptr<FilePrimitives> owned = nullptr)
      : owned_(std::move(owned)), p(primitives), options_(std::move(options)) {}

  OpenedFile openForReading(const std::string& name) override { return p.openForReading(name); }

  std::optional<FileStamp> stampOf(const std::string& name) override { return p.stampOf(name); }

  std::string contentAsWritten(const FileReplacement& file) const override {
    return file.line_ends == LineEnds::kPlatform ? p.withPlatformLineEnds(file.content)
                                                 : file.content;
  }

  bool folderExists(const std::string& name) override {
    disk::PathInfo info;
    std::string ignored;
    return p.inspect(name, &info, &ignored, disk::Writability::kSkip) &&
           info.kind == disk::Kind::kDirectory;
  }

  // A folder made is flushed into its own folder at once: the saves in it
  // must not outlive it in a power cut.
  bool makeFolder(const std::string& name, std::string* reason) override {
    if (!p.makeFolder(name, reason)) return false;
    p.syncFolder(disk::folderOf(name));
    return true;
  }

  void removeEmptyFolder(const std::string& name) override { p.removeEmptyFolder(name); }

  std::string canonicalName(const std::string& name) override { return p.canonicalPath(name); }

  int descriptorNamed(const std::string& name) override { return p.descriptorNamed(name); }

  void setSavePatience(std::chrono::milliseconds patience) override {
    options_.patience = patience;
  }

  bool checkReplaceable(std::span<const FileReplacement> files, SaveFailure* failure) override {
    std::vector<Step> steps;
    return planSteps(p, files, &steps, failure);
  }

  bool replaceFiles(std::span<const FileReplacement> files, SaveFailure* failure) override {
    return replaceFilesAmended(files, nullptr, failure);
  }

  bool replaceFilesAmended(std::span<const FileReplacement> asked, const Amendment& amend,
                           SaveFailure* failure) override {
    std::vector<Step> steps;
    if (!planSteps(p, asked, &steps, failure)) return false;
    if (!amend &&
        std::all_of(steps.begin(), steps.end(), [](const Step& step) { return step.write_into; })) {
      return versionsStillHold(*this, asked, failure) && writeInto(steps, failure);
    }

    const std::string folder = disk::folderOf(asked.front().name);
    std::unique_ptr<HeldLock> lock;
    std::string reason;
    switch (p.lockFolder(inFolder(folder, kLockName), lockWait(folder), &lock, &reason)) {
      case disk::LockResult::kHeld:
        break;
      case disk::LockResult::kBusy:
        fail(failure, asked.front().name, reason);
        failure->busy = true;
        return false;
      case disk::LockResult::kFailed:
        return fail(failure, asked.front().name, reason);
    }
    const std::string journal = inFolder(folder, kJournalName);
    settleJournal(folder);
    std::vector<FileReplacement> amended;
    if (amend && !amend(asked, &amended, failure)) return false;
    const std::span<const FileReplacement> files = amend ? std::span(amended) : asked;
    // What stood there may have changed while the lock was awaited.
    if (!planSteps(p, files, &steps, failure) || !versionsStillHold(*this, files, failure)) {
      return false;
    }
    std::size_t replaced = 0;
    for (Step& step : steps) {
      if (step.write_into) continue;
      ++replaced;
      if (!nameInFolder(folder, step.file->name, &step.name) || !isSavedName(step.name)) {
        return fail(failure, step.file->name, "not a file of the folder of its save");
      }
      if (!step.remove) step.temporary = freeTemporaryName(step.target);
    }
    steps_taken_ = 0;
    if (!writeJournal(p, journal, journalText(steps, false), &reason)) {
      p.removeFile(journal);
      return fail(failure, files.front().name, reason);
    }
    if (stopsHere(failure)) return false;
    if (!writeTemporaries(steps, failure) || !commit(journal, steps, replaced, failure)) {
      if (failure->reason != kStopped) settleJournal(folder);  // not decided: undone
      return false;
    }
    if (!writeInto(steps, failure) || !renameAll(steps, failure)) {
      if (failure->reason == kStopped) return false;
      // A single file is still as it was. Of several, the save is decided,
      // and the journal stays for the next start to finish it.
      if (replaced < 2) {
        settleJournal(folder);
      } else {
        failure->decided = true;
      }
      return false;
    }
    p.removeFile(journal);
    p.syncFolder(folder);
    return true;
  }

  void recoverSaves() override {
    if (p.lookAt(std::string(kJournalName)) == disk::Found::kMissing &&
        p.lookAt(std::string(kLockName)) == disk::Found::kMissing) {
      return;
    }
    std::unique_ptr<HeldLock> lock;
    std::string reason;
    switch (p.lockFolder(std::string(kLockName), lockWait("."), &lock, &reason)) {
      case disk::LockResult::kHeld:
        settleJournal(".");
        return;
      case disk::LockResult::kBusy:
        return;  // its holder settles any journal itself
      case disk::LockResult::kFailed:
        say("census: " + reason);
        return;
    }
  }

 private:
  static constexpr std::string_view kStopped = "stopped as if killed";

  void say(const std::string& line) {
    if (options_.notice) options_.notice(line);
  }

  disk::LockWait lockWait(const std::string& folder) {
    return {options_.patience, [this, folder](const std::string& holder) {
              say("census: waiting for another save in " + safeForScreen(p.absolutePath(folder)) +
                  (holder.empty() ? std::string() : " (process " + holder + ")"));
            }};
  }

  // Finishes or undoes a save cut short in folder, where its journal is
  // census's own; sets any other aside and says so. Then removes the
  // journal. REQUIRES: the folder's lock is held.
  void settleJournal(const std::string& folder) {
    const std::string journal = inFolder(folder, kJournalName);
    const std::string next = journal + ".new";
    if (p.lookAt(next) == disk::Found::kOwnFile) p.removeFile(next);
    if (p.lookAt(journal) == disk::Found::kMissing) return;
    std::string text;
    JournalPlan plan;
    std::string problem = readOwnJournal(p, journal, &text);
    if (problem.empty()) problem = planFromJournal(p, folder, text, &plan);
    if (!problem.empty()) {
      std::string reason;
      const std::string kept = setAside(p, folder, journal, &reason);
      say("census: ignored a save journal that is not census's own: " + problem +
          (kept.empty() ? " (it could not be set aside: " + reason + ")"
                        : " (kept as " + safeForScreen(kept) + ")"));
      return;
    }
    carryOut(p, plan);
    p.removeFile(journal);
    p.syncFolder(folder);
  }

  // The cut of a test: true, with the save's failure set, where the save
  // is to stop dead at this step.
  bool stopsHere(SaveFailure* failure) {
    if (options_.stop_after_steps < 0 || steps_taken_++ < options_.stop_after_steps) return false;
    fail(failure, "", std::string(kStopped));
    return true;
  }

  std::string freeTemporaryName(const std::string& target) {
    std::string name;
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
      name = p.temporaryNameFor(target, attempt + counter_);
      if (p.lookAt(name) == disk::Found::kMissing) break;
    }
    ++counter_;
    return name;
  }

  bool writeTemporaries(std::vector<Step>& steps, SaveFailure* failure) {
    for (Step& step : steps) {
      if (step.write_into || step.remove) continue;
      std::string reason;
      const std::string content = step.file->line_ends == LineEnds::kPlatform
                                      ? p.withPlatformLineEnds(step.file->content)
                                      : std::string();
      const std::string_view bytes =
          step.file->line_ends == LineEnds::kPlatform ? content : step.file->content;
      if (!p.createNew(step.temporary, bytes, step.mode, &reason)) {
        return fail(failure, step.file->name, reason);
      }
      if (stopsHere(failure)) return false;
    }
    for (const Step& step : steps) {
      if (!step.write_into && !step.remove) p.syncFolder(disk::folderOf(step.temporary));
    }
    return true;
  }

  // Where several files are replaced, the save is decided once the journal
  // says so: from then on a start after a crash finishes it.
  bool commit(const std::string& journal, const std::vector<Step>& steps, std::size_t replaced,
              SaveFailure* failure) {
    if (replaced < 2) return true;
    std::string reason;
    const std::string next = journal + ".new";
    if (!writeJournal(p, next, journalText(steps, true), &reason) ||
        !p.renameOver(next, journal, &reason)) {
      p.removeFile(next);
      return fail(failure, steps.front().file->name, reason);
    }
    p.syncFolder(disk::folderOf(journal));
    return !stopsHere(failure);
  }

  bool writeInto(const std::vector<Step>& steps, SaveFailure* failure) {
    for (const Step& step : steps) {
      if (!step.write_into) continue;
      std::string reason;
      const bool written = step.descriptor >= 0
                               ? p.writeToDescriptor(step.descriptor, step.file->content, &reason)
                               : p.writeInto(step.target, step.file->content, &reason);
      if (!written) return fail(failure, step.file->name, reason);
    }
    return true;
  }

  bool renameAll(const std::vector<Step>& steps, SaveFailure* failure) {
    for (const Step& step : steps) {
      if (step.write_into) continue;
      std::string reason;
      if (step.remove) {
        p.removeFile(step.target);
      } else if (!p.renameOver(step.temporary, step.target, &reason)) {
        return fail(failure, step.file->name, reason);
      }
      if (stopsHere(failure)) return false;
    }
    for (const Step& step : steps) {
      if (!step.write_into) p.syncFolder(disk::folderOf(step.target));
    }
    return true;
  }

  std::unique_ptr<FilePrimitives> owned_;
  FilePrimitives& p;  // the primitives every step is made of
  DiskOptions options_;
  unsigned counter_ = 0;
  int steps_taken_ = 0;
};

}  // namespace

std::unique_ptr<FileSystem> makeSavingFileSystem(FilePrimitives& primitives, DiskOptions options) {
  return std::make_unique<SavingFileSystem>(primitives, std::move(options));
}

std::unique_ptr<FileSystem> makeDiskFileSystem(DiskOptions options) {
  std::unique_ptr<FilePrimitives> disk = makeDiskPrimitives();
  FilePrimitives& primitives = *disk;
  return std::make_unique<SavingFileSystem>(primitives, std::move(options), std::move(disk));
}

}  // namespace census
