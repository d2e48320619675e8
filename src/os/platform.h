// What the program needs from the machine it runs on, besides its standard
// streams and its files: a key press read without echo, a screen to clear,
// a file to open and a calculator to start, and the working directory. One
// implementation per platform is linked in.
#pragma once

#include <cstddef>
#include <ctime>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace census {

class Platform {
 public:
  virtual ~Platform() = default;

  // Waits for one key press on the console keyboard, without echo, and then
  // moves the terminal to a new line, so what comes after starts on a line
  // of its own. A key that sends several bytes (an arrow) is taken whole.
  // Reads the keyboard itself, not standard input; returns at once where no
  // one can see the prompt: standard output is not a terminal, or the run
  // has no console to read a key from.
  virtual void waitForKey() = 0;

  // Clears the terminal screen; does nothing where standard output is not
  // a terminal that can be cleared.
  virtual void clearScreen() = 0;

  // Opens a file of the working directory with the desktop's program for
  // it, and returns once that request has been dealt with. Nothing is
  // reported if there is no such program.
  virtual void openFile(const char* file_name) = 0;

  // Starts the desktop calculator, without waiting for it. Nothing is
  // reported if there is none.
  virtual void startCalculator() = 0;
  // Opens a web address in the desktop's browser, without waiting for it.
  // Returns false where there is no browser to ask.
  virtual bool openInBrowser(const std::string& url) = 0;

  // Whether the console window closes as soon as this program ends: on
  // Windows, where the program is the console's only process (started from
  // a shortcut rather than typed in a console), so that a message it left
  // would vanish unread. False on POSIX, whose terminals are the user's.
  virtual bool windowClosesOnExit() = 0;

  // Shows the console window census runs in where it started minimized (a
  // shortcut's), once there is something in it to read. Does nothing
  // elsewhere.
  virtual void showWindow() {}
};

// The platform this program was built for.
std::unique_ptr<Platform> makeSystemPlatform();

// The arguments the program was started with, the program name left out,
// in UTF-8 on every platform (on Windows read from the wide command line,
// so that any Unicode name arrives whole).
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Fills buffer from the operating system's random source, fit for secrets.
// Returns false where the source cannot be read.
bool secureRandomBytes(std::span<unsigned char> buffer);

// The name of the operating-system user running the program, or "" where
// it cannot be told.
std::string operatingSystemUser();

// Lets the process open as many files and connections as the system allows
// it, not only the default soft limit; does nothing where there is none.
void raiseOpenFileLimit();

// A system error number in words: on POSIX strerror's for an errno; on
// Windows census's own words for the common file and socket errors
// ("the port is in use by another program" for 10048), else the system's
// message, else "Windows error N", never "Unknown error".
std::string systemErrorText(int code);

// Makes dir the working directory. Returns false with *reason set ("No such
// file or directory") where it cannot.
bool changeDirectory(const std::string& dir, std::string* reason);

// Reads a small secret (an API token) from a file of the user's own.
// Refuses, with *reason set, a file that is no regular file, is larger
// than most bytes, or (on POSIX) may be read or written by any user but
// its owner: "it can be read by other users (its mode is 0644); 'chmod
// 600 FILE' keeps it yours alone". On Windows a file in the user's profile
// is the user's own already, and the file's access list is not looked at.
bool readPrivateFile(const std::string& path, std::size_t most, std::string* content,
                     std::string* reason);

// Makes sure the three standard descriptors are taken, so that no file the
// program opens can become its standard output; one that was closed stays
// unusable, and writing to it fails as it would have.
void guardStandardStreams();

// The calendar time of a moment, in the local time zone and in UTC.
std::tm localTime(std::time_t moment);
std::tm utcTime(std::time_t moment);

// A moment in UTC, as strftime writes it in this format: "%Y" for "2026".
inline std::string utcText(std::time_t moment, const char* format) {
  const std::tm utc = utcTime(moment);
  char text[64];
  return std::string(text, std::strftime(text, sizeof text, format, &utc));
}

// Where a standard stream is a console that speaks UTF-16 (on Windows),
// makes std::cin, std::cout and std::cerr convert between it and UTF-8,
// so that every letter shows and what is typed arrives as UTF-8. A stream
// that is a pipe or a file keeps its bytes exactly as they are. Does
// nothing elsewhere.
void useConsoleText();

// The help's words for where the manual lists the option codes, as it is
// installed: "'man census' lists the codes", or on Windows the text file
// beside census.exe and its Start menu entry.
std::string_view manualPointer();

// The keys that stop a program running in the terminal, as this platform
// writes them: "Ctrl-C", or "Ctrl+C" on Windows.
std::string_view stopKeys();

// The working directory as the system finally names it, the same however
// it was reached: every link followed, and on Windows in the file
// system's own letters (GetFinalPathNameByHandleW), so that letter case,
// short names, a trailing separator and ".." make no other folder. ""
// where it cannot be told.
std::string workingFolderIdentity();

// Writes standard output byte for byte, without line-end translation, for
// output whose line ends are fixed by its format (CSV, JSON, HTML).
void useBinaryStandardOutput();

// Reads standard input byte for byte, for input whose line ends the
// program takes apart itself (CSV).
void useBinaryStandardInput();

}  // namespace census
