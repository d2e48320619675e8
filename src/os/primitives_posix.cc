// The primitives on POSIX. A new file is flushed with fsync, a rename with
// an fsync of its folder, and the folder lock is flock on a lock file that
// its holder removes before it lets go.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <filesystem>
#include <utility>

#include "os/files.h"
#include "os/primitives.h"

namespace census {

namespace disk {

bool isDeviceName(std::string_view path) {
  return path.starts_with("/dev/") || path.starts_with("/proc/");
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace disk

namespace {

using disk::Kind;

std::string reasonFor(int error_number) {
  return errorText(error_number == 0 ? EIO : error_number);
}

bool writeAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = ENOSPC;
      return false;
    }
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Closes a descriptor once it goes out of scope, unless released.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

bool ownedHere(const struct stat& status) {
  return status.st_uid == ::geteuid() || status.st_uid == 0;
}

Kind kindOf(const struct stat& status) {
  if (S_ISLNK(status.st_mode)) return Kind::kLink;
  if (S_ISDIR(status.st_mode))
    return ownedHere(status) ? Kind::kOwnDirectory : Kind::kForeignDirectory;
  if (!S_ISREG(status.st_mode)) return Kind::kOther;
  return ownedHere(status) ? Kind::kOwnFile : Kind::kForeignFile;
}

Kind kindNotFollowing(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return errno == ENOENT ? Kind::kMissing : Kind::kOther;
  return kindOf(status);
}

std::string ownerName(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return "";
  struct passwd entry {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(status.st_uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    return found->pw_name;
  }
  return std::to_string(status.st_uid);
}

// One step along a link at path's last name, read from the link's own
// folder; path itself where it is no link.
std::string linkTarget(const std::string& path) {
  char target[PATH_MAX];
  const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
  if (length < 0) return path;
  const std::string link(target, static_cast<std::size_t>(length));
  const std::string folder = disk::folderOf(path);
  return link.starts_with('/') || folder == "." ? link : folder + "/" + link;
}

std::string followLinks(std::string current) {
  for (int hops = 0; hops < 40; ++hops) {
    std::string next = linkTarget(current);
    if (next == current) break;
    current = std::move(next);
  }
  return current;
}

// The descriptor a name of the system's own stands for, or -1.
int descriptorOfDeviceName(std::string_view path) {
  if (path == "/dev/stdin") return 0;
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
  for (const std::string_view prefix :
       {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"), std::string_view(own)}) {
    if (!path.starts_with(prefix)) continue;
    const std::string_view digits = path.substr(prefix.size());
    int descriptor = -1;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), descriptor);
    if (error == std::errc() && end == digits.data() + digits.size() && !digits.empty()) {
      return descriptor;
    }
  }
  return -1;
}

class PosixInputFile final : public InputFile {
 public:
  explicit PosixInputFile(int fd) : fd_(fd) {}

  bool read(char* buffer, std::size_t size, std::size_t* count, std::string* reason) override {
    for (;;) {
      const ssize_t got = ::read(fd_.get(), buffer, size);
      if (got >= 0) {
        *count = static_cast<std::size_t>(got);
        return true;
      }
      if (errno == EINTR) continue;
      *count = 0;
      *reason = reasonFor(errno);
      return false;
    }
  }

  bool seek(std::uint64_t offset, std::string* reason) override {
    if (::lseek(fd_.get(), static_cast<off_t>(offset), SEEK_SET) >= 0) return true;
    *reason = reasonFor(errno);
    return false;
  }

 private:
  Descriptor fd_;
};

class PosixFileWriter final : public NewFileWriter {
 public:
  explicit PosixFileWriter(int fd) : fd_(fd) {}

  bool write(std::string_view content, std::string* reason) override {
    if (writeAll(fd_.get(), content)) return true;
    *reason = reasonFor(errno);
    return false;
  }

  bool finish(unsigned mode, std::string* reason) override {
    const int fd = fd_.release();
    errno = 0;
    bool written = (mode == 0 || ::fchmod(fd, mode) == 0) && ::fsync(fd) == 0;
    const int error_number = errno;
    written = ::close(fd) == 0 && written;
    if (!written) *reason = reasonFor(error_number != 0 ? error_number : errno);
    return written;
  }

 private:
  Descriptor fd_;
};

// Held while its descriptor is open. Removed while still held: a process
// waiting on this file finds it gone once it gets the lock, and tries
// again with a new one.
class PosixLock final : public HeldLock {
 public:
  PosixLock(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~PosixLock() override { ::unlink(path_.c_str()); }

 private:
  std::string path_;
  Descriptor fd_;
};

// The process number the holder of a lock file wrote into it, or "".
std::string holderOf(int fd) {
  char text[24] = {};
  const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
  std::string holder;
  for (ssize_t i = 0; i < got && text[i] >= '0' && text[i] <= '9'; ++i) holder.push_back(text[i]);
  return holder;
}

// Opens the lock file in its folder, never through a link and never
// waiting on a FIFO; -1 with *reason set where what is there is no lock.
int openLockFile(const std::string& lock_path, std::string* reason) {
  constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  int fd = ::open(lock_path.c_str(), O_RDWR | kFlags);
  // Readable by all, so that another user in a shared folder can lock it
  // too where its holder was killed and it stayed.
  if (fd < 0 && errno == ENOENT) fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | kFlags, 0644);
  // Another user's lock file, left by a save killed in a shared folder,
  // cannot be opened to write nor removed; locking it needs no more than
  // reading it.
  if (fd < 0 && errno == EACCES) fd = ::open(lock_path.c_str(), O_RDONLY | kFlags);
  if (fd < 0) {
    const int error_number = errno;
    *reason = "the save lock " + lock_path +
              (error_number == ELOOP    ? " is a symbolic link"
               : error_number == EISDIR ? " is a directory"
                                        : ": " + reasonFor(error_number));
    if (error_number == EACCES && kindNotFollowing(lock_path) == Kind::kForeignFile) {
      const std::string owner = ownerName(lock_path);
      *reason = "the save lock " + lock_path + " belongs to another user (" + owner +
                ") and cannot be opened: ask " + owner + " or the administrator to remove it";
    }
    return -1;
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    *reason = "the save lock " + lock_path + " is not a regular file";
    return -1;
  }
  return fd;
}

bool sameFile(int fd, const std::string& path) {
  struct stat held {};
  struct stat named {};
  return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

class PosixPrimitives final : public FilePrimitives {
 public:
  OpenedFile openForReading(const std::string& name) override {
    OpenedFile opened;
    // Opened without waiting, so that a FIFO in place of a file never
    // keeps the reader waiting for a writer; what was opened is then
    // looked at, not what stood at the name a moment before.
    Descriptor fd(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
      if (errno == ENOENT) return opened;
      opened.status = OpenStatus::kUnreadable;
      opened.reason = reasonFor(errno);
      return opened;
    }
    opened.status = OpenStatus::kUnreadable;
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
      opened.reason = reasonFor(errno);
      return opened;
    }
    if (S_ISDIR(status.st_mode)) {
      opened.reason = errorText(EISDIR);
      return opened;
    }
    // A FIFO or a device is read only where the operator names it by its
    // device name ("/dev/stdin"), and then as it comes.
    if (!S_ISREG(status.st_mode)) {
      if (!disk::isDeviceName(name)) {
        opened.reason = "not a regular file";
        return opened;
      }
      ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    }
    opened.status = OpenStatus::kOpen;
    opened.file = std::make_unique<PosixInputFile>(fd.release());
    return opened;
  }

  std::optional<FileStamp> stampOf(const std::string& name) override {
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    constexpr std::int64_t kNs = 1'000'000'000;
    return FileStamp{static_cast<std::uint64_t>(status.st_dev),
                     static_cast<std::uint64_t>(status.st_ino),
                     static_cast<std::uint64_t>(status.st_size),
                     status.st_mtim.tv_sec * kNs + status.st_mtim.tv_nsec,
                     status.st_ctim.tv_sec * kNs + status.st_ctim.tv_nsec};
  }

  bool readSmallFile(const std::string& path, std::size_t most, std::string* content, bool* longer,
                     std::string* reason) override {
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
      *reason = reasonFor(errno);
      return false;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
      *reason = "not a regular file";
      return false;
    }
    content->assign(most + 1, '\0');
    std::size_t filled = 0;
    while (filled < content->size()) {
      const ssize_t got = ::read(fd.get(), content->data() + filled, content->size() - filled);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        *reason = reasonFor(errno);
        return false;
      }
      if (got == 0) break;
      filled += static_cast<std::size_t>(got);
    }
    *longer = filled > most;
    content->resize(std::min(filled, most));
    return true;
  }

  bool inspectFollowingLinks(const std::string& path, disk::PathInfo* info, std::string* reason,
                             disk::Writability writability) override {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
      if (errno == ENOENT) {
        *info = disk::PathInfo{};
        return true;
      }
      *reason = reasonFor(errno);
      return false;
    }
    info->mode = static_cast<unsigned>(status.st_mode & 07777);
    info->kind = kindOf(status);
    if (disk::isRegularFile(info->kind) && writability == disk::Writability::kTell) {
      // A file without any write permission is read-only, even to root.
      const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
      info->writable = fd >= 0 && (status.st_mode & 0222) != 0;
      if (!info->writable) info->not_writable = reasonFor(fd >= 0 ? EACCES : errno);
      if (fd >= 0) ::close(fd);
    }
    return true;
  }

  Kind lookAtNotFollowing(const std::string& path) override { return kindNotFollowing(path); }

  std::string ownerOf(const std::string& path) override { return ownerName(path); }

  std::string fileIdentity(const std::string& path) override {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return "";
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
  }

  std::vector<std::string> namesIn(const std::string& folder) override {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string_view name = entry->d_name;
      if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
  }

  bool processRuns(unsigned long process) override {
    if (process == 0 || process > static_cast<unsigned long>(INT_MAX)) return false;
    return ::kill(static_cast<pid_t>(process), 0) == 0 || errno == EPERM;
  }

  std::string resolveLinks(const std::string& path) override { return followLinks(path); }

  std::string canonicalPath(const std::string& path) override {
    std::error_code ignored;
    const std::filesystem::path canonical =
        std::filesystem::weakly_canonical(absolutePath(path), ignored);
    return canonical.empty() ? absolutePath(path) : canonical.string();
  }

  int descriptorNamed(const std::string& path) override {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
      if (const int descriptor = descriptorOfDeviceName(current); descriptor >= 0) {
        return ::fcntl(descriptor, F_GETFD) == -1 ? -1 : descriptor;
      }
      const std::string next = linkTarget(current);
      if (next == current) return -1;
      current = next;
    }
    return -1;
  }

  bool folderTakesNewFiles(const std::string& folder, std::string* reason) override {
    if (::access(folder.c_str(), W_OK | X_OK) == 0) return true;
    *reason = errno == ENOENT || errno == ENOTDIR ? "no such folder" : reasonFor(errno);
    return false;
  }

  std::string absolutePath(const std::string& path) override {
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    return absolute.empty() ? path : absolute.string();
  }

  std::unique_ptr<NewFileWriter> createForWriting(const std::string& path,
                                                  std::string* reason) override {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      *reason = reasonFor(errno);
      return nullptr;
    }
    return std::make_unique<PosixFileWriter>(fd);
  }

  bool writeInto(const std::string& path, std::string_view content, std::string* reason) override {
    const Descriptor fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (fd.get() < 0 || !writeAll(fd.get(), content)) {
      *reason = reasonFor(errno);
      return false;
    }
    return true;
  }

  bool writeToDescriptor(int descriptor, std::string_view content, std::string* reason) override {
    if (writeAll(descriptor, content)) return true;
    *reason = reasonFor(errno);
    return false;
  }

  bool renameOver(const std::string& from, const std::string& to, std::string* reason) override {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    *reason = reasonFor(errno);
    return false;
  }

  void removeFile(const std::string& path) override { ::unlink(path.c_str()); }

  bool makeFolder(const std::string& path, std::string* reason) override {
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    *reason = reasonFor(errno);
    return false;
  }

  void removeEmptyFolder(const std::string& path) override { ::rmdir(path.c_str()); }

  bool syncFolder(const std::string& path, std::string* reason) override {
    // A folder that cannot be opened to read (mode 0333) cannot be flushed
    // either; its renames stand as the file system keeps them.
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) return true;
    // A file system that cannot flush a folder at all (EINVAL) keeps its
    // renames as it can; any other failure is the disk's.
    if (::fsync(fd.get()) == 0 || errno == EINVAL) return true;
    *reason = reasonFor(errno);
    return false;
  }

  disk::LockResult lockFolder(const std::string& lock_path, const disk::LockWait& wait,
                              std::unique_ptr<HeldLock>* held, std::string* reason) override {
    disk::LockWaiting waiting(wait);
    for (;;) {
      const int fd = openLockFile(lock_path, reason);
      if (fd < 0) return disk::LockResult::kFailed;
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        if (sameFile(fd, lock_path)) {
          const std::string number = std::to_string(::getpid()) + "\n";
          if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, number.data(), number.size(), 0);
          *held = std::make_unique<PosixLock>(lock_path, fd);
          return disk::LockResult::kHeld;
        }
        ::close(fd);  // its holder removed it as it let go: take the new one
        continue;
      }
      const int error_number = errno;
      waiting.noteHolder(holderOf(fd));
      ::close(fd);
      if (error_number != EWOULDBLOCK && error_number != EINTR) {
        *reason = reasonFor(error_number);
        return disk::LockResult::kFailed;
      }
      if (!waiting.goOn(reason)) return disk::LockResult::kBusy;
    }
  }

  std::string temporaryNameFor(const std::string& path, unsigned attempt) override {
    const std::string folder = disk::folderOf(path);
    const std::string name = "." + disk::baseNameOf(path) + ".census-" +
                             std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
    return folder == "." ? name : (folder == "/" ? "/" : folder + "/") + name;
  }

  std::string withPlatformLineEnds(std::string_view text) override { return std::string(text); }
};

}  // namespace

std::unique_ptr<FilePrimitives> makeDiskPrimitives() { return std::make_unique<PosixPrimitives>(); }

}  // namespace census
