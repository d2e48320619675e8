// The file-system calls on POSIX. A new file is flushed with fsync, a
// rename with an fsync of its folder, and the folder lock is flock on a
// lock file that its holder removes before it lets go.
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

#include "os/disk.h"
#include "os/files.h"

namespace census::disk {
namespace {

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

}  // namespace

bool inspectFollowingLinks(const std::string& path, PathInfo* info, std::string* reason,
                           Writability writability) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) {
      *info = PathInfo{};
      return true;
    }
    *reason = reasonFor(errno);
    return false;
  }
  info->mode = static_cast<unsigned>(status.st_mode & 07777);
  const bool own = status.st_uid == ::geteuid() || status.st_uid == 0;
  if (S_ISDIR(status.st_mode)) {
    info->kind = own ? Kind::kOwnDirectory : Kind::kForeignDirectory;
  } else if (!S_ISREG(status.st_mode)) {
    info->kind = Kind::kOther;
  } else if (writability == Writability::kSkip) {
    info->kind = own ? Kind::kOwnFile : Kind::kForeignFile;
  } else {
    info->kind = own ? Kind::kOwnFile : Kind::kForeignFile;
    // A file without any write permission is read-only, even to root.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    info->writable = fd >= 0 && (status.st_mode & 0222) != 0;
    if (!info->writable) info->not_writable = reasonFor(fd >= 0 ? EACCES : errno);
    if (fd >= 0) ::close(fd);
  }
  return true;
}

bool stampOf(const std::string& path, FileStamp* stamp) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  constexpr std::int64_t kNs = 1'000'000'000;
  *stamp = FileStamp{static_cast<std::uint64_t>(status.st_dev),
                     static_cast<std::uint64_t>(status.st_ino),
                     static_cast<std::uint64_t>(status.st_size),
                     status.st_mtim.tv_sec * kNs + status.st_mtim.tv_nsec,
                     status.st_ctim.tv_sec * kNs + status.st_ctim.tv_nsec};
  return true;
}

std::string resolveLinks(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    char target[PATH_MAX];
    const ssize_t length = ::readlink(current.c_str(), target, sizeof target - 1);
    if (length < 0) return current;
    const std::string link(target, static_cast<std::size_t>(length));
    const std::string folder = folderOf(current);
    current = link.starts_with('/') || folder == "." ? link : folder + "/" + link;
  }
  return current;
}

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

std::string absolutePath(const std::string& path) {
  std::error_code ignored;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
  return absolute.empty() ? path : absolute.string();
}

bool exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

Kind lookAtNotFollowing(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return errno == ENOENT ? Kind::kMissing : Kind::kOther;
  if (S_ISLNK(status.st_mode)) return Kind::kLink;
  const bool own = status.st_uid == ::geteuid() || status.st_uid == 0;
  if (S_ISDIR(status.st_mode)) return own ? Kind::kOwnDirectory : Kind::kForeignDirectory;
  if (!S_ISREG(status.st_mode)) return Kind::kOther;
  return own ? Kind::kOwnFile : Kind::kForeignFile;
}

std::string ownerOf(const std::string& path) {
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

std::string fileIdentity(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return "";
  return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
}

std::vector<std::string> namesIn(const std::string& folder) {
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

bool processRuns(unsigned long process) {
  if (process == 0 || process > static_cast<unsigned long>(INT_MAX)) return false;
  return ::kill(static_cast<pid_t>(process), 0) == 0 || errno == EPERM;
}

bool readSmallFile(const std::string& path, std::size_t most, std::string* content, bool* longer,
                   std::string* reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *reason = reasonFor(errno);
    return false;
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    *reason = "not a regular file";
    ::close(fd);
    return false;
  }
  content->assign(most + 1, '\0');
  std::size_t filled = 0;
  while (filled < content->size()) {
    const ssize_t got = ::read(fd, content->data() + filled, content->size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *reason = reasonFor(errno);
      ::close(fd);
      return false;
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  ::close(fd);
  *longer = filled > most;
  content->resize(std::min(filled, most));
  return true;
}

bool folderTakesNewFiles(const std::string& folder, std::string* reason) {
  if (::access(folder.c_str(), W_OK | X_OK) == 0) return true;
  *reason = errno == ENOENT || errno == ENOTDIR ? "no such folder" : reasonFor(errno);
  return false;
}

std::string canonicalPath(const std::string& path) {
  std::error_code ignored;
  const std::filesystem::path canonical =
      std::filesystem::weakly_canonical(absolutePath(path), ignored);
  return canonical.empty() ? absolutePath(path) : canonical.string();
}

std::FILE* openToRead(const std::string& path, std::string* reason) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rbe");
  if (file == nullptr) *reason = reasonFor(errno == 0 ? EACCES : errno);
  return file;
}

NewFile::~NewFile() { close(); }

void NewFile::close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

bool NewFile::create(const std::string& path, std::string* reason) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    *reason = reasonFor(errno);
    return false;
  }
  handle_ = fd;
  return true;
}

bool NewFile::append(std::string_view content, std::string* reason) {
  if (writeAll(static_cast<int>(handle_), content)) return true;
  *reason = reasonFor(errno);
  return false;
}

bool NewFile::finish(std::string_view content, unsigned mode, std::string* reason) {
  const int fd = static_cast<int>(handle_);
  errno = 0;
  bool written =
      writeAll(fd, content) && (mode == 0 || ::fchmod(fd, mode) == 0) && ::fsync(fd) == 0;
  const int error_number = errno;
  handle_ = -1;
  written = ::close(fd) == 0 && written;
  if (!written) *reason = reasonFor(error_number != 0 ? error_number : errno);
  return written;
}

bool writeInto(const std::string& path, std::string_view content, std::string* reason) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    *reason = reasonFor(errno);
    return false;
  }
  const bool written = writeAll(fd, content);
  const int error_number = errno;
  ::close(fd);
  if (!written) *reason = reasonFor(error_number);
  return written;
}

namespace {

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

}  // namespace

int descriptorNamed(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    if (const int descriptor = descriptorOfDeviceName(current); descriptor >= 0) {
      return ::fcntl(descriptor, F_GETFD) == -1 ? -1 : descriptor;
    }
    char target[PATH_MAX];
    const ssize_t length = ::readlink(current.c_str(), target, sizeof target - 1);
    if (length < 0) return -1;
    const std::string link(target, static_cast<std::size_t>(length));
    const std::string folder = folderOf(current);
    current = link.starts_with('/') || folder == "." ? link : folder + "/" + link;
  }
  return -1;
}

bool writeToDescriptor(int descriptor, std::string_view content, std::string* reason) {
  if (writeAll(descriptor, content)) return true;
  *reason = reasonFor(errno);
  return false;
}

bool renameOver(const std::string& from, const std::string& to, std::string* reason) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  *reason = reasonFor(errno);
  return false;
}

void removeFile(const std::string& path) { ::unlink(path.c_str()); }

void removeEmptyFolder(const std::string& path) { ::rmdir(path.c_str()); }

bool makeFolder(const std::string& path, std::string* reason) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  *reason = reasonFor(errno);
  return false;
}

bool syncFolder(const std::string& path, std::string* reason) {
  // A folder that cannot be opened to read (mode 0333) cannot be flushed
  // either; its renames stand as the file system keeps them.
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return true;
  // A file system that cannot flush a folder at all (EINVAL) keeps its
  // renames as it can; any other failure is the disk's.
  const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
  if (!synced) *reason = reasonFor(errno);
  ::close(fd);
  return synced;
}

FolderLock::~FolderLock() {
  if (handle_ < 0) return;
  // Removed while still held: a process waiting on this file finds it gone
  // once it gets the lock, and tries again with a new one.
  ::unlink(path_.c_str());
  ::close(static_cast<int>(handle_));
}

namespace {

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
    if (error_number == EACCES && lookAtNotFollowing(lock_path) == Kind::kForeignFile) {
      const std::string owner = ownerOf(lock_path);
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

}  // namespace

LockResult FolderLock::acquire(const std::string& lock_path, const LockWait& wait,
                               std::string* reason) {
  LockWaiting waiting(wait);
  for (;;) {
    const int fd = openLockFile(lock_path, reason);
    if (fd < 0) return LockResult::kFailed;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      if (sameFile(fd, lock_path)) {
        const std::string number = std::to_string(::getpid()) + "\n";
        if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, number.data(), number.size(), 0);
        path_ = lock_path;
        handle_ = fd;
        return LockResult::kHeld;
      }
      ::close(fd);  // its holder removed it as it let go: take the new one
      continue;
    }
    const int error_number = errno;
    waiting.noteHolder(holderOf(fd));
    ::close(fd);
    if (error_number != EWOULDBLOCK && error_number != EINTR) {
      *reason = reasonFor(error_number);
      return LockResult::kFailed;
    }
    if (!waiting.goOn(reason)) return LockResult::kBusy;
  }
}

std::string temporaryNameFor(const std::string& path, unsigned attempt) {
  const std::string folder = folderOf(path);
  const std::string name = "." + baseNameOf(path) + ".census-" + std::to_string(::getpid()) + "-" +
                           std::to_string(attempt) + ".tmp";
  return folder == "." ? name : (folder == "/" ? "/" : folder + "/") + name;
}

std::string withPlatformLineEnds(std::string_view text) { return std::string(text); }

}  // namespace census::disk
