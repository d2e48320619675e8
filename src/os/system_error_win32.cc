// Windows' error numbers in words. The C runtime knows none of the
// socket errors ("Unknown error (10048)"), and the system's own messages
// are long, or missing under some systems: census says the common ones
// itself, as POSIX words them where there is such a word.
// winsock2.h first: it must come before windows.h.
// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include <array>
#include <cerrno>
#include <string>
#include <utility>

#include "os/files.h"
#include "os/platform.h"
#include "os/wide_text_win32.h"

namespace census {
namespace {

constexpr const char* kOpenElsewhere =
    "it is open in another program (close it in the other program and try again)";

struct ErrorWords {
  int code;
  const char* words;  // null: as POSIX says the errno beside it
  int posix;
};

constexpr std::array kErrorWords = {
    ErrorWords{ERROR_FILE_NOT_FOUND, nullptr, ENOENT},
    ErrorWords{ERROR_PATH_NOT_FOUND, nullptr, ENOENT},
    ErrorWords{ERROR_ACCESS_DENIED, nullptr, EACCES},
    // As a spreadsheet holds the workbook it shows.
    ErrorWords{ERROR_SHARING_VIOLATION, kOpenElsewhere, 0},
    ErrorWords{ERROR_LOCK_VIOLATION, kOpenElsewhere, 0},
    ErrorWords{ERROR_NOT_ENOUGH_MEMORY, nullptr, ENOMEM},
    ErrorWords{ERROR_OUTOFMEMORY, nullptr, ENOMEM},
    ErrorWords{ERROR_DISK_FULL, nullptr, ENOSPC},
    ErrorWords{ERROR_HANDLE_DISK_FULL, nullptr, ENOSPC},
    ErrorWords{ERROR_FILE_EXISTS, nullptr, EEXIST},
    ErrorWords{ERROR_ALREADY_EXISTS, nullptr, EEXIST},
    ErrorWords{ERROR_FILENAME_EXCED_RANGE, nullptr, ENAMETOOLONG},
    ErrorWords{ERROR_WRITE_PROTECT, "the disk is write-protected", 0},
    ErrorWords{ERROR_NOT_READY, "the drive is not ready", 0},
    ErrorWords{ERROR_INVALID_NAME, "the name is not one Windows allows", 0},
    ErrorWords{ERROR_BAD_NETPATH, "the network path is not found", 0},
    ErrorWords{ERROR_NETNAME_DELETED, "the network name is no longer there", 0},
    ErrorWords{ERROR_DEV_NOT_EXIST, "the device or network share is no longer there", 0},
    ErrorWords{ERROR_CANT_ACCESS_FILE, "the file cannot be reached", 0},
    ErrorWords{WSAEACCES, "the system does not let census use that address or port", 0},
    ErrorWords{WSAEMFILE, "too many connections are open", 0},
    ErrorWords{WSAEADDRINUSE, "the port is in use by another program", 0},
    ErrorWords{WSAEADDRNOTAVAIL, "the address is not one of this computer's", 0},
    ErrorWords{WSAENETDOWN, "the network is down", 0},
    ErrorWords{WSAENETUNREACH, "the network cannot be reached", 0},
    ErrorWords{WSAECONNABORTED, "the connection was broken off on this computer", 0},
    ErrorWords{WSAECONNRESET, "the connection was closed by the other side", 0},
    ErrorWords{WSAENOBUFS, "the system has no room for another connection", 0},
    ErrorWords{WSAETIMEDOUT, "the connection timed out", 0},
    ErrorWords{WSAECONNREFUSED, "the connection was refused", 0},
    ErrorWords{WSAEHOSTUNREACH, "the computer cannot be reached", 0},
    ErrorWords{WSANOTINITIALISED, "the network was not set up for census", 0},
    ErrorWords{WSAHOST_NOT_FOUND, "the name is not known", 0},
    ErrorWords{WSATRY_AGAIN, "the name cannot be looked up now; try again later", 0},
    ErrorWords{WSANO_DATA, "the name has no address", 0},
};

// The system's message for code, without its closing period and line end;
// "" where it has none.
std::string systemMessage(int code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring message(buffer != nullptr ? buffer : L"", length);
  LocalFree(buffer);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  return utf8FromWide(message);
}

}  // namespace

std::string systemErrorText(int code) {
  for (const ErrorWords& entry : kErrorWords) {
    if (entry.code == code) return entry.words != nullptr ? entry.words : errorText(entry.posix);
  }
  std::string message = systemMessage(code);
  return !message.empty() ? message : "Windows error " + std::to_string(code);
}

}  // namespace census
