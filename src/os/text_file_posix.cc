// Saving a file on POSIX: write a temporary file, flush it to disk, rename it
// over the target, then flush the directory entry. Text and binary content
// are the same bytes here.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "os/text_file.h"

namespace census {
namespace {

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

// A target that exists must be a file that could be opened for writing in
// place; its permission bits are returned for the replacement to carry.
bool targetMayBeReplaced(const std::string& file_name, std::optional<mode_t>& mode) {
  struct stat info {};
  if (::stat(file_name.c_str(), &info) != 0) return errno == ENOENT;
  if (!S_ISREG(info.st_mode)) {
    errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  const int fd = ::open(file_name.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  mode = info.st_mode & 07777;
  return true;
}

// The directory that holds file_name, for the rename to be flushed to disk.
std::string directoryOf(const std::string& file_name) {
  const std::size_t slash = file_name.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : file_name.substr(0, slash);
}

void syncDirectoryOf(const std::string& file_name) {
  const int dir = ::open(directoryOf(file_name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  ::fsync(dir);
  ::close(dir);
}

bool fail(std::string* reason) {
  const int error_number = errno;
  if (reason != nullptr) *reason = errorText(error_number == 0 ? EIO : error_number);
  return false;
}

}  // namespace

bool saveTextFile(const std::string& file_name, std::string_view content, std::string* reason) {
  errno = 0;
  std::optional<mode_t> mode;
  if (!targetMayBeReplaced(file_name, mode)) return fail(reason);

  // One fixed temporary name per target: a save that was killed leaves at
  // most one such file, which the next save removes and writes anew.
  const std::string temporary = file_name + ".tmp";
  ::unlink(temporary.c_str());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return fail(reason);
  bool saved = writeAll(fd, content) && (!mode || ::fchmod(fd, *mode) == 0) && ::fsync(fd) == 0;
  saved = ::close(fd) == 0 && saved;
  saved = saved && ::rename(temporary.c_str(), file_name.c_str()) == 0;
  if (!saved) {
    const int error_number = errno;
    ::unlink(temporary.c_str());
    errno = error_number;
    return fail(reason);
  }
  syncDirectoryOf(file_name);
  return true;
}

bool saveBinaryFile(const std::string& file_name, std::string_view content, std::string* reason) {
  return saveTextFile(file_name, content, reason);
}

}  // namespace census
