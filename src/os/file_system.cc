#include "os/file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace census {

std::string errorText(int error_number) { return std::strerror(error_number); }

bool readWholeFile(FileSystem& files, const std::string& name, std::string* content,
                   std::string* reason, std::size_t most) {
  OpenedFile opened = files.openForReading(name);
  if (opened.status != OpenStatus::kOpen) {
    *reason = opened.status == OpenStatus::kMissing ? errorText(ENOENT) : opened.reason;
    return false;
  }
  content->clear();
  constexpr std::size_t kBlock = 64 * 1024;
  while (content->size() < most) {
    const std::size_t size = content->size();
    const std::size_t block = std::min(kBlock, most - size);
    content->resize(size + block);
    std::size_t read = 0;
    const bool ok = opened.file->read(content->data() + size, block, &read, reason);
    content->resize(size + read);
    if (!ok) return false;
    if (read == 0) return true;
  }
  return true;
}

}  // namespace census
