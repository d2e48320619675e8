// The few operations a save is made of: reading, looking at what stands at
// a name, and the steps of a save. Each platform implements them on its
// disk (primitives_posix.cc, primitives_win32.cc); the tests put a set in
// memory in their place, which can cut the machine off after any
// operation, as a kill or a power cut would, so that every state a save can
// leave behind is tried. The saves themselves, their journal and the
// recovery from it are written once, over these, in save/.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/disk.h"
#include "os/files.h"

namespace census {

// A folder's lock, held until it is destroyed.
class HeldLock {
 public:
  virtual ~HeldLock() = default;
};

// A new file being written, piece by piece; closed without finish, it
// stays as far as it was written, for its maker to remove.
class NewFileWriter {
 public:
  virtual ~NewFileWriter() = default;
  virtual bool write(std::string_view content, std::string* reason) = 0;
  // Gives the file these permission bits where mode is not 0, flushes it
  // to disk and closes it.
  virtual bool finish(unsigned mode, std::string* reason) = 0;
};

class FilePrimitives {
 public:
  virtual ~FilePrimitives() = default;

  // Reading, as FileSystem::openForReading and stampOf say.
  virtual OpenedFile openForReading(const std::string& name) = 0;
  virtual std::optional<FileStamp> stampOf(const std::string& name) = 0;
  // At most `most` bytes of a regular file, never through a link at its
  // last name nor waiting on a FIFO; *longer tells whether there was more.
  virtual bool readSmallFile(const std::string& path, std::size_t most, std::string* content,
                             bool* longer, std::string* reason) = 0;

  // Looking, without changing anything. inspectFollowingLinks returns false
  // with *reason set where what stands at path cannot be looked at (no
  // permission); lookAtNotFollowing finds a link at the last name itself.
  virtual bool inspectFollowingLinks(const std::string& path, disk::PathInfo* info,
                                     std::string* reason, disk::Writability writability) = 0;
  virtual disk::Kind lookAtNotFollowing(const std::string& path) = 0;
  // The user that what stands at path belongs to, its last name not
  // followed ("alice"; the number where the system knows no name; "" where
  // it cannot be told).
  virtual std::string ownerOf(const std::string& path) = 0;
  // A text that is the same for two names of one file, whatever links,
  // mounts or letter cases lead to it ("2049:1835017"); "" where nothing
  // stands there.
  virtual std::string fileIdentity(const std::string& path) = 0;
  // The names in a folder, without "." and ".."; none where it cannot be read.
  virtual std::vector<std::string> namesIn(const std::string& folder) = 0;
  // Whether a process with this number runs on the machine now.
  virtual bool processRuns(unsigned long process) = 0;
  // The name the links at path's last name lead to (which may not exist
  // yet); path itself where it is no link.
  virtual std::string resolveLinks(const std::string& path) = 0;
  // The path by which the file at path is known once every link on the
  // way is followed; two names of one file have the same (on Windows, in
  // lower case).
  virtual std::string canonicalPath(const std::string& path) = 0;
  // The descriptor of this process that path names, through any links
  // ("/dev/stdout", "/dev/fd/3"); -1 where it names none.
  virtual int descriptorNamed(const std::string& path) = 0;
  // Whether new files may be made in the folder, as far as the platform
  // says before trying; *reason says why not ("Read-only file system").
  virtual bool folderTakesNewFiles(const std::string& folder, std::string* reason) = 0;
  // path as seen from the root, so that it names the same file from any
  // working directory.
  virtual std::string absolutePath(const std::string& path) = 0;

  // The steps of a save.
  // Makes a file under a name nothing stands at, with content and (where
  // mode is not 0) these permission bits, flushed to disk and closed.
  virtual bool createNew(const std::string& path, std::string_view content, unsigned mode,
                         std::string* reason) {
    const std::unique_ptr<NewFileWriter> file = createForWriting(path, reason);
    return file != nullptr && file->write(content, reason) && file->finish(mode, reason);
  }
  // Makes a file under a name nothing stands at, to be written piece by
  // piece; null with *reason set where it cannot.
  virtual std::unique_ptr<NewFileWriter> createForWriting(const std::string& path,
                                                          std::string* reason) = 0;
  // Writes content into an existing file that is not a regular one (a
  // FIFO, a terminal, a device), from its start.
  virtual bool writeInto(const std::string& path, std::string_view content,
                         std::string* reason) = 0;
  virtual bool writeToDescriptor(int descriptor, std::string_view content, std::string* reason) = 0;
  virtual bool renameOver(const std::string& from, const std::string& to, std::string* reason) = 0;
  virtual void removeFile(const std::string& path) = 0;
  virtual bool makeFolder(const std::string& path, std::string* reason) = 0;
  virtual void removeEmptyFolder(const std::string& path) = 0;
  // Makes the folder's entries (new names, renames, removals) survive a
  // power cut.
  virtual bool syncFolder(const std::string& path, std::string* reason) = 0;
  // An exclusive lock on a folder's saves, held by a lock file in it that
  // goes again when the lock is released; the holder writes its process
  // number into it for those who wait. Never through a link.
  virtual disk::LockResult lockFolder(const std::string& lock_path, const disk::LockWait& wait,
                                      std::unique_ptr<HeldLock>* held, std::string* reason) = 0;

  // Names and bytes as this platform has them: a temporary name beside
  // path that no running census uses (".datas.dat.census-4711-2.tmp"), and
  // "\n" as the platform's line end.
  virtual std::string temporaryNameFor(const std::string& path, unsigned attempt) = 0;
  virtual std::string withPlatformLineEnds(std::string_view text) = 0;
};

// The primitives on this machine's disk.
std::unique_ptr<FilePrimitives> makeDiskPrimitives();

}  // namespace census
