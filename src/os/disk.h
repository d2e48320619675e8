// The few file-system calls the disk's primitives are made of, one
// implementation per platform, and the words save/ speaks of what stands at
// a path. Everything above save/ reaches files through a FileSystem.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "os/files.h"

namespace census::disk {

// What stands at a path. A call that follows links never finds kLink; one
// that does not follow the last name finds the link itself. A regular file
// or a folder is census's own (kOwnFile, kOwnDirectory) where it belongs to
// the user running census or to the administrator (root), foreign
// otherwise. Windows has no owners here: its folder's permissions decide who
// may write in it.
enum class Kind {
  kMissing,
  kOwnFile,
  kForeignFile,
  kOwnDirectory,
  kForeignDirectory,
  kLink,
  kOther,  // a FIFO, a device, a socket
};
inline bool isRegularFile(Kind kind) {
  return kind == Kind::kOwnFile || kind == Kind::kForeignFile;
}
inline bool isDirectory(Kind kind) {
  return kind == Kind::kOwnDirectory || kind == Kind::kForeignDirectory;
}

struct PathInfo {
  Kind kind = Kind::kMissing;
  bool writable =
      false;          // a regular file that may be opened for writing and is not marked read-only
  unsigned mode = 0;  // permission bits, where the platform has them
  std::string not_writable;  // why a regular file may not be written, where it may not
};

// Looks at what stands at path; tells whether a regular file is writable
// only where asked, as that takes a try at opening it. Returns false with
// *reason set where that cannot be told (no permission to look).
enum class Writability { kTell, kSkip };
bool inspectFollowingLinks(const std::string& path, PathInfo* info, std::string* reason,
                           Writability writability = Writability::kTell);

// The stamp of the regular file at path, following links; false where
// there is none or it cannot be looked at.
bool stampOf(const std::string& path, FileStamp* stamp);

// Makes a folder at path. Returns false with *reason set where it cannot.
bool makeFolder(const std::string& path, std::string* reason);
// Removes the folder at path where it is empty.
void removeEmptyFolder(const std::string& path);

// Follows symbolic links from path to the name of the file they lead to
// (which may not exist yet); path itself where it is no link. A link that
// is relative is read from the link's own folder.
std::string resolveLinks(const std::string& path);

// Names that are always written into, never replaced: the platform's
// devices and descriptors ("/dev/stdout", "NUL").
bool isDeviceName(std::string_view path);

// The folder that holds path ("." for a bare name) and the name in it.
std::string folderOf(const std::string& path);
std::string baseNameOf(const std::string& path);

// path as seen from the root, so that it names the same file from any
// working directory.
std::string absolutePath(const std::string& path);

bool exists(const std::string& path);

// What stands at path, its last name not followed: a link there is a link.
Kind lookAtNotFollowing(const std::string& path);

// The name of the user that what stands at path belongs to, its last name
// not followed ("alice"; the number where the system knows no name; ""
// where it cannot be told).
std::string ownerOf(const std::string& path);

// A text that is the same for two names of one file, whatever links,
// mounts or letter cases lead to it ("2049:1835017"), following links; ""
// where nothing stands there.
std::string fileIdentity(const std::string& path);

// The names in a folder, without "." and ".."; none where it cannot be read.
std::vector<std::string> namesIn(const std::string& folder);

// Whether a process with this number runs on the machine now.
bool processRuns(unsigned long process);

// Reads at most `most` bytes of the regular file at path, never following
// a link at its last name nor waiting on a FIFO; *longer tells whether
// there was more. Returns false with *reason set where it cannot.
bool readSmallFile(const std::string& path, std::size_t most, std::string* content, bool* longer,
                   std::string* reason);

// Whether new files may be made in the folder, as far as the platform says
// before trying; *reason says why not ("Read-only file system").
bool folderTakesNewFiles(const std::string& folder, std::string* reason);

// The path by which the file at path is known once every link on the way,
// of its folders and of itself, is followed; for a file that does not exist
// yet, its folder's. Two names of one file have the same (on Windows, in
// lower case, as NTFS does not tell names apart by their case).
std::string canonicalPath(const std::string& path);

// Opens a file to read, byte for byte; null with *reason set where it
// cannot be.
std::FILE* openToRead(const std::string& path, std::string* reason);

// A new file, created under a name no other file has, written and flushed
// to disk.
class NewFile {
 public:
  NewFile() = default;
  ~NewFile();
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Creates path; fails where anything stands there already.
  bool create(const std::string& path, std::string* reason);
  // Writes content at the file's end, before finish.
  bool append(std::string_view content, std::string* reason);
  // Writes all of content, gives the file these permission bits where mode
  // is not 0, flushes it to disk and closes it.
  bool finish(std::string_view content, unsigned mode, std::string* reason);

 private:
  void close();
  std::intptr_t handle_ = -1;
};

// Writes content into an existing file that is not a regular one (a FIFO,
// a terminal, a device), from its start.
bool writeInto(const std::string& path, std::string_view content, std::string* reason);

// The descriptor of this process that path names, through any links
// ("/dev/stdout", "/dev/fd/3", "/proc/self/fd/1", a link to one of them);
// -1 where it names none.
int descriptorNamed(const std::string& path);
// Writes content to an open descriptor at its current position.
bool writeToDescriptor(int descriptor, std::string_view content, std::string* reason);

// Renames from over to in one step.
bool renameOver(const std::string& from, const std::string& to, std::string* reason);

void removeFile(const std::string& path);

// Flushes a folder's entries to disk, so that a rename in it survives a
// power cut; false with *reason set where the disk says it could not.
// Succeeds at once where the platform has no such thing.
bool syncFolder(const std::string& path, std::string* reason);

// How long to wait for a folder's lock, and what to say while waiting.
struct LockWait {
  std::chrono::milliseconds patience{0};
  // Called once, after a second of waiting, with the holder's process
  // number ("" where it cannot be told).
  std::function<void(const std::string& holder)> waiting;
};

// The waiting for a lock held by another process, the same on every
// platform: it says so once after a second, and ends once the patience is
// spent, naming the last holder read.
class LockWaiting {
 public:
  explicit LockWaiting(const LockWait& wait) : wait_(wait) {}
  void noteHolder(std::string holder) {
    if (!holder.empty()) holder_ = std::move(holder);
  }
  // Waits a moment and returns true; or returns false with *reason set
  // once the patience is spent.
  bool goOn(std::string* reason) {
    const auto waited = std::chrono::steady_clock::now() - start_;
    if (waited >= wait_.patience) {
      *reason = "another save in this folder did not end" +
                (holder_.empty() ? std::string() : " (process " + holder_ + ")");
      return false;
    }
    if (!said_ && waited >= std::chrono::seconds(1) && wait_.waiting) {
      wait_.waiting(holder_);
      said_ = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return true;
  }

 private:
  const LockWait& wait_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::string holder_;  // the last one read: a file on its way out cannot be read
  bool said_ = false;
};

enum class LockResult {
  kHeld,
  kBusy,    // another process held it for all of the patience
  kFailed,  // the lock file cannot be used: a directory, a link, a FIFO
};

// An exclusive lock on a folder's saves, held by a lock file in it that is
// removed again when the lock is released. The holder writes its process
// number into it, for those who wait. The lock file is never a link, so
// taking it makes no file anywhere else.
class FolderLock {
 public:
  FolderLock() = default;
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Waits for the lock as long as wait allows; *reason says why not.
  LockResult acquire(const std::string& lock_path, const LockWait& wait, std::string* reason);

 private:
  std::string path_;
  std::intptr_t handle_ = -1;
};

// A name for a temporary file beside path that no running census process
// uses: ".datas.dat.census-4711-2.tmp".
std::string temporaryNameFor(const std::string& path, unsigned attempt);

// "\n" written as the platform's line end.
std::string withPlatformLineEnds(std::string_view text);

}  // namespace census::disk
