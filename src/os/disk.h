// The words the primitives (primitives.h) and the saves above them speak of
// what stands at a path, of names, and of waiting for a folder's lock.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

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

// Whether inspecting a path tells if a regular file is writable, which
// takes a try at opening it.
enum class Writability { kTell, kSkip };
// Names that are always written into, never replaced: the platform's
// devices and descriptors ("/dev/stdout", "NUL").
bool isDeviceName(std::string_view path);

// The folder that holds path ("." for a bare name) and the name in it.
std::string folderOf(const std::string& path);
std::string baseNameOf(const std::string& path);

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

}  // namespace census::disk
