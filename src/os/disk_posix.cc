// The file-system calls on POSIX. A new file is flushed with fsync, a
// rename with an fsync of its folder, and the folder lock is flock on a
// lock file that its holder removes before it lets go.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>

#include "os/disk.h"
#include "os/file_system.h"

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

bool inspect(const std::string& path, PathInfo* info, std::string* reason,
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
  if (S_ISDIR(status.st_mode)) {
    info->kind = Kind::kDirectory;
  } else if (!S_ISREG(status.st_mode)) {
    info->kind = Kind::kOther;
  } else if (writability == Writability::kSkip) {
    info->kind = Kind::kRegular;
  } else {
    info->kind = Kind::kRegular;
    // A file without any write permission is read-only, even to root.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    info->writable = fd >= 0 && (status.st_mode & 0222) != 0;
    if (fd >= 0) ::close(fd);
  }
  return true;
}

bool stampOf(const std::string& path, FileStamp* stamp) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  constexpr std::int64_t kNs = 1'000'000'000;
  *stamp = FileStamp{static_cast<std::uint64_t>(status.st_ino),
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

bool folderTakesNewFiles(const std::string& folder) {
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
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

void syncFolder(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

FolderLock::~FolderLock() {
  if (handle_ < 0) return;
  // Removed while still held: a process waiting on this file finds it gone
  // once it gets the lock, and tries again with a new one.
  ::unlink(path_.c_str());
  ::close(static_cast<int>(handle_));
}

bool FolderLock::acquire(const std::string& lock_path, std::string* reason) {
  for (;;) {
    const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
      *reason = reasonFor(errno);
      return false;
    }
    int locked;
    while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    struct stat held {};
    struct stat named {};
    if (locked == 0 && ::fstat(fd, &held) == 0 && ::stat(lock_path.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      path_ = lock_path;
      handle_ = fd;
      return true;
    }
    const int error_number = errno;
    ::close(fd);
    if (locked != 0) {
      *reason = reasonFor(error_number);
      return false;
    }
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
