// The saves of census over primitives held in memory, for the tests and
// the fuzz targets: the same transaction, journal and recovery as on a
// disk, with files as names and contents. A name may instead stand for
// something that is not a readable regular file, so that every way a real
// file fails can be set up without a disk.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "fakes/memory_primitives.h"
#include "save/file_system.h"

namespace census {

class MemoryFileSystem final : public FileSystem {
 public:
  MemoryFileSystem();

  // What stands at a name besides a plain file.
  enum class Oddity {
    kNone,
    kDirectory,    // cannot be read nor replaced: "Is a directory"
    kUnreadable,   // cannot be read: "Permission denied"; may be replaced
    kReadOnly,     // can be read, cannot be replaced: "Permission denied"
    kFailsMidway,  // its first block reads, then a read error: "Input/output error"
  };

  // Puts a file (or, with an oddity, something else) at name.
  void set(const std::string& name, std::string content, Oddity oddity = Oddity::kNone);
  void remove(const std::string& name) { primitives_.erase(name); }
  // The content at name, or nothing where no file is there.
  std::optional<std::string> get(const std::string& name) const { return primitives_.file(name); }

  // Saves fail with "No space left on device" once the bytes written in
  // all would pass this many; unlimited where not set.
  void limitSpace(std::size_t bytes) { primitives_.limitSpace(bytes); }

  // How saves end from now on, for what only a disk shows otherwise:
  // another census holding the folder's lock, or a save that fails past its
  // point of no return (a rename refused after the journal was committed).
  enum class SaveOutcome { kAsAsked, kBusy, kFailsWhenDecided };
  void setSaveOutcome(SaveOutcome outcome);

  // How many saves have changed files.
  std::size_t saves() const { return saves_; }

  MemoryPrimitives& primitives() { return primitives_; }

  OpenedFile openForReading(const std::string& name) override {
    return save_->openForReading(name);
  }
  std::optional<FileStamp> stampOf(const std::string& name) override {
    return save_->stampOf(name);
  }
  bool checkReplaceable(std::span<const FileReplacement> files, SaveFailure* failure) override {
    return save_->checkReplaceable(files, failure);
  }
  bool replaceFiles(std::span<const FileReplacement> files, SaveFailure* failure) override {
    return counted(save_->replaceFiles(files, failure));
  }
  bool replaceFilesAmended(std::span<const FileReplacement> files, const Amendment& amend,
                           SaveFailure* failure) override {
    return counted(save_->replaceFilesAmended(files, amend, failure));
  }
  std::unique_ptr<OutputFile> beginOutput(const std::string& name, SaveFailure* failure) override {
    return save_->beginOutput(name, failure);
  }
  void recoverSaves() override { save_->recoverSaves(); }
  std::string contentAsWritten(const FileReplacement& file) const override {
    return save_->contentAsWritten(file);
  }
  bool folderExists(const std::string& name) override { return save_->folderExists(name); }
  bool makeFolder(const std::string& name, std::string* reason) override {
    return save_->makeFolder(name, reason);
  }
  void removeEmptyFolder(const std::string& name) override { save_->removeEmptyFolder(name); }
  std::string historyProblem() override { return save_->historyProblem(); }
  std::string canonicalName(const std::string& name) override { return save_->canonicalName(name); }
  std::string fileIdentity(const std::string& name) override { return save_->fileIdentity(name); }

 private:
  bool counted(bool saved) {
    if (saved) ++saves_;
    return saved;
  }

  MemoryPrimitives primitives_;
  std::unique_ptr<FileSystem> save_;
  std::size_t saves_ = 0;
};

}  // namespace census
