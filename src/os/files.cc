#include "os/files.h"

#include <cstring>

namespace census {

std::string errorText(int error_number) { return std::strerror(error_number); }

bool readInputFile(InputFile& file, std::string* content, std::string* reason) {
  content->clear();
  char block[16 * 1024];
  for (;;) {
    std::size_t read = 0;
    if (!file.read(block, sizeof block, &read, reason)) return false;
    if (read == 0) return true;
    content->append(block, read);
  }
}

}  // namespace census
