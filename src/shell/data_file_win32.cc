// Saving a data file on Windows: write a temporary file in text mode (so
// lines end in "\r\n"), flush it to disk, then replace the target in one
// step with MoveFileExW.
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "shell/data_file.h"

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
bool targetMayBeReplaced(const std::wstring& name) {
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

}  // namespace

bool saveDataFile(const std::string& file_name, std::string_view content) {
  const std::wstring target = wide(file_name);
  if (!targetMayBeReplaced(target)) return false;

  const std::string temporary = file_name + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "w");
  if (file == nullptr) return false;
  bool saved = std::fwrite(content.data(), 1, content.size(), file) == content.size() &&
               std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
  saved = std::fclose(file) == 0 && saved;
  saved = saved && MoveFileExW(wide(temporary).c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!saved) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace census
