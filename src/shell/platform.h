// What the program needs from the machine it runs on, besides its standard
// streams and its data files: a key press read without echo, and the
// system command interpreter. One implementation per platform is linked in.
#pragma once

#include <memory>

namespace census {

class Platform {
 public:
  virtual ~Platform() = default;

  // Waits for one key press on the console keyboard, without echo. Reads the
  // keyboard itself, not standard input; returns at once where the run has
  // no console to read a key from.
  virtual void waitForKey() = 0;

  // Hands one command string to the system command interpreter and returns
  // once it has dealt with the command. Its result is not reported.
  virtual void runCommand(const char* command) = 0;
};

// The platform this program was built for.
std::unique_ptr<Platform> makeSystemPlatform();

}  // namespace census
