// The primitives on Windows, through the wide-character API. A new file is
// flushed with FlushFileBuffers and replaces its target with MoveFileExW;
// the folder lock is LockFileEx on a lock file that is deleted when its
// last handle closes.
#include <windows.h>

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/text.h"
#include "os/files.h"
#include "os/platform.h"
#include "os/primitives.h"
#include "os/wide_text_win32.h"

namespace census {

namespace disk {
namespace {

std::size_t lastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

}  // namespace

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

}  // namespace disk

namespace {

using disk::Kind;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring wide(const std::string& name) { return wideFromUtf8(name); }

std::string lastErrorText() { return systemErrorText(static_cast<int>(GetLastError())); }

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool notFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

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

// Closes a handle once it goes out of scope, unless released.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

 private:
  HANDLE handle_;
};

// What stands at path opened only to be looked at, following links.
HANDLE openToLookAt(const std::string& path) {
  return CreateFileW(wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

Kind kindNotFollowing(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return notFound(GetLastError()) ? Kind::kMissing : Kind::kOther;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return Kind::kLink;
  // The folder's owner decides who may write in it; Windows has no root.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Kind::kOwnDirectory;
  return Kind::kOwnFile;
}

class WindowsInputFile final : public InputFile {
 public:
  explicit WindowsInputFile(HANDLE handle) : handle_(handle) {}

  bool read(char* buffer, std::size_t size, std::size_t* count, std::string* reason) override {
    DWORD got = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (ReadFile(handle_.get(), buffer, chunk, &got, nullptr) == 0) {
      // A console or a pipe whose other end is gone has come to its end.
      if (GetLastError() == ERROR_BROKEN_PIPE) {
        *count = 0;
        return true;
      }
      *count = 0;
      *reason = lastErrorText();
      return false;
    }
    *count = got;
    return true;
  }

  bool seek(std::uint64_t offset, std::string* reason) override {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (SetFilePointerEx(handle_.get(), to, nullptr, FILE_BEGIN) != 0) return true;
    *reason = lastErrorText();
    return false;
  }

 private:
  Handle handle_;
};

class WindowsFileWriter final : public NewFileWriter {
 public:
  explicit WindowsFileWriter(HANDLE handle) : handle_(handle) {}

  bool write(std::string_view content, std::string* reason) override {
    if (writeAll(handle_.get(), content)) return true;
    *reason = lastErrorText();
    return false;
  }

  bool finish(unsigned, std::string* reason) override {
    const Handle handle(handle_.release());
    if (FlushFileBuffers(handle.get()) != 0) return true;
    *reason = lastErrorText();
    return false;
  }

 private:
  Handle handle_;
};

// Held while its handle is open; the file goes with the last handle.
class WindowsLock final : public HeldLock {
 public:
  explicit WindowsLock(HANDLE handle) : handle_(handle) {}

 private:
  Handle handle_;
};

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

bool isPlainFile(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) != 0 &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

class WindowsPrimitives final : public FilePrimitives {
 public:
  OpenedFile openForReading(const std::string& name) override {
    OpenedFile opened;
    const bool device = disk::isDeviceName(name);
    if (!device) {
      const DWORD attributes = GetFileAttributesW(wide(name).c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES && notFound(GetLastError())) return opened;
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        opened.status = OpenStatus::kUnreadable;
        opened.reason = errorText(EISDIR);
        return opened;
      }
    }
    Handle handle(CreateFileW(wide(name).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) {
      if (notFound(GetLastError())) return opened;
      opened.status = OpenStatus::kUnreadable;
      opened.reason = lastErrorText();
      return opened;
    }
    opened.status = OpenStatus::kOpen;
    opened.file = std::make_unique<WindowsInputFile>(handle.release());
    return opened;
  }

  std::optional<FileStamp> stampOf(const std::string& name) override {
    const Handle handle(openToLookAt(name));
    if (!handle.valid()) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle.get(), &info) == 0 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return std::nullopt;
    }
    // FILETIME counts 100 ns from 1601; 11644473600 s lie between then and 1970.
    const std::int64_t written =
        static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                  info.ftLastWriteTime.dwLowDateTime);
    return FileStamp{info.dwVolumeSerialNumber,
                     (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
                     (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
                     (written - 116444736000000000) * 100, 0};
  }

  bool readSmallFile(const std::string& path, std::size_t most, std::string* content, bool* longer,
                     std::string* reason) override {
    const Handle handle(CreateFileW(wide(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle.valid()) {
      *reason = lastErrorText();
      return false;
    }
    if (!isPlainFile(handle.get())) {
      *reason = "not a regular file";
      return false;
    }
    content->assign(most + 1, '\0');
    std::size_t filled = 0;
    while (filled < content->size()) {
      DWORD got = 0;
      const DWORD chunk =
          static_cast<DWORD>(std::min<std::size_t>(content->size() - filled, 1u << 20));
      if (ReadFile(handle.get(), content->data() + filled, chunk, &got, nullptr) == 0) {
        *reason = lastErrorText();
        return false;
      }
      if (got == 0) break;
      filled += got;
    }
    *longer = filled > most;
    content->resize(std::min(filled, most));
    return true;
  }

  bool inspectFollowingLinks(const std::string& path, disk::PathInfo* info, std::string* reason,
                             disk::Writability writability) override {
    // A reserved device name (NUL, CON, COM1) is a device in every folder.
    if (disk::isDeviceName(path)) {
      *info = disk::PathInfo{};
      info->kind = Kind::kOther;
      return true;
    }
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      if (notFound(GetLastError())) {
        *info = disk::PathInfo{};
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
    if (!info->writable) {
      info->not_writable = errorText(EACCES);
    } else if (writability == disk::Writability::kTell) {
      // Replacing the file needs it to be writable and removable: a program
      // that holds it open without sharing (as a spreadsheet holds its
      // workbook) prevents both, which is told here, before anything changes.
      const Handle handle(CreateFileW(wide(path).c_str(), GENERIC_WRITE | DELETE, kShareAll,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!handle.valid()) {
        info->writable = false;
        info->not_writable = lastErrorText();
      }
    }
    return true;
  }

  Kind lookAtNotFollowing(const std::string& path) override { return kindNotFollowing(path); }

  std::string ownerOf(const std::string&) override { return ""; }

  std::string fileIdentity(const std::string& path) override {
    const Handle handle(openToLookAt(path));
    if (!handle.valid()) return "";
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle.get(), &info) == 0) return "";
    return std::to_string(info.dwVolumeSerialNumber) + ":" +
           std::to_string((std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow);
  }

  std::vector<std::string> namesIn(const std::string& folder) override {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(wide(folder), error), end;
         !error && entry != end; entry.increment(error)) {
      names.push_back(utf8FromWide(entry->path().filename().wstring()));
    }
    return names;
  }

  bool processRuns(unsigned long process) override {
    const HANDLE handle =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process));
    if (handle == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(handle, &code) != 0 && code == STILL_ACTIVE;
    CloseHandle(handle);
    return running;
  }

  std::string resolveLinks(const std::string& path) override { return path; }

  std::string canonicalPath(const std::string& path) override {
    std::error_code ignored;
    const std::filesystem::path canonical =
        std::filesystem::weakly_canonical(wide(absolutePath(path)), ignored);
    std::string name = canonical.empty() ? absolutePath(path) : utf8FromWide(canonical.wstring());
    // Names differ on NTFS only in more than their case.
    return asciiLowered(name);
  }

  int descriptorNamed(const std::string&) override { return -1; }

  bool folderTakesNewFiles(const std::string& folder, std::string* reason) override {
    const DWORD attributes = GetFileAttributesW(wide(folder).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return true;
    }
    *reason = "no such folder";
    return false;
  }

  std::string absolutePath(const std::string& path) override {
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(wide(path), ignored);
    return absolute.empty() ? path : utf8FromWide(absolute.wstring());
  }

  std::unique_ptr<NewFileWriter> createForWriting(const std::string& path,
                                                  std::string* reason) override {
    const HANDLE handle = CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      *reason = lastErrorText();
      return nullptr;
    }
    return std::make_unique<WindowsFileWriter>(handle);
  }

  bool writeInto(const std::string& path, std::string_view content, std::string* reason) override {
    const Handle handle(CreateFileW(wide(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
    if (!handle.valid() || !writeAll(handle.get(), content)) {
      *reason = lastErrorText();
      return false;
    }
    return true;
  }

  bool writeToDescriptor(int, std::string_view, std::string* reason) override {
    *reason = errorText(EBADF);
    return false;
  }

  bool renameOver(const std::string& from, const std::string& to, std::string* reason) override {
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
      return true;
    }
    *reason = lastErrorText();
    return false;
  }

  void removeFile(const std::string& path) override { DeleteFileW(wide(path).c_str()); }

  bool makeFolder(const std::string& path, std::string* reason) override {
    if (CreateDirectoryW(wide(path).c_str(), nullptr) != 0) return true;
    *reason = lastErrorText();
    return false;
  }

  void removeEmptyFolder(const std::string& path) override { RemoveDirectoryW(wide(path).c_str()); }

  // MoveFileExW with MOVEFILE_WRITE_THROUGH has flushed the folder already.
  bool syncFolder(const std::string&, std::string*) override { return true; }

  disk::LockResult lockFolder(const std::string& lock_path, const disk::LockWait& wait,
                              std::unique_ptr<HeldLock>* held, std::string* reason) override {
    disk::LockWaiting waiting(wait);
    for (;;) {
      // A lock file whose last holder has let go may still be on its way
      // out for a moment: it cannot be opened until it is gone.
      Handle handle(CreateFileW(
          wide(lock_path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
          FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
          nullptr));
      if (!handle.valid()) {
        if (GetLastError() != ERROR_ACCESS_DENIED) {
          *reason = "the save lock " + lock_path + ": " + lastErrorText();
          return disk::LockResult::kFailed;
        }
        if (kindNotFollowing(lock_path) == Kind::kOwnDirectory) {
          *reason = "the save lock " + lock_path + " is a directory";
          return disk::LockResult::kFailed;
        }
      } else {
        if (!isPlainFile(handle.get())) {
          *reason = "the save lock " + lock_path + " is not a regular file";
          return disk::LockResult::kFailed;
        }
        OVERLAPPED byte{};
        byte.Offset = kLockedByte;
        if (LockFileEx(handle.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &byte) != 0) {
          const std::string number = std::to_string(GetCurrentProcessId()) + "\n";
          DWORD written = 0;
          OVERLAPPED from_start{};
          WriteFile(handle.get(), number.data(), static_cast<DWORD>(number.size()), &written,
                    &from_start);
          *held = std::make_unique<WindowsLock>(handle.release());
          return disk::LockResult::kHeld;
        }
        waiting.noteHolder(holderOf(handle.get()));
      }
      if (!waiting.goOn(reason)) return disk::LockResult::kBusy;
    }
  }

  std::string temporaryNameFor(const std::string& path, unsigned attempt) override {
    const std::string folder = disk::folderOf(path);
    const std::string name = "." + disk::baseNameOf(path) + ".census-" +
                             std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt) +
                             ".tmp";
    if (folder == ".") return name;
    return isSeparator(folder.back()) ? folder + name : folder + "\\" + name;
  }

  std::string withPlatformLineEnds(std::string_view text) override {
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
      if (c == '\n') result.push_back('\r');
      result.push_back(c);
    }
    return result;
  }
};

}  // namespace

std::unique_ptr<FilePrimitives> makeDiskPrimitives() {
  return std::make_unique<WindowsPrimitives>();
}

}  // namespace census
