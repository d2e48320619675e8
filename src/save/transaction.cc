// A save as a transaction: the FileSystem over a set of primitives (the
// disk's, or the tests' in memory).
//
// The states of a save, and the function that moves it from each to the
// next:
//
//   PLANNED    every file's target is known and may be written   planSteps
//   LOCKED     the folder's lock is held, and any journal an
//              earlier save left is settled                       lockFolder
//   JOURNALED  the journal names every file and its temporary     writeJournal
//   WRITTEN    every temporary file is whole and flushed          writeTemporaries
//   COMMITTED  the journal bears the commit mark (saves of
//              two files or more)                                 commit
//   RENAMED    every temporary file is renamed over its target    renameAll
//   ENDED      the journal is removed, the lock let go            endSave
//
// The invariants:
//   1. Until COMMITTED, every target holds its old content: nothing is
//      renamed before the commit mark is on the disk.
//   2. Before the commit mark is on the disk, every temporary file's
//      content and name are: a start that finds the mark renames only
//      whole files.
//   3. A start that finds a journal without the mark removes its temporary
//      files; one that finds the mark renames those still there.
//   4. Every save of a folder, of data files, of the history or of both,
//      holds the folder's one lock from LOCKED to ENDED; a file a save
//      reads under it (a version, the history's log) cannot change.
//   5. A save writes only the names its caller gave (and its own journal,
//      lock and temporary files), in its folder or, for a data file that is
//      a link, where the link leads; a name in the history is written only
//      in a history folder of census's own, never through a link.
//   6. A failure before COMMITTED leaves every file as it was; one after it
//      is reported as a failure, and the next start finishes the save.
//
// What a save flushes, and why no less will do (a save of N files in one
// folder; one file needs no commit):
//   - the journal, as it is made (1): its name and content are on the disk
//     with the temporary files' names, so a power cut leaves nothing behind;
//   - each temporary file (N): invariant 2;
//   - the folder after the temporary files (1, N > 1 only): their names,
//     invariant 2;
//   - the journal with the mark and the folder after its rename (2, N > 1
//     only): COMMITTED is on the disk before anything is renamed;
//   - the folder after the renames (1): a save reported done survives a
//     power cut.
// So 3 for one file and N + 5 for several. The journal's removal is not
// flushed: a journal found again after a power cut names temporary files
// that are gone, and its settling changes nothing.
//
// An output the operator named that is alone in its save (export -o) needs
// no journal and no lock: its rename is one step. A temporary file a kill
// left of it is removed by the next output to that name.
#include "save/transaction.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <ostream>
#include <set>
#include <streambuf>
#include <vector>

#include "base/text.h"
#include "os/primitives.h"
#include "save/file_system.h"
#include "save/journal.h"
#include "save/recovery.h"

namespace census {
namespace {

// One file of a save, as it will be done.
struct Step {
  const FileReplacement* file;
  std::string name;         // as the journal names it: in the save's folder
  std::string target;       // the file to replace, links followed (not in the history)
  bool write_into = false;  // not a regular file: written into, not replaced
  int descriptor = -1;      // one of this process's own, written at its position
  bool remove = false;      // removed, not replaced: it has no temporary file
  bool reused = false;      // a kept content already there as it should be: left alone
  unsigned mode = 0;        // the permission bits to give it; 0 for the system's default
  std::string temporary;    // beside the target
};

bool fail(SaveFailure* failure, const std::string& name, std::string reason) {
  *failure = {name, std::move(reason)};
  return false;
}

// The folder whose lock and journal a save of name takes: its own, or for
// a name in the history, the folder the history is kept for.
std::string saveFolderOf(const std::string& name) {
  if (isHistoryName(name)) return ".";
  return disk::folderOf(name);
}

// The permission bits of the regular file at name, links followed; 0
// where there is none.
unsigned modeOf(FilePrimitives& p, const std::string& name) {
  disk::PathInfo info;
  std::string ignored;
  if (p.inspectFollowingLinks(p.resolveLinks(name), &info, &ignored, disk::Writability::kSkip) &&
      disk::isRegularFile(info.kind)) {
    return info.mode;
  }
  return 0;
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
  std::string reason;
  if (isHistoryName(file.name)) {
    if (!targetOf(p, ".", file.name, file.remove, &step->target, &reason)) {
      return fail(failure, file.name, reason);
    }
  } else {
    step->target = p.resolveLinks(file.name);
  }
  disk::PathInfo info;
  if (!p.inspectFollowingLinks(step->target, &info, &reason, disk::Writability::kTell))
    return fail(failure, file.name, reason);
  // The new content is made beside its target before it replaces it.
  if (info.kind != disk::Kind::kOther && !disk::isDirectory(info.kind) &&
      !p.folderTakesNewFiles(disk::folderOf(step->target), &reason)) {
    return fail(failure, file.name, reason);
  }
  // A copy is readable by no more users than its original, each time it is
  // made or used again.
  const unsigned copied_mode = file.permissions_of.empty() ? 0 : modeOf(p, file.permissions_of);
  switch (info.kind) {
    case disk::Kind::kMissing:
      step->mode = copied_mode;
      return true;
    case disk::Kind::kOwnDirectory:
    case disk::Kind::kForeignDirectory:
      return fail(failure, file.name, errorText(EISDIR));
    case disk::Kind::kLink:  // not found where links are followed
    case disk::Kind::kOther:
      if (!file.operator_output || file.remove) {
        return fail(failure, file.name, "not a regular file");
      }
      step->write_into = true;
      return true;
    case disk::Kind::kOwnFile:
    case disk::Kind::kForeignFile:
      if (!info.writable) return fail(failure, file.name, info.not_writable);
      step->mode = copied_mode != 0 ? copied_mode : info.mode;
      step->reused = file.reuse_existing && step->mode == info.mode;
      return true;
  }
  return true;
}

// Two names of a save that lead to one file would have one content
// overwrite the other's: such a save is refused before anything is
// written. Files are told apart by what they are on the disk, not by their
// names, so two mounts of one folder are one folder.
bool distinctTargets(FilePrimitives& p, const std::vector<Step>& steps, SaveFailure* failure) {
  std::vector<std::string> seen;
  for (const Step& step : steps) {
    if (step.descriptor >= 0) continue;
    std::string identity = p.fileIdentity(step.target);
    if (identity.empty()) {
      // Not there yet: known by its folder and its name in it.
      const std::string folder = p.fileIdentity(disk::folderOf(step.target));
      identity = (folder.empty() ? p.canonicalPath(step.target) : folder) + "/" +
                 disk::baseNameOf(step.target);
    }
    for (std::size_t i = 0; i < seen.size(); ++i) {
      if (seen[i] != identity) continue;
      return fail(failure, step.file->name,
                  "it is the same file as " + safeForScreen(steps[i].file->name));
    }
    seen.push_back(std::move(identity));
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

std::vector<JournalFile> journalFiles(const std::vector<Step>& steps) {
  std::vector<JournalFile> files;
  for (const Step& step : steps) {
    if (!step.write_into && !step.reused) {
      files.push_back({step.name, disk::baseNameOf(step.temporary)});
    }
  }
  return files;
}

bool writeJournal(FilePrimitives& p, const std::string& path, const std::string& text,
                  std::string* reason) {
  p.removeFile(path);
  return p.createNew(path, text, 0, reason);
}

bool syncFolders(FilePrimitives& p, const std::set<std::string>& folders, std::string* reason) {
  for (const std::string& folder : folders) {
    if (!p.syncFolder(folder, reason)) return false;
  }
  return true;
}

// A stream that hands what is written to it on in blocks, and keeps the
// first failure of doing so.
class BlockStreamBuffer final : public std::streambuf {
 public:
  using Sink = std::function<bool(std::string_view block, std::string* reason)>;
  explicit BlockStreamBuffer(Sink sink) : sink_(std::move(sink)), block_(kBlockSize, '\0') {
    setp(block_.data(), block_.data() + block_.size());
  }
  // Hands on what is pending; false once any block failed.
  bool drain() {
    const std::string_view pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    if (reason_.empty() && !pending.empty() && !sink_(pending, &reason_) && reason_.empty()) {
      reason_ = errorText(EIO);
    }
    setp(block_.data(), block_.data() + block_.size());
    return reason_.empty();
  }
  const std::string& reason() const { return reason_; }

 protected:
  int_type overflow(int_type c) override {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return drain() ? 0 : -1; }

 private:
  static constexpr std::size_t kBlockSize = 64 * 1024;
  Sink sink_;
  std::string block_;
  std::string reason_;
};

// An output written into a temporary file as it is made (or into a
// descriptor of this process), the temporary renamed over its target at
// commit and removed where it is dropped.
class StreamedOutput final : public OutputFile {
 public:
  StreamedOutput(FilePrimitives& p, std::string name, std::string target, std::string temporary,
                 std::unique_ptr<NewFileWriter> writer, unsigned mode, int descriptor)
      : p_(p),
        name_(std::move(name)),
        target_(std::move(target)),
        temporary_(std::move(temporary)),
        writer_(std::move(writer)),
        mode_(mode),
        buffer_([this, descriptor](std::string_view block, std::string* reason) {
          return writer_ ? writer_->write(block, reason)
                         : p_.writeToDescriptor(descriptor, block, reason);
        }),
        stream_(&buffer_) {}
  ~StreamedOutput() override {
    if (writer_ == nullptr) return;
    writer_.reset();
    p_.removeFile(temporary_);
  }

  std::ostream& stream() override { return stream_; }

  bool commit(SaveFailure* failure) override {
    std::string reason;
    if (!buffer_.drain()) return fail(failure, name_, buffer_.reason());
    if (writer_ == nullptr) return true;  // a descriptor: written as it went
    const bool finished = writer_->finish(mode_, &reason);
    writer_.reset();
    if (!finished || !p_.renameOver(temporary_, target_, &reason)) {
      p_.removeFile(temporary_);
      return fail(failure, name_, reason);
    }
    if (!p_.syncFolder(disk::folderOf(target_), &reason)) return fail(failure, name_, reason);
    return true;
  }

 private:
  FilePrimitives& p_;
  std::string name_;
  std::string target_;
  std::string temporary_;
  std::unique_ptr<NewFileWriter> writer_;
  unsigned mode_;
  BlockStreamBuffer buffer_;
  std::ostream stream_;
};

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
    return p.inspectFollowingLinks(name, &info, &ignored, disk::Writability::kSkip) &&
           disk::isDirectory(info.kind);
  }

  // The folder and its log, as a save of the log would find them.
  std::string historyProblem() override {
    std::string target;
    std::string problem;
    targetOf(p, ".", std::string(kHistoryFolderName) + "/log", false, &target, &problem);
    return problem;
  }

  // A folder made is flushed into its own folder at once: the saves in it
  // must not outlive it in a power cut.
  bool makeFolder(const std::string& name, std::string* reason) override {
    return p.makeFolder(name, reason) && p.syncFolder(disk::folderOf(name), reason);
  }

  void removeEmptyFolder(const std::string& name) override { p.removeEmptyFolder(name); }

  std::string canonicalName(const std::string& name) override { return p.canonicalPath(name); }

  std::string fileIdentity(const std::string& name) override {
    const std::string identity = p.fileIdentity(name);
    return identity.empty() ? p.canonicalPath(name) : identity;
  }

  int descriptorNamed(const std::string& name) override { return p.descriptorNamed(name); }

  void setSavePatience(std::chrono::milliseconds patience) override {
    options_.patience = patience;
  }

  bool checkReplaceable(std::span<const FileReplacement> files, SaveFailure* failure) override {
    std::vector<Step> steps;
    return planSteps(p, files, &steps, failure);
  }

  // A FIFO or a device is written into whole at commit, as it always was;
  // anything else as the output is made.
  std::unique_ptr<OutputFile> beginOutput(const std::string& name, SaveFailure* failure) override {
    const FileReplacement file{
        .name = name, .content = "", .line_ends = LineEnds::kExact, .operator_output = true};
    Step step;
    if (!planStep(p, file, &step, failure)) return nullptr;
    if (step.descriptor >= 0) {
      return std::make_unique<StreamedOutput>(p, name, name, "", nullptr, 0, step.descriptor);
    }
    if (step.write_into) return FileSystem::beginOutput(name, failure);
    return outputBeside(step, failure);
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
    if (!amend && asked.size() == 1 && asked.front().operator_output) {
      return versionsStillHold(*this, asked, failure) && replaceAlone(steps.front(), failure);
    }

    const std::string folder = saveFolderOf(asked.front().name);
    std::unique_ptr<HeldLock> lock;
    if (!lockFolder(folder, asked.front().name, options_.patience, &lock, failure)) return false;
    std::vector<FileReplacement> amended;
    if (amend && !amend(asked, &amended, failure)) return false;
    const std::span<const FileReplacement> files = amend ? std::span(amended) : asked;
    // What stood there may have changed while the lock was awaited.
    if (!planSteps(p, files, &steps, failure) || !versionsStillHold(*this, files, failure)) {
      return false;
    }
    std::size_t replaced = 0;
    for (Step& step : steps) {
      if (step.write_into || step.reused) continue;
      ++replaced;
      if (!nameInFolder(folder, step.file->name, &step.name) || !isSavedName(step.name)) {
        return fail(failure, step.file->name, "not a file of the folder of its save");
      }
      if (!step.remove) step.temporary = freeTemporaryName(step.target);
    }
    const std::string journal = inFolder(folder, kSaveJournalName);
    std::string reason;
    if (!writeJournal(p, journal, journalText(journalFiles(steps), false), &reason)) {
      p.removeFile(journal);
      return fail(failure, files.front().name, reason);
    }
    if (!writeTemporaries(steps, replaced, failure) || !commit(journal, steps, replaced, failure)) {
      settleJournal(p, folder, options_.notice);  // not decided: undone
      return false;
    }
    if (!writeInto(steps, failure) || !renameAll(steps, failure)) {
      // A single file is still as it was, or already new: the next start
      // settles it as well as this one could. Of several, the save is
      // decided, and the journal stays for the next start to finish it.
      if (replaced < 2 && !failure->decided) {
        settleJournal(p, folder, options_.notice);
      } else {
        failure->decided = true;
      }
      return false;
    }
    p.removeFile(journal);
    return true;
  }

  // A start settles what a save cut short left, where no other save holds
  // the folder: one that does settles it itself, so a start never waits.
  void recoverSaves() override {
    if (p.lookAtNotFollowing(std::string(kSaveJournalName)) == disk::Kind::kMissing &&
        p.lookAtNotFollowing(std::string(kSaveLockName)) == disk::Kind::kMissing) {
      return;
    }
    std::unique_ptr<HeldLock> lock;
    SaveFailure failure;
    if (!lockFolder(".", std::string(kSaveJournalName), std::chrono::milliseconds(0), &lock,
                    &failure) &&
        !failure.busy) {
      say("census: " + failure.reason);
    }
  }

 private:
  void say(const std::string& line) {
    if (options_.notice) options_.notice(line);
  }

  // Takes the folder's lock, waiting as long as patience allows and saying
  // so once, and settles what an earlier save left there.
  bool lockFolder(const std::string& folder, const std::string& name,
                  std::chrono::milliseconds patience, std::unique_ptr<HeldLock>* lock,
                  SaveFailure* failure) {
    const disk::LockWait wait{patience, [this, folder](const std::string& holder) {
                                say("census: waiting for another save in " +
                                    safeForScreen(p.absolutePath(folder)) +
                                    (holder.empty() ? std::string() : " (process " + holder + ")"));
                              }};
    std::string reason;
    switch (p.lockFolder(inFolder(folder, kSaveLockName), wait, lock, &reason)) {
      case disk::LockResult::kHeld:
        break;
      case disk::LockResult::kBusy:
        fail(failure, name, reason);
        failure->busy = true;
        return false;
      case disk::LockResult::kFailed:
        return fail(failure, name, reason);
    }
    if (std::string problem = settleJournal(p, folder, options_.notice); !problem.empty()) {
      return fail(failure, name, problem);
    }
    return true;
  }

  std::string freeTemporaryName(const std::string& target) {
    std::string name;
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
      name = p.temporaryNameFor(target, attempt + counter_);
      if (p.lookAtNotFollowing(name) == disk::Kind::kMissing) break;
    }
    ++counter_;
    return name;
  }

  // The bytes a save writes for a file.
  bool createTemporary(const Step& step, std::string* reason) {
    if (!step.file->copy_from.empty()) return createCopiedTemporary(step, reason);
    if (step.file->line_ends == LineEnds::kExact) {
      return p.createNew(step.temporary, step.file->content, step.mode, reason);
    }
    return p.createNew(step.temporary, p.withPlatformLineEnds(step.file->content), step.mode,
                       reason);
  }

  // A temporary file that begins with a part of another file, copied a
  // block at a time, and ends with the file's content.
  bool createCopiedTemporary(const Step& step, std::string* reason) {
    const FileReplacement& file = *step.file;
    OpenedFile source = p.openForReading(file.copy_from);
    if (source.status != OpenStatus::kOpen) {
      *reason = source.status == OpenStatus::kMissing ? errorText(ENOENT) : source.reason;
      return false;
    }
    std::unique_ptr<NewFileWriter> writer = p.createForWriting(step.temporary, reason);
    if (writer == nullptr) return false;
    std::string block(64 * 1024, '\0');
    for (std::uint64_t left = file.copy_bytes; left > 0;) {
      std::size_t got = 0;
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
      if (!source.file->read(block.data(), want, &got, reason)) return false;
      if (got == 0) {
        *reason = safeForScreen(file.copy_from) + " was cut short while it was copied";
        return false;
      }
      if (!writer->write(std::string_view(block.data(), got), reason)) return false;
      left -= got;
    }
    return writer->write(file.content, reason) && writer->finish(step.mode, reason);
  }

  // An output alone in its save: written beside its target and renamed
  // over it, with no journal and no lock. What a kill left of an earlier
  // output to the same name goes first.
  bool replaceAlone(const Step& step, SaveFailure* failure) {
    const std::unique_ptr<OutputFile> output = outputBeside(step, failure);
    if (output == nullptr) return false;
    const std::string content = contentAsWritten(*step.file);
    output->stream().write(content.data(), static_cast<std::streamsize>(content.size()));
    return output->commit(failure);
  }

  // An output into a new temporary file beside its target, which replaces
  // the target at commit; null with *failure set where it cannot be made.
  std::unique_ptr<OutputFile> outputBeside(const Step& step, SaveFailure* failure) {
    removeAbandonedTemporaries(step.target);
    const std::string temporary = freeTemporaryName(step.target);
    std::string reason;
    std::unique_ptr<NewFileWriter> writer = p.createForWriting(temporary, &reason);
    if (writer == nullptr) {
      fail(failure, step.file->name, reason);
      return nullptr;
    }
    return std::make_unique<StreamedOutput>(p, step.file->name, step.target, temporary,
                                            std::move(writer), step.mode, -1);
  }

  // Removes the temporary files of target that census processes no longer
  // running left, where they are the user's own.
  void removeAbandonedTemporaries(const std::string& target) {
    const std::string folder = disk::folderOf(target);
    const std::string base = disk::baseNameOf(target);
    for (const std::string& name : p.namesIn(folder)) {
      unsigned long process = 0;
      if (!isTemporaryNameFor(name, base, &process) || p.processRuns(process)) continue;
      const std::string path = inFolder(folder, name);
      if (p.lookAtNotFollowing(path) == disk::Kind::kOwnFile) p.removeFile(path);
    }
  }

  bool writeTemporaries(std::vector<Step>& steps, std::size_t replaced, SaveFailure* failure) {
    std::set<std::string> folders;
    for (Step& step : steps) {
      if (step.write_into || step.remove || step.reused) continue;
      std::string reason;
      if (!createTemporary(step, &reason)) return fail(failure, step.file->name, reason);
      folders.insert(disk::folderOf(step.temporary));
    }
    // One file needs no commit: its rename is flushed after it.
    std::string reason;
    if (replaced >= 2 && !syncFolders(p, folders, &reason)) {
      return fail(failure, steps.front().file->name, reason);
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
    if (!writeJournal(p, next, journalText(journalFiles(steps), true), &reason) ||
        !p.renameOver(next, journal, &reason)) {
      p.removeFile(next);
      return fail(failure, steps.front().file->name, reason);
    }
    if (!p.syncFolder(disk::folderOf(journal), &reason)) {
      return fail(failure, steps.front().file->name, reason);
    }
    return true;
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
    std::set<std::string> folders;
    for (const Step& step : steps) {
      if (step.write_into || step.reused) continue;
      std::string reason;
      if (step.remove) {
        p.removeFile(step.target);
      } else if (!p.renameOver(step.temporary, step.target, &reason)) {
        return fail(failure, step.file->name, reason);
      }
      folders.insert(disk::folderOf(step.target));
    }
    std::string reason;
    if (!syncFolders(p, folders, &reason)) {
      fail(failure, steps.front().file->name, reason);
      failure->decided = true;  // renamed, but perhaps not on the disk
      return false;
    }
    return true;
  }

  std::unique_ptr<FilePrimitives> owned_;
  FilePrimitives& p;  // the primitives every step is made of
  DiskOptions options_;
  unsigned counter_ = 0;
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
