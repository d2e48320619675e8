// The primitives in memory, for the tests and the fuzz targets: names with
// contents, folders, and names standing for what is no regular file of the
// user's own. A test may stop the machine after any number of changing
// operations and start it again as a kill leaves it (everything done so
// far stays) or as a power cut does (only what was flushed stays: a new
// file's content is flushed as it is made, but a name made, renamed or
// removed only once its folder is flushed).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "os/primitives.h"

namespace census {

class MemoryPrimitives final : public FilePrimitives {
 public:
  enum class Kind {
    kFile,
    kFolder,
    kFifo,
    kLink,
    kForeignFile,     // another user's
    kUnreadableFile,  // cannot be read: "Permission denied"; may be replaced
    kReadOnlyFile,    // can be read, cannot be replaced: "Permission denied"
    kFailingFile,     // its first block reads, then a read error: "Input/output error"
  };

  // Puts something at name, flushed at once; erase takes it away.
  void set(const std::string& name, std::string content, Kind kind = Kind::kFile);
  void erase(const std::string& name);
  // The content of the regular file at name (the user's or another's), or
  // nothing.
  std::optional<std::string> file(const std::string& name) const;
  // Every name, in order.
  std::vector<std::string> names() const;

  // After this many more changing operations, every operation fails, as
  // if the machine had stopped.
  void stopAfter(int operations) { operations_left_ = operations; }
  // Starts again after a stop: as a kill left it, or as a power cut does.
  void restartAfterKill();
  void restartAfterPowerCut();

  // New files fail with "No space left on device" once the bytes written
  // in all would pass this many.
  void limitSpace(std::size_t bytes) { space_left_ = bytes; }
  // Another process holds (or no longer holds) the lock at lock_path.
  void holdLockElsewhere(const std::string& lock_path, bool held);
  // Renames fail, from now on or no longer, once a save is past its
  // commit: every rename but the journal's own.
  void refuseRenamesAfterCommit(bool refuse) { refuse_renames_ = refuse; }

  OpenedFile openForReading(const std::string& name) override;
  std::optional<FileStamp> stampOf(const std::string& name) override;
  bool readSmallFile(const std::string& path, std::size_t most, std::string* content, bool* longer,
                     std::string* reason) override;
  bool inspectFollowingLinks(const std::string& path, disk::PathInfo* info, std::string* reason,
                             disk::Writability writability) override;
  disk::Kind lookAtNotFollowing(const std::string& path) override;
  std::string ownerOf(const std::string& path) override;
  std::string fileIdentity(const std::string& path) override;
  std::vector<std::string> namesIn(const std::string& folder) override;
  bool processRuns(unsigned long process) override { return process == 1; }
  std::string resolveLinks(const std::string& path) override { return path; }
  std::string canonicalPath(const std::string& path) override;
  int descriptorNamed(const std::string&) override { return -1; }
  bool folderTakesNewFiles(const std::string& folder, std::string* reason) override;
  std::string absolutePath(const std::string& path) override { return "/memory/" + path; }
  bool createNew(const std::string& path, std::string_view content, unsigned mode,
                 std::string* reason) override;
  std::unique_ptr<NewFileWriter> createForWriting(const std::string& path,
                                                  std::string* reason) override;
  bool writeInto(const std::string& path, std::string_view content, std::string* reason) override;
  bool writeToDescriptor(int descriptor, std::string_view content, std::string* reason) override;
  bool renameOver(const std::string& from, const std::string& to, std::string* reason) override;
  void removeFile(const std::string& path) override;
  bool makeFolder(const std::string& path, std::string* reason) override;
  void removeEmptyFolder(const std::string& path) override;
  bool syncFolder(const std::string& path, std::string* reason) override;
  disk::LockResult lockFolder(const std::string& lock_path, const disk::LockWait& wait,
                              std::unique_ptr<HeldLock>* held, std::string* reason) override;
  std::string temporaryNameFor(const std::string& path, unsigned attempt) override;
  std::string withPlatformLineEnds(std::string_view text) override { return std::string(text); }

 private:
  struct Node {
    Kind kind = Kind::kFile;
    std::string content;
    unsigned mode = 0644;
    std::uint64_t generation = 0;
  };
  class Lock;
  class Writer;

  // Whether a changing operation may go ahead; false, with *reason set,
  // once the machine has stopped.
  bool step(std::string* reason);
  // Whether the disk has room for this many more bytes; takes them.
  bool takeSpace(std::size_t bytes, std::string* reason);
  const Node* find(const std::string& name) const;

  std::map<std::string, Node> now_;      // as a running process sees it
  std::map<std::string, Node> flushed_;  // what a power cut leaves
  std::set<std::string> locks_;          // held, by their lock files
  std::uint64_t generations_ = 0;
  int operations_left_ = -1;  // -1: never stops
  std::optional<std::size_t> space_left_;
  bool refuse_renames_ = false;
  bool stopped_ = false;
};

}  // namespace census
