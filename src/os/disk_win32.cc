// The file-system calls on Windows, through the wide-character API. A new
// file is flushed with FlushFileBuffers and replaces its target with
// MoveFileExW; the folder lock is LockFileEx on a lock file that is deleted
// when its last handle closes.
#include <windows.h>

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "base/text.h"
#include "os/disk.h"
#include "os/files.h"
#include "os/platform.h"
#include "os/wide_text_win32.h"

namespace census::disk {
namespace {

std::wstring wide(const std::string& name) { return wideFromUtf8(name); }

std::string lastErrorText() { return systemErrorText(static_cast<int>(GetLastError())); }

bool isSeparator(char c) { return c == '/' || c == '\\'; }

std::size_t lastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

bool writeAll(HANDLE handle, std::string_view content) {
  while (!content.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 30));
    if (WriteFile(handle, content.data(), chunk, &written, nullptr) == 0) return false;
    if (written == 0) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
    content.remove_prefix(written);
  }
  return true;
}

}  // namespace

bool inspectFollowingLinks(const std::string& path, PathInfo* info, std::string* reason,
                           Writability) {
  // A reserved device name (NUL, CON, COM1) is a device in every folder.
  if (isDeviceName(path)) {
    *info = PathInfo{};
    info->kind = Kind::kOther;
    return true;
  }
  const DWORD attributes = GetFileAttributesW(wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      *info = PathInfo{};
      return true;
    }
    *reason = lastErrorText();
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    info->kind = Kind::kOwnDirectory;
    return true;
  }
  info->kind = Kind::kOwnFile;
  info->writable = (attributes & FILE_ATTRIBUTE_READONLY) == 0;
  if (!info->writable) info->not_writable = errorText(EACCES);
  return true;
}

bool stampOf(const std::string& path, FileStamp* stamp) {
  const HANDLE handle =
      CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(handle, &info) != 0 &&
                     (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  CloseHandle(handle);
  if (!known) return false;
  // FILETIME counts 100 ns from 1601; 11644473600 s lie between then and 1970.
  const std::int64_t written =
      static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                info.ftLastWriteTime.dwLowDateTime);
  *stamp = FileStamp{info.dwVolumeSerialNumber,
                     (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
                     (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
                     (written - 116444736000000000) * 100, 0};
  return true;
}

std::string resolveLinks(const std::string& path) { return path; }

bool isDeviceName(std::string_view path) {
  if (path.starts_with("\\\\.\\") || path.starts_with("//./")) return true;
  std::string base(path.substr(
      path.find_last_of("/\\:") == std::string_view::npos ? 0 : path.find_last_of("/\\:") + 1));
  base = base.substr(0, base.find('.'));
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static constexpr std::string_view kDevices[] = {"CON", "NUL", "PRN", "AUX", "CONIN$", "CONOUT$"};
  for (const std::string_view device : kDevices) {
    if (base == device) return true;
  }
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = lastSeparator(path);
  if (slash == std::string::npos) return ".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
  const std::size_t slash = lastSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string absolutePath(const std::string& path) {
  std::error_code ignored;
  const std::filesystem::path absolute = std::filesystem::absolute(wide(path), ignored);
  return absolute.empty() ? path : utf8FromWide(absolute.wstring());
}

bool exists(const std::string& path) {
  return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

Kind lookAtNotFollowing(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Kind::kMissing
                                                                          : Kind::kOther;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return Kind::kLink;
  // The folder's owner decides who may write in it; Windows has no root.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Kind::kOwnDirectory;
  return Kind::kOwnFile;
}

std::string ownerOf(const std::string&) { return ""; }

std::string fileIdentity(const std::string& path) {
  const HANDLE handle =
      CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return "";
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!known) return "";
  return std::to_string(info.dwVolumeSerialNumber) + ":" +
         std::to_string((std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow);
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(wide(folder), error), end; !error && entry != end;
       entry.increment(error)) {
    names.push_back(utf8FromWide(entry->path().filename().wstring()));
  }
  return names;
}

bool processRuns(unsigned long process) {
  const HANDLE handle =
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process));
  if (handle == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  const bool running = GetExitCodeProcess(handle, &code) != 0 && code == STILL_ACTIVE;
  CloseHandle(handle);
  return running;
}

bool readSmallFile(const std::string& path, std::size_t most, std::string* content, bool* longer,
                   std::string* reason) {
  const HANDLE handle = CreateFileW(wide(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *reason = lastErrorText();
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(handle) != FILE_TYPE_DISK || GetFileInformationByHandle(handle, &info) == 0 ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    CloseHandle(handle);
    *reason = "not a regular file";
    return false;
  }
  content->assign(most + 1, '\0');
  std::size_t filled = 0;
  while (filled < content->size()) {
    DWORD got = 0;
    const DWORD chunk =
        static_cast<DWORD>(std::min<std::size_t>(content->size() - filled, 1u << 20));
    if (ReadFile(handle, content->data() + filled, chunk, &got, nullptr) == 0) {
      *reason = lastErrorText();
      CloseHandle(handle);
      return false;
    }
    if (got == 0) break;
    filled += got;
  }
  CloseHandle(handle);
  *longer = filled > most;
  content->resize(std::min(filled, most));
  return true;
}

bool folderTakesNewFiles(const std::string& folder, std::string* reason) {
  const DWORD attributes = GetFileAttributesW(wide(folder).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return true;
  }
  *reason = "no such folder";
  return false;
}

std::string canonicalPath(const std::string& path) {
  std::error_code ignored;
  const std::filesystem::path canonical =
      std::filesystem::weakly_canonical(wide(absolutePath(path)), ignored);
  std::string name = canonical.empty() ? absolutePath(path) : utf8FromWide(canonical.wstring());
  // Names differ on NTFS only in more than their case.
  return asciiLowered(name);
}

std::FILE* openToRead(const std::string& path, std::string* reason) {
  errno = 0;
  std::FILE* file = _wfopen(wide(path).c_str(), L"rb");
  if (file == nullptr) *reason = errorText(errno == 0 ? EACCES : errno);
  return file;
}

NewFile::~NewFile() { close(); }

void NewFile::close() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

bool NewFile::create(const std::string& path, std::string* reason) {
  const HANDLE handle = CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *reason = lastErrorText();
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  return true;
}

bool NewFile::append(std::string_view content, std::string* reason) {
  if (writeAll(reinterpret_cast<HANDLE>(handle_), content)) return true;
  *reason = lastErrorText();
  return false;
}

bool NewFile::finish(std::string_view content, unsigned, std::string* reason) {
  const HANDLE handle = reinterpret_cast<HANDLE>(handle_);
  const bool written = writeAll(handle, content) && FlushFileBuffers(handle) != 0;
  if (!written) *reason = lastErrorText();
  close();
  return written;
}

bool writeInto(const std::string& path, std::string_view content, std::string* reason) {
  const HANDLE handle =
      CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *reason = lastErrorText();
    return false;
  }
  const bool written = writeAll(handle, content);
  if (!written) *reason = lastErrorText();
  CloseHandle(handle);
  return written;
}

int descriptorNamed(const std::string&) { return -1; }

bool writeToDescriptor(int, std::string_view, std::string* reason) {
  *reason = errorText(EBADF);
  return false;
}

bool renameOver(const std::string& from, const std::string& to, std::string* reason) {
  if (MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
    return true;
  }
  *reason = lastErrorText();
  return false;
}

void removeFile(const std::string& path) { DeleteFileW(wide(path).c_str()); }

void removeEmptyFolder(const std::string& path) { RemoveDirectoryW(wide(path).c_str()); }

bool makeFolder(const std::string& path, std::string* reason) {
  if (CreateDirectoryW(wide(path).c_str(), nullptr) != 0) return true;
  *reason = lastErrorText();
  return false;
}

bool syncFolder(const std::string&, std::string*) { return true; }

FolderLock::~FolderLock() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

namespace {

// The process number the holder of a lock file wrote into it, or "".
std::string holderOf(HANDLE handle) {
  char text[24] = {};
  DWORD got = 0;
  OVERLAPPED from_start{};
  if (ReadFile(handle, text, sizeof text - 1, &got, &from_start) == 0) return "";
  std::string holder;
  for (DWORD i = 0; i < got && text[i] >= '0' && text[i] <= '9'; ++i) holder.push_back(text[i]);
  return holder;
}

// The byte locked stands far beyond the process number, which others read.
constexpr DWORD kLockedByte = 0x7fffffff;

}  // namespace

LockResult FolderLock::acquire(const std::string& lock_path, const LockWait& wait,
                               std::string* reason) {
  LockWaiting waiting(wait);
  for (;;) {
    // A lock file whose last holder has let go may still be on its way out
    // for a moment: it cannot be opened until it is gone.
    const HANDLE handle = CreateFileW(
        wide(lock_path).c_str(), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      if (GetLastError() != ERROR_ACCESS_DENIED) {
        *reason = "the save lock " + lock_path + ": " + lastErrorText();
        return LockResult::kFailed;
      }
      if (lookAtNotFollowing(lock_path) == Kind::kOwnDirectory) {
        *reason = "the save lock " + lock_path + " is a directory";
        return LockResult::kFailed;
      }
    } else {
      BY_HANDLE_FILE_INFORMATION info{};
      if (GetFileType(handle) != FILE_TYPE_DISK || GetFileInformationByHandle(handle, &info) == 0 ||
          (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
              0) {
        CloseHandle(handle);
        *reason = "the save lock " + lock_path + " is not a regular file";
        return LockResult::kFailed;
      }
      OVERLAPPED byte{};
      byte.Offset = kLockedByte;
      if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &byte) !=
          0) {
        const std::string number = std::to_string(GetCurrentProcessId()) + "\n";
        DWORD written = 0;
        OVERLAPPED from_start{};
        WriteFile(handle, number.data(), static_cast<DWORD>(number.size()), &written, &from_start);
        path_ = lock_path;
        handle_ = reinterpret_cast<std::intptr_t>(handle);
        return LockResult::kHeld;
      }
      waiting.noteHolder(holderOf(handle));
      CloseHandle(handle);
    }
    if (!waiting.goOn(reason)) return LockResult::kBusy;
  }
}

std::string temporaryNameFor(const std::string& path, unsigned attempt) {
  const std::string folder = folderOf(path);
  const std::string name = "." + baseNameOf(path) + ".census-" +
                           std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt) +
                           ".tmp";
  if (folder == ".") return name;
  return isSeparator(folder.back()) ? folder + name : folder + "\\" + name;
}

std::string withPlatformLineEnds(std::string_view text) {
  std::string result;
  result.reserve(text.size() + text.size() / 16);
  for (const char c : text) {
    if (c == '\n') result.push_back('\r');
    result.push_back(c);
  }
  return result;
}

}  // namespace census::disk
