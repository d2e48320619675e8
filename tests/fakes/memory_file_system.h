// A FileSystem held in memory, for the tests and the fuzz target: files are
// names with contents, and a name may instead stand for something that is
// not a readable regular file, so that every way a real file fails can be
// set up without a disk.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "save/file_system.h"

namespace census {

class MemoryFileSystem final : public FileSystem {
 public:
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
  void remove(const std::string& name);
  // The content at name, or nothing where no plain file is there.
  std::optional<std::string> get(const std::string& name) const;

  // Saves fail with "No space left on device" once the contents saved in
  // all would pass this many bytes; unlimited where not set.
  void limitSpace(std::size_t bytes) { space_left_ = bytes; }

  // How saves end from now on, for what only a disk shows otherwise:
  // another census holding the folder's lock, or a save that fails past its
  // point of no return (a rename refused after the journal was committed).
  // Either changes nothing here.
  enum class SaveOutcome { kAsAsked, kBusy, kFailsWhenDecided };
  void setSaveOutcome(SaveOutcome outcome) { outcome_ = outcome; }

  // How many times replaceFiles has changed files.
  std::size_t saves() const { return saves_; }

  OpenedFile openForReading(const std::string& name) override;
  std::optional<FileStamp> stampOf(const std::string& name) override;
  bool checkReplaceable(std::span<const FileReplacement> files, SaveFailure* failure) override;
  bool replaceFiles(std::span<const FileReplacement> files, SaveFailure* failure) override;
  bool replaceFilesAmended(std::span<const FileReplacement> files, const Amendment& amend,
                           SaveFailure* failure) override {
    std::vector<FileReplacement> all;
    return amend(files, &all, failure) && replaceFiles(all, failure);
  }
  void recoverSaves() override {}
  std::string contentAsWritten(const FileReplacement& file) const override { return file.content; }
  bool folderExists(const std::string& name) override;
  bool makeFolder(const std::string& name, std::string* reason) override;
  void removeEmptyFolder(const std::string& name) override;

 private:
  struct Entry {
    std::string content;
    Oddity oddity = Oddity::kNone;
    std::uint64_t generation = 0;  // its stamp's file id: new with each content
  };
  std::uint64_t generations_ = 0;
  std::map<std::string, Entry, std::less<>> entries_;
  std::optional<std::size_t> space_left_;
  std::size_t saves_ = 0;
  SaveOutcome outcome_ = SaveOutcome::kAsAsked;
};

}  // namespace census
