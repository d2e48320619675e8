// The disk's primitives, counted: after a set number of changing
// operations every further one fails, as if the process had been killed
// there, so that a test can cut a real save short at each of its steps. It
// also counts the flushes a save makes.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "os/primitives.h"

namespace census {

class CountingPrimitives final : public FilePrimitives {
 public:
  // Where stop_after is not negative, every changing operation after that
  // many fails with "stopped as if killed".
  explicit CountingPrimitives(int stop_after = -1)
      : disk_(makeDiskPrimitives()), left_(stop_after) {}

  bool stopped() const { return stopped_; }
  // From now on every flush of a folder fails, as a failing disk's does.
  void failFolderFlushes() { fail_folder_flushes_ = true; }
  // Files flushed (each new file) and folders flushed.
  int fileFlushes() const { return file_flushes_; }
  int folderFlushes() const { return folder_flushes_; }

  OpenedFile openForReading(const std::string& name) override {
    return disk_->openForReading(name);
  }
  std::optional<FileStamp> stampOf(const std::string& name) override {
    return disk_->stampOf(name);
  }
  bool readSmallFile(const std::string& path, std::size_t most, std::string* content, bool* longer,
                     std::string* reason) override {
    return disk_->readSmallFile(path, most, content, longer, reason);
  }
  bool inspectFollowingLinks(const std::string& path, disk::PathInfo* info, std::string* reason,
                             disk::Writability writability) override {
    return disk_->inspectFollowingLinks(path, info, reason, writability);
  }
  disk::Kind lookAtNotFollowing(const std::string& path) override {
    return disk_->lookAtNotFollowing(path);
  }
  std::string ownerOf(const std::string& path) override { return disk_->ownerOf(path); }
  std::string fileIdentity(const std::string& path) override { return disk_->fileIdentity(path); }
  std::vector<std::string> namesIn(const std::string& folder) override {
    return disk_->namesIn(folder);
  }
  bool processRuns(unsigned long process) override { return disk_->processRuns(process); }
  std::string resolveLinks(const std::string& path) override { return disk_->resolveLinks(path); }
  std::string canonicalPath(const std::string& path) override { return disk_->canonicalPath(path); }
  int descriptorNamed(const std::string& path) override { return disk_->descriptorNamed(path); }
  bool folderTakesNewFiles(const std::string& folder, std::string* reason) override {
    return disk_->folderTakesNewFiles(folder, reason);
  }
  std::string absolutePath(const std::string& path) override { return disk_->absolutePath(path); }

  bool createNew(const std::string& path, std::string_view content, unsigned mode,
                 std::string* reason) override {
    if (!step(reason)) return false;
    ++file_flushes_;
    return disk_->createNew(path, content, mode, reason);
  }
  std::unique_ptr<NewFileWriter> createForWriting(const std::string& path,
                                                  std::string* reason) override {
    if (!step(reason)) return nullptr;
    ++file_flushes_;
    return disk_->createForWriting(path, reason);
  }
  bool writeInto(const std::string& path, std::string_view content, std::string* reason) override {
    return step(reason) && disk_->writeInto(path, content, reason);
  }
  bool writeToDescriptor(int descriptor, std::string_view content, std::string* reason) override {
    return step(reason) && disk_->writeToDescriptor(descriptor, content, reason);
  }
  bool renameOver(const std::string& from, const std::string& to, std::string* reason) override {
    return step(reason) && disk_->renameOver(from, to, reason);
  }
  void removeFile(const std::string& path) override {
    std::string ignored;
    if (step(&ignored)) disk_->removeFile(path);
  }
  bool makeFolder(const std::string& path, std::string* reason) override {
    return step(reason) && disk_->makeFolder(path, reason);
  }
  void removeEmptyFolder(const std::string& path) override {
    std::string ignored;
    if (step(&ignored)) disk_->removeEmptyFolder(path);
  }
  bool syncFolder(const std::string& path, std::string* reason) override {
    if (!step(reason)) return false;
    ++folder_flushes_;
    if (fail_folder_flushes_) {
      *reason = "Input/output error";
      return false;
    }
    return disk_->syncFolder(path, reason);
  }
  disk::LockResult lockFolder(const std::string& lock_path, const disk::LockWait& wait,
                              std::unique_ptr<HeldLock>* held, std::string* reason) override {
    return disk_->lockFolder(lock_path, wait, held, reason);
  }
  std::string temporaryNameFor(const std::string& path, unsigned attempt) override {
    return disk_->temporaryNameFor(path, attempt);
  }
  std::string withPlatformLineEnds(std::string_view text) override {
    return disk_->withPlatformLineEnds(text);
  }

 private:
  bool step(std::string* reason) {
    if (left_ == 0) stopped_ = true;
    if (stopped_) {
      *reason = "stopped as if killed";
      return false;
    }
    if (left_ > 0) --left_;
    return true;
  }

  std::unique_ptr<FilePrimitives> disk_;
  int left_;
  bool stopped_ = false;
  bool fail_folder_flushes_ = false;
  int file_flushes_ = 0;
  int folder_flushes_ = 0;
};

}  // namespace census
