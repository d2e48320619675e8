// Saving a data file on POSIX: write a temporary file, flush it to disk,
// rename it over the target, then flush the directory entry.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "shell/data_file.h"

namespace census {
namespace {

bool writeAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// A target that exists must be a file that could be opened for writing in
// place; its permission bits are returned for the replacement to carry.
bool targetMayBeReplaced(const std::string& file_name, std::optional<mode_t>& mode) {
  struct stat info {};
  if (::stat(file_name.c_str(), &info) != 0) return errno == ENOENT;
  if (!S_ISREG(info.st_mode)) return false;
  const int fd = ::open(file_name.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  mode = info.st_mode & 07777;
  return true;
}

void syncCurrentDirectory() {
  const int dir = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  ::fsync(dir);
  ::close(dir);
}

}  // namespace

bool saveDataFile(const std::string& file_name, std::string_view content) {
  std::optional<mode_t> mode;
  if (!targetMayBeReplaced(file_name, mode)) return false;

  // One fixed temporary name per target: a save that was killed leaves at
  // most one such file, which the next save removes and writes anew.
  const std::string temporary = file_name + ".tmp";
  ::unlink(temporary.c_str());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool saved = writeAll(fd, content) && (!mode || ::fchmod(fd, *mode) == 0) && ::fsync(fd) == 0;
  saved = ::close(fd) == 0 && saved;
  saved = saved && ::rename(temporary.c_str(), file_name.c_str()) == 0;
  if (!saved) {
    ::unlink(temporary.c_str());
    return false;
  }
  syncCurrentDirectory();
  return true;
}

}  // namespace census
