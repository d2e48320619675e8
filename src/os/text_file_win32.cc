// Saving a file on Windows: write a temporary file (in text mode, so lines
// end in "\r\n", or byte for byte), flush it to disk, then replace the
// target in one step with MoveFileExW.
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "os/text_file.h"

namespace census {
namespace {

std::wstring wide(const std::string& name) {
  const int size = static_cast<int>(name.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, name.data(), size, nullptr, 0);
  std::wstring result(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, name.data(), size, result.data(), length);
  return result;
}

// A target that exists must be a file that could be opened for writing.
bool targetMayBeReplaced(const std::wstring& name, std::string* reason) {
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;
    if (reason != nullptr) *reason = errorText(EACCES);
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    if (reason != nullptr) *reason = errorText(EISDIR);
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    if (reason != nullptr) *reason = errorText(EACCES);
    return false;
  }
  return true;
}

bool save(const std::string& file_name, std::string_view content, const char* mode,
          std::string* reason) {
  const std::wstring target = wide(file_name);
  if (!targetMayBeReplaced(target, reason)) return false;

  const std::string temporary = file_name + ".tmp";
  errno = 0;
  std::FILE* file = std::fopen(temporary.c_str(), mode);
  if (file == nullptr) {
    if (reason != nullptr) *reason = errorText(errno == 0 ? EACCES : errno);
    return false;
  }
  bool saved = std::fwrite(content.data(), 1, content.size(), file) == content.size() &&
               std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
  const int error_number = errno == 0 ? ENOSPC : errno;
  saved = std::fclose(file) == 0 && saved;
  if (!saved && reason != nullptr) *reason = errorText(error_number);
  if (saved && MoveFileExW(wide(temporary).c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    saved = false;
    if (reason != nullptr)
      *reason = std::system_category().message(static_cast<int>(GetLastError()));
  }
  if (!saved) std::remove(temporary.c_str());
  return saved;
}

}  // namespace

bool saveTextFile(const std::string& file_name, std::string_view content, std::string* reason) {
  return save(file_name, content, "w", reason);
}

bool saveBinaryFile(const std::string& file_name, std::string_view content, std::string* reason) {
  return save(file_name, content, "wb", reason);
}

}  // namespace census
