// Windows: the key is read from the console keyboard with _getch, and the
// command strings go to the system command interpreter unchanged.
#include <conio.h>
#include <windows.h>

#include <cstdlib>

#include "shell/platform.h"

namespace census {
namespace {

// Whether the process has a console keyboard, whatever standard input is.
bool hasConsoleInput() {
  const HANDLE console =
      CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  const bool is_console = GetConsoleMode(console, &mode) != 0;
  CloseHandle(console);
  return is_console;
}

class WindowsPlatform final : public Platform {
 public:
  void waitForKey() override {
    if (hasConsoleInput()) _getch();
  }

  // The one place the program calls the interpreter, with constant strings.
  void runCommand(const char* command) override { std::system(command); }
};

}  // namespace

std::unique_ptr<Platform> makeSystemPlatform() { return std::make_unique<WindowsPlatform>(); }

}  // namespace census
