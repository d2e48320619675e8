// The notes on POSIX: a file under a private folder, held with flock,
// which the system releases when the holder's process ends. The note is
// emptied rather than removed when let go: removing it could let two
// processes each hold a lock, one on the file that was removed.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "os/files.h"
#include "os/running_note.h"

namespace census {
namespace {

constexpr std::size_t kMostNoteBytes = 4096;

// The user's own folder of mode 0700 at path, made where it is missing.
bool privateFolder(const std::string& path, std::string* reason) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    *reason = path + ": " + errorText(errno);
    return false;
  }
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    *reason = path + ": " + errorText(errno);
    return false;
  }
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
    *reason = path + " is not a folder of this user's alone";
    return false;
  }
  return true;
}

// census/ under $XDG_RUNTIME_DIR, or else under ~/.local/state; the
// folders above census/ are made too where they are missing.
bool notesFolder(std::string* folder, std::string* reason) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const char* home = std::getenv("HOME");
  std::string base;
  if (runtime != nullptr && runtime[0] == '/') {
    base = runtime;
  } else if (home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.local";
    ::mkdir(base.c_str(), 0700);
    base += "/state";
    ::mkdir(base.c_str(), 0700);
  } else {
    *reason = "neither XDG_RUNTIME_DIR nor HOME names a folder";
    return false;
  }
  *folder = base + "/census";
  return privateFolder(*folder, reason);
}

std::string readAll(int fd) {
  std::string text;
  char buffer[kMostNoteBytes];
  ssize_t got = 0;
  while ((got = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0 &&
         text.size() < kMostNoteBytes) {
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text.substr(0, kMostNoteBytes);
}

}  // namespace

RunningNote::~RunningNote() {
  if (handle_ < 0) return;
  const int fd = static_cast<int>(handle_);
  // Emptied before the lock goes, so that no one reads a dead address;
  // a note that cannot be emptied is read as no one's all the same.
  [[maybe_unused]] const int emptied = ::ftruncate(fd, 0);
  ::close(fd);
}

RunningNote::Outcome RunningNote::take(const std::string& name, std::string* text,
                                       std::string* reason) {
  std::string folder;
  if (!notesFolder(&folder, reason)) return Outcome::kUnavailable;
  const std::string path = folder + "/" + name;
  const int fd =
      ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd < 0) {
    *reason = path + ": " + errorText(errno);
    return Outcome::kUnavailable;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
      (info.st_mode & 077) != 0) {
    ::close(fd);
    *reason = path + " is not a file of this user's alone";
    return Outcome::kUnavailable;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    [[maybe_unused]] const int emptied = ::ftruncate(fd, 0);
    handle_ = fd;
    return Outcome::kHeld;
  }
  const int error = errno;
  if (error != EWOULDBLOCK) {
    ::close(fd);
    *reason = path + ": " + errorText(error);
    return Outcome::kUnavailable;
  }
  *text = readAll(fd);
  ::close(fd);
  return Outcome::kHeldByAnother;
}

bool RunningNote::write(std::string_view text) {
  if (handle_ < 0 || text.size() > kMostNoteBytes) return false;
  const int fd = static_cast<int>(handle_);
  if (::ftruncate(fd, 0) != 0) return false;
  return ::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

}  // namespace census
