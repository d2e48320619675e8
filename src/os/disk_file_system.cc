// The disk's FileSystem: reading through the C library, and saves as
// transactions. A save takes the folder's lock, writes a journal naming
// each temporary file and the file it is to replace, writes and flushes the
// temporary files, marks the journal committed (where more than one file is
// replaced), renames them over their targets, and removes the journal. A
// journal found under the lock belongs to a save that was cut short: a
// committed one is finished, any other is undone by removing its temporary
// files.
#include <cerrno>
#include <vector>

#include "os/disk.h"
#include "os/file_system.h"

namespace census {
namespace {

constexpr std::string_view kLockName = ".census-save.lock";
constexpr std::string_view kJournalName = ".census-save.journal";
constexpr std::string_view kJournalHeader = "census save journal\n";
constexpr std::string_view kCommitMark = "commit\n";

class DiskInputFile final : public InputFile {
 public:
  explicit DiskInputFile(std::FILE* file) : file_(file) {}
  ~DiskInputFile() override { std::fclose(file_); }
  DiskInputFile(const DiskInputFile&) = delete;
  DiskInputFile& operator=(const DiskInputFile&) = delete;

  bool read(char* buffer, std::size_t size, std::size_t* count, std::string* reason) override {
    errno = 0;
    *count = std::fread(buffer, 1, size, file_);
    if (*count > 0 || std::ferror(file_) == 0) return true;
    *reason = errorText(errno == 0 ? EIO : errno);
    return false;
  }

 private:
  std::FILE* file_;
};

std::string inFolder(const std::string& folder, std::string_view name) {
  return folder == "." ? std::string(name) : folder + "/" + std::string(name);
}

// One file of a save, as it will be done.
struct Step {
  const FileReplacement* file;
  std::string target;       // the file to replace, links followed
  bool write_into = false;  // not a regular file: written into, not replaced
  bool remove = false;      // removed, not replaced: it has no temporary file
  unsigned mode = 0;        // the target's permission bits to keep; 0 for a new file
  std::string temporary;
};

bool fail(SaveFailure* failure, const std::string& name, std::string reason) {
  *failure = {name, std::move(reason)};
  return false;
}

// Works out how one file is to be saved, or why it cannot be.
bool planStep(const FileReplacement& file, Step* step, SaveFailure* failure) {
  step->file = &file;
  if (file.operator_output && disk::isDeviceName(file.name)) {
    step->write_into = true;
    step->target = file.name;
    return true;
  }
  step->target = disk::resolveLinks(file.name);
  step->remove = file.remove;
  disk::PathInfo info;
  std::string reason;
  if (!disk::inspect(step->target, &info, &reason)) return fail(failure, file.name, reason);
  // The new content is made beside its target before it replaces it.
  if (info.kind != disk::Kind::kOther && info.kind != disk::Kind::kDirectory &&
      !disk::folderTakesNewFiles(disk::folderOf(step->target))) {
    return fail(failure, file.name, errorText(EACCES));
  }
  switch (info.kind) {
    case disk::Kind::kMissing:
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
      if (!info.writable) return fail(failure, file.name, errorText(EACCES));
      step->mode = info.mode;
      return true;
  }
  return true;
}

bool planSteps(std::span<const FileReplacement> files, std::vector<Step>* steps,
               SaveFailure* failure) {
  steps->assign(files.size(), Step{});
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!planStep(files[i], &(*steps)[i], failure)) return false;
  }
  return true;
}

// The journal: its header, then each temporary file and its target, each
// name ended by a NUL byte (an empty temporary name for a file to remove),
// and, once the save is decided, the commit mark.
std::string journalText(const std::vector<Step>& steps, bool committed) {
  std::string text(kJournalHeader);
  for (const Step& step : steps) {
    if (step.write_into) continue;
    text.append(step.temporary).push_back('\0');
    text.append(disk::absolutePath(step.target)).push_back('\0');
  }
  if (committed) text.append(kCommitMark);
  return text;
}

bool writeJournal(const std::string& path, const std::string& text, std::string* reason) {
  disk::removeFile(path);
  disk::NewFile journal;
  return journal.create(path, reason) && journal.finish(text, 0, reason);
}

// Finishes or undoes the save a journal describes, then removes it.
// REQUIRES: the folder's lock is held.
void settleJournal(const std::string& path) {
  std::string text;
  std::string ignored;
  if (std::FILE* file = disk::openToRead(path, &ignored)) {
    char block[4096];
    for (std::size_t read; (read = std::fread(block, 1, sizeof block, file)) > 0;) {
      text.append(block, read);
    }
    std::fclose(file);
  }
  const bool committed = text.starts_with(kJournalHeader) && text.ends_with(kCommitMark);
  std::string_view names(text);
  if (names.starts_with(kJournalHeader)) names.remove_prefix(kJournalHeader.size());
  if (committed) names.remove_suffix(kCommitMark.size());
  for (std::size_t end; (end = names.find('\0')) != std::string_view::npos;) {
    const std::string temporary(names.substr(0, end));
    names.remove_prefix(end + 1);
    const std::size_t target_end = names.find('\0');
    if (target_end == std::string_view::npos) {
      disk::removeFile(temporary);
      break;
    }
    const std::string target(names.substr(0, target_end));
    names.remove_prefix(target_end + 1);
    if (temporary.empty()) {
      if (committed) disk::removeFile(target);
    } else if (committed && disk::exists(temporary)) {
      disk::renameOver(temporary, target, &ignored);
      disk::syncFolder(disk::folderOf(target));
    } else {
      disk::removeFile(temporary);
    }
  }
  disk::removeFile(path + ".new");
  disk::removeFile(path);
  disk::syncFolder(disk::folderOf(path));
}

class DiskFileSystem final : public FileSystem {
 public:
  OpenedFile openForReading(const std::string& name) override {
    disk::PathInfo info;
    OpenedFile opened;
    if (!disk::inspect(name, &info, &opened.reason, disk::Writability::kSkip)) {
      opened.status = OpenStatus::kUnreadable;
      return opened;
    }
    if (info.kind == disk::Kind::kMissing) return opened;
    opened.status = OpenStatus::kUnreadable;
    if (info.kind == disk::Kind::kDirectory) {
      opened.reason = errorText(EISDIR);
      return opened;
    }
    // A FIFO or a device in place of a file could keep a reader waiting
    // for ever; only one the operator names by its device name is read.
    if (info.kind == disk::Kind::kOther && !disk::isDeviceName(name)) {
      opened.reason = "not a regular file";
      return opened;
    }
    std::FILE* file = disk::openToRead(name, &opened.reason);
    if (file == nullptr) return opened;
    opened.status = OpenStatus::kOpen;
    opened.file = std::make_unique<DiskInputFile>(file);
    return opened;
  }

  std::optional<FileStamp> stampOf(const std::string& name) override {
    FileStamp stamp;
    if (!disk::stampOf(name, &stamp)) return std::nullopt;
    return stamp;
  }

  std::string contentAsWritten(const FileReplacement& file) const override {
    return file.line_ends == LineEnds::kPlatform ? disk::withPlatformLineEnds(file.content)
                                                 : file.content;
  }

  bool folderExists(const std::string& name) override {
    disk::PathInfo info;
    std::string ignored;
    return disk::inspect(name, &info, &ignored, disk::Writability::kSkip) &&
           info.kind == disk::Kind::kDirectory;
  }

  bool makeFolder(const std::string& name, std::string* reason) override {
    return disk::makeFolder(name, reason);
  }

  void removeEmptyFolder(const std::string& name) override { disk::removeEmptyFolder(name); }

  bool checkReplaceable(std::span<const FileReplacement> files, SaveFailure* failure) override {
    std::vector<Step> steps;
    return planSteps(files, &steps, failure);
  }

  bool replaceFiles(std::span<const FileReplacement> files, SaveFailure* failure) override {
    return replaceFilesAmended(files, nullptr, failure);
  }

  bool replaceFilesAmended(std::span<const FileReplacement> asked, const Amendment& amend,
                           SaveFailure* failure) override {
    std::vector<Step> steps;
    if (!planSteps(asked, &steps, failure)) return false;
    std::size_t replaced = 0;
    for (const Step& step : steps) replaced += step.write_into ? 0 : 1;
    if (replaced == 0 && !amend) {
      return versionsStillHold(*this, asked, failure) && writeInto(steps, failure);
    }

    const std::string folder = disk::folderOf(asked.front().name);
    disk::FolderLock lock;
    std::string reason;
    if (!lock.acquire(inFolder(folder, kLockName), &reason)) {
      return fail(failure, asked.front().name, reason);
    }
    const std::string journal = inFolder(folder, kJournalName);
    if (disk::exists(journal)) settleJournal(journal);
    std::vector<FileReplacement> amended;
    if (amend && !amend(asked, &amended, failure)) return false;
    const std::span<const FileReplacement> files = amend ? std::span(amended) : asked;
    // What stood there may have changed while the lock was awaited.
    if (!planSteps(files, &steps, failure) || !versionsStillHold(*this, files, failure)) {
      return false;
    }
    replaced = 0;
    for (const Step& step : steps) replaced += step.write_into ? 0 : 1;
    for (Step& step : steps) {
      if (!step.write_into && !step.remove) step.temporary = freeTemporaryName(step.target);
    }
    if (!writeJournal(journal, journalText(steps, false), &reason)) {
      disk::removeFile(journal);
      return fail(failure, files.front().name, reason);
    }
    if (!writeTemporaries(steps, failure) || !commit(journal, steps, replaced, failure)) {
      settleJournal(journal);  // not decided: undone
      return false;
    }
    if (!writeInto(steps, failure) || !renameAll(steps, failure)) {
      // A single file is still as it was. Of several, the save is decided,
      // and the journal stays for the next start to finish it.
      if (replaced < 2) settleJournal(journal);
      return false;
    }
    disk::removeFile(journal);
    disk::syncFolder(folder);
    return true;
  }

  void recoverSaves() override {
    const std::string journal(kJournalName);
    const std::string lock_path(kLockName);
    if (!disk::exists(journal) && !disk::exists(lock_path)) return;
    disk::FolderLock lock;
    std::string ignored;
    if (!lock.acquire(lock_path, &ignored)) return;
    if (disk::exists(journal)) settleJournal(journal);
  }

 private:
  std::string freeTemporaryName(const std::string& target) {
    std::string name;
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
      name = disk::temporaryNameFor(target, attempt + counter_);
      if (!disk::exists(name)) break;
    }
    ++counter_;
    return disk::absolutePath(name);
  }

  static bool writeTemporaries(std::vector<Step>& steps, SaveFailure* failure) {
    for (Step& step : steps) {
      if (step.write_into || step.remove) continue;
      std::string reason;
      disk::NewFile file;
      const std::string content = step.file->line_ends == LineEnds::kPlatform
                                      ? disk::withPlatformLineEnds(step.file->content)
                                      : std::string();
      const std::string_view bytes =
          step.file->line_ends == LineEnds::kPlatform ? content : step.file->content;
      if (!file.create(step.temporary, &reason) || !file.finish(bytes, step.mode, &reason)) {
        return fail(failure, step.file->name, reason);
      }
    }
    for (const Step& step : steps) {
      if (!step.write_into && !step.remove) disk::syncFolder(disk::folderOf(step.temporary));
    }
    return true;
  }

  // Where several files are replaced, the save is decided once the journal
  // says so: from then on a start after a crash finishes it.
  static bool commit(const std::string& journal, const std::vector<Step>& steps,
                     std::size_t replaced, SaveFailure* failure) {
    if (replaced < 2) return true;
    std::string reason;
    const std::string next = journal + ".new";
    if (!writeJournal(next, journalText(steps, true), &reason) ||
        !disk::renameOver(next, journal, &reason)) {
      disk::removeFile(next);
      return fail(failure, steps.front().file->name, reason);
    }
    disk::syncFolder(disk::folderOf(journal));
    return true;
  }

  static bool writeInto(const std::vector<Step>& steps, SaveFailure* failure) {
    for (const Step& step : steps) {
      if (!step.write_into) continue;
      std::string reason;
      if (!disk::writeInto(step.target, step.file->content, &reason)) {
        return fail(failure, step.file->name, reason);
      }
    }
    return true;
  }

  static bool renameAll(const std::vector<Step>& steps, SaveFailure* failure) {
    for (const Step& step : steps) {
      if (step.write_into) continue;
      std::string reason;
      if (step.remove) {
        disk::removeFile(step.target);
        continue;
      }
      if (!disk::renameOver(step.temporary, step.target, &reason)) {
        return fail(failure, step.file->name, reason);
      }
    }
    for (const Step& step : steps) {
      if (!step.write_into) disk::syncFolder(disk::folderOf(step.target));
    }
    return true;
  }

  unsigned counter_ = 0;
};

}  // namespace

std::unique_ptr<FileSystem> makeDiskFileSystem() { return std::make_unique<DiskFileSystem>(); }

}  // namespace census
