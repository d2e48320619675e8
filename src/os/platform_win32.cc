// Windows: the key is read from the console keyboard with _getch, and the
// fixed command strings of each request go to the system command
// interpreter unchanged.
#include <conio.h>
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>
#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "base/text.h"
#include "os/console_text.h"
#include "os/files.h"
#include "os/platform.h"
#include "os/wide_text_win32.h"

namespace census {
namespace {

// Whether a console device of this name can be opened as a console.
bool isConsole(const wchar_t* device) {
  const HANDLE console =
      CreateFileW(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  const bool is_console = GetConsoleMode(console, &mode) != 0;
  CloseHandle(console);
  return is_console;
}

bool standardOutputIsConsole() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

class WindowsPlatform final : public Platform {
 public:
  void waitForKey() override {
    if (!standardOutputIsConsole() || !isConsole(L"CONIN$")) return;
    // Arrows and function keys come as two codes: a 0 or 0xE0 first.
    const int key = _getch();
    if (key == 0 || key == 0xE0) _getch();
    std::fputs("\n", stdout);
    std::fflush(stdout);
  }

  // The one place the program calls the interpreter, with constant strings.
  void clearScreen() override { std::system("cls"); }
  void openFile(const char* file_name) override { std::system(file_name); }
  void startCalculator() override { std::system("calc.exe"); }
  bool openInBrowser(const std::string& url) override {
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
        nullptr, L"open", wideFromUtf8(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
  }

  void showWindow() override {
    const HWND window = GetConsoleWindow();
    if (window != nullptr && IsIconic(window) != 0) ShowWindow(window, SW_RESTORE);
  }

  // A console that census alone is attached to goes with it.
  bool windowClosesOnExit() override {
    DWORD processes[2];
    return standardOutputIsConsole() && isConsole(L"CONIN$") &&
           GetConsoleProcessList(processes, 2) == 1;
  }
};

}  // namespace

std::unique_ptr<Platform> makeSystemPlatform() { return std::make_unique<WindowsPlatform>(); }

bool secureRandomBytes(std::span<unsigned char> buffer) {
  return BCryptGenRandom(nullptr, buffer.data(), static_cast<ULONG>(buffer.size()),
                         BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}

std::string operatingSystemUser() {
  wchar_t name[257];
  DWORD size = 257;
  if (GetUserNameW(name, &size) == 0) return "";
  return utf8FromWide(name);
}

void raiseOpenFileLimit() {}

std::vector<std::string> commandLineArguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(utf8FromWide(wide[i]));
  LocalFree(wide);
  return arguments;
}

bool readPrivateFile(const std::string& path, std::size_t most, std::string* content,
                     std::string* reason) {
  const HANDLE file = CreateFileW(wideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *reason = systemErrorText(static_cast<int>(GetLastError()));
    return false;
  }
  bool fine = GetFileType(file) == FILE_TYPE_DISK;
  if (!fine) *reason = "it is not a regular file";
  content->clear();
  char buffer[4096];
  while (fine) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      *reason = systemErrorText(static_cast<int>(GetLastError()));
      fine = false;
    } else if (got == 0) {
      break;
    } else if (content->size() + got > most) {
      *reason = "it is larger than " + std::to_string(most) + " bytes";
      fine = false;
    } else {
      content->append(buffer, got);
    }
  }
  CloseHandle(file);
  if (!fine) content->clear();
  return fine;
}

bool changeDirectory(const std::string& dir, std::string* reason) {
  if (SetCurrentDirectoryW(wideFromUtf8(dir).c_str()) != 0) return true;
  const DWORD error = GetLastError();
  const DWORD attributes = GetFileAttributesW(wideFromUtf8(dir).c_str());
  *reason = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? "no such folder"
            : error == ERROR_DIRECTORY || (attributes != INVALID_FILE_ATTRIBUTES &&
                                           (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                ? "not a folder"
                : systemErrorText(static_cast<int>(error));
  return false;
}

std::string workingFolderIdentity() {
  const HANDLE folder = CreateFileW(L".", 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return "";
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(folder, path.data(), static_cast<DWORD>(path.size()),
                                           FILE_NAME_NORMALIZED);
  if (length >= path.size()) {
    path.resize(length + 1);
    length = GetFinalPathNameByHandleW(folder, path.data(), static_cast<DWORD>(path.size()),
                                       FILE_NAME_NORMALIZED);
  }
  CloseHandle(folder);
  if (length == 0 || length >= path.size()) return "";
  path.resize(length);
  // NTFS does not tell names apart by their case alone; the letters the
  // system hands back are the folder's own, but a drive letter or a share
  // may come in either case.
  return asciiLowered(utf8FromWide(path));
}

std::string_view stopKeys() { return "Ctrl+C"; }

void guardStandardStreams() {}

std::tm localTime(std::time_t moment) {
  std::tm time{};
  localtime_s(&time, &moment);
  return time;
}

std::tm utcTime(std::time_t moment) {
  std::tm time{};
  gmtime_s(&time, &moment);
  return time;
}

namespace {

// The standard handle where it is a console; nullptr where it is a pipe, a
// file or none.
HANDLE consoleOf(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

bool writeToConsole(HANDLE console, std::u16string_view text) {
  while (!text.empty()) {
    DWORD written = 0;
    const auto count = static_cast<DWORD>(std::min<std::size_t>(text.size(), 8192));
    if (!WriteConsoleW(console, reinterpret_cast<const wchar_t*>(text.data()), count, &written,
                       nullptr) ||
        written == 0) {
      return false;
    }
    text.remove_prefix(written);
  }
  return true;
}

bool readFromConsole(HANDLE console, std::u16string* text) {
  wchar_t buffer[1024];
  DWORD got = 0;
  if (!ReadConsoleW(console, buffer, 1024, &got, nullptr) || got == 0) return false;
  text->append(reinterpret_cast<const char16_t*>(buffer), got);
  return true;
}

}  // namespace

void useConsoleText() {
  // The buffers live as long as the streams, which flush at the very end:
  // they are never freed.
  const auto writeTo = [](std::ostream& stream, DWORD which) {
    if (const HANDLE console = consoleOf(which)) {
      stream.flush();
      stream.rdbuf(new ConsoleWriteBuffer(
          [console](std::u16string_view text) { return writeToConsole(console, text); }));
    }
  };
  writeTo(std::cout, STD_OUTPUT_HANDLE);
  writeTo(std::cerr, STD_ERROR_HANDLE);
  if (const HANDLE console = consoleOf(STD_INPUT_HANDLE)) {
    std::cin.rdbuf(new ConsoleReadBuffer(
        [console](std::u16string* text) { return readFromConsole(console, text); }));
  }
}

void useBinaryStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }

void useBinaryStandardInput() { _setmode(_fileno(stdin), _O_BINARY); }

std::string_view manualPointer() {
  return "the manual lists the codes:\n"
         "census-manual.txt beside census.exe, or \"census manual\" in the Start menu";
}

}  // namespace census
