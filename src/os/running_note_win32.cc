// The notes on Windows: a file in %LOCALAPPDATA%\census that the holder
// keeps open for writing and shares for reading only, so that no other
// process can write it, or hold it, until the holder's handle closes,
// which the system does when the process ends, however it ends. The file
// goes with that handle (FILE_FLAG_DELETE_ON_CLOSE): no note outlives its
// server.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "os/platform.h"
#include "os/running_note.h"
#include "os/wide_text_win32.h"

namespace census {
namespace {

constexpr DWORD kMostNoteBytes = 4096;

bool notesFolder(std::wstring* folder, std::string* reason) {
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (local == nullptr || local[0] == L'\0') {
    *reason = "LOCALAPPDATA names no folder";
    return false;
  }
  *folder = std::wstring(local) + L"\\census";
  CreateDirectoryW(folder->c_str(), nullptr);
  const DWORD attributes = GetFileAttributesW(folder->c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    *reason = utf8FromWide(*folder) + " is not a folder";
    return false;
  }
  return true;
}

bool isDiskFile(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) != 0 &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

bool emptied(HANDLE file) {
  return SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
         SetEndOfFile(file) != 0;
}

}  // namespace

RunningNote::~RunningNote() {
  if (handle_ < 0) return;
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  emptied(file);
  CloseHandle(file);
}

RunningNote::Outcome RunningNote::take(const std::string& name, std::string* text,
                                       std::string* reason) {
  std::wstring folder;
  if (!notesFolder(&folder, reason)) return Outcome::kUnavailable;
  const std::wstring path = folder + L"\\" + wideFromUtf8(name);
  HANDLE file = CreateFileW(
      path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    if (!isDiskFile(file) || !emptied(file)) {
      CloseHandle(file);
      *reason = utf8FromWide(path) + " is not a file census can use";
      return Outcome::kUnavailable;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return Outcome::kHeld;
  }
  if (GetLastError() != ERROR_SHARING_VIOLATION) {
    *reason = utf8FromWide(path) + ": " + systemErrorText(static_cast<int>(GetLastError()));
    return Outcome::kUnavailable;
  }
  // Its holder may delete it as it stops: the reader shares that too.
  file = CreateFileW(path.c_str(), GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE || !isDiskFile(file)) {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    *reason = utf8FromWide(path) + " cannot be read";
    return Outcome::kUnavailable;
  }
  char buffer[kMostNoteBytes];
  DWORD got = 0;
  text->assign(buffer, ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0 ? got : 0);
  CloseHandle(file);
  return Outcome::kHeldByAnother;
}

bool RunningNote::write(std::string_view text) {
  if (handle_ < 0 || text.size() > kMostNoteBytes) return false;
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  DWORD written = 0;
  return emptied(file) &&
         WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0 &&
         written == text.size();
}

}  // namespace census
