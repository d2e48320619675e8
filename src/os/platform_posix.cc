// POSIX: the key is read from the controlling terminal in raw mode, and the
// console commands of the program's home platform, which do not exist here,
// are mapped to their nearest equivalents, each spawned without a shell.
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "os/files.h"
#include "os/platform.h"

extern char** environ;

namespace census {
namespace {

// The terminal whose settings the key wait changed, for the signal handler.
int g_tty_fd = -1;
termios g_saved_settings;

constexpr std::array kRestoredSignals = {SIGINT, SIGTERM, SIGHUP};

void restoreTerminalAndReraise(int signal_number) {
  tcsetattr(g_tty_fd, TCSANOW, &g_saved_settings);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

bool isExecutableOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::string_view rest = path;
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view dir = rest.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    // An empty entry means the current directory.
    const std::string candidate = std::string(dir.empty() ? "." : dir) + "/" + name;
    struct stat info {};
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return true;
    }
  }
  return false;
}

// Starts a program found on the PATH; with wait, returns once it has ended.
void spawn(const std::string& program, const char* argument, bool wait) {
  std::string program_copy = program;
  std::string argument_copy = argument == nullptr ? "" : argument;
  char* argv[] = {program_copy.data(), argument == nullptr ? nullptr : argument_copy.data(),
                  nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) return;
  if (wait) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

// Collects calculators that have closed since, so none lingers as a zombie.
void reapStartedPrograms() {
  while (::waitpid(-1, nullptr, WNOHANG) > 0) {
  }
}

// Reads one key in raw mode; the terminal's settings come back afterwards,
// also when a signal ends the run during the wait.
void readKey(int tty) {
  g_tty_fd = tty;
  struct sigaction restore {};
  restore.sa_handler = restoreTerminalAndReraise;
  std::array<struct sigaction, kRestoredSignals.size()> previous{};
  for (std::size_t i = 0; i < kRestoredSignals.size(); ++i) {
    sigaction(kRestoredSignals[i], &restore, &previous[i]);
  }
  termios raw = g_saved_settings;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(tty, TCSANOW, &raw);
  char key = 0;
  while (::read(tty, &key, 1) < 0 && errno == EINTR) {
  }
  // The rest of a key that sends several bytes (an arrow: ESC [ A) has
  // arrived with its first byte; it is dropped, not left for the shell.
  tcflush(tty, TCIFLUSH);
  tcsetattr(tty, TCSANOW, &g_saved_settings);
  for (std::size_t i = 0; i < kRestoredSignals.size(); ++i) {
    sigaction(kRestoredSignals[i], &previous[i], nullptr);
  }
  g_tty_fd = -1;
}

class PosixPlatform final : public Platform {
 public:
  void waitForKey() override {
    if (::isatty(STDOUT_FILENO) == 0) return;
    const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) return;
    if (tcgetattr(tty, &g_saved_settings) == 0) {
      readKey(tty);
      while (::write(tty, "\n", 1) < 0 && errno == EINTR) {
      }
    }
    ::close(tty);
  }

  void clearScreen() override {
    reapStartedPrograms();
    if (::isatty(STDOUT_FILENO) == 0) return;
    std::fputs("\x1b[H\x1b[2J\x1b[3J", stdout);
    std::fflush(stdout);
  }

  void openFile(const char* file_name) override {
    reapStartedPrograms();
    if (isExecutableOnPath("xdg-open")) spawn("xdg-open", file_name, true);
  }

  bool openInBrowser(const std::string& url) override {
    reapStartedPrograms();
    if (!isExecutableOnPath("xdg-open")) return false;
    spawn("xdg-open", url.c_str(), false);
    return true;
  }

  bool windowClosesOnExit() override { return false; }

  // A windowed calculator is started, not waited for, as a console does.
  void startCalculator() override {
    reapStartedPrograms();
    constexpr std::array kCalculators = {"gnome-calculator", "kcalc", "galculator", "xcalc"};
    for (const char* calculator : kCalculators) {
      if (isExecutableOnPath(calculator)) {
        spawn(calculator, nullptr, false);
        return;
      }
    }
  }
};

}  // namespace

std::unique_ptr<Platform> makeSystemPlatform() { return std::make_unique<PosixPlatform>(); }

std::string systemErrorText(int code) { return errorText(code); }

bool secureRandomBytes(std::span<unsigned char> buffer) {
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    const ssize_t got = ::getrandom(buffer.data() + filled, buffer.size() - filled, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    filled += static_cast<std::size_t>(got);
  }
  return true;
}

std::string operatingSystemUser() {
  if (const passwd* entry = ::getpwuid(::geteuid());
      entry != nullptr && entry->pw_name != nullptr) {
    return entry->pw_name;
  }
  const char* name = std::getenv("LOGNAME");
  return name != nullptr ? name : "";
}

void raiseOpenFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool readPrivateFile(const std::string& path, std::size_t most, std::string* content,
                     std::string* reason) {
  // Without O_NONBLOCK a FIFO would wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    *reason = errorText(errno);
    return false;
  }
  struct stat info {};
  bool fine = ::fstat(fd, &info) == 0;
  if (!fine) {
    *reason = errorText(errno);
  } else if (!S_ISREG(info.st_mode)) {
    *reason = "it is not a regular file";
    fine = false;
  } else if ((info.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    *reason = std::string("other users may read or change it (its mode is ") + mode +
              "); 'chmod 600 " + path + "' keeps it yours alone";
    fine = false;
  } else if (static_cast<std::uint64_t>(info.st_size) > most) {
    *reason = "it is larger than " + std::to_string(most) + " bytes";
    fine = false;
  }
  content->clear();
  char buffer[4096];
  while (fine) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *reason = errorText(errno);
      fine = false;
    } else if (got == 0) {
      break;
    } else if (content->size() + static_cast<std::size_t>(got) > most) {
      *reason = "it is larger than " + std::to_string(most) + " bytes";
      fine = false;
    } else {
      content->append(buffer, static_cast<std::size_t>(got));
    }
  }
  ::close(fd);
  if (!fine) content->clear();
  return fine;
}

bool changeDirectory(const std::string& dir, std::string* reason) {
  if (::chdir(dir.c_str()) == 0) return true;
  *reason = errno == ENOENT    ? "no such folder"
            : errno == ENOTDIR ? "not a folder"
                               : errorText(errno);
  return false;
}

std::string workingFolderIdentity() {
  char* const path = ::realpath(".", nullptr);
  if (path == nullptr) return "";
  std::string identity(path);
  std::free(path);
  return identity;
}

std::string_view stopKeys() { return "Ctrl-C"; }

void guardStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // Standard input may read from /dev/null; the output descriptors get it
    // read-only, so a write to them still fails as on a closed descriptor.
    const int opened = ::open("/dev/null", O_RDONLY);
    if (opened >= 0 && opened != fd) ::close(opened);
  }
}

std::tm localTime(std::time_t moment) {
  std::tm time{};
  localtime_r(&moment, &time);
  return time;
}

std::tm utcTime(std::time_t moment) {
  std::tm time{};
  gmtime_r(&moment, &time);
  return time;
}

void useBinaryStandardOutput() {}

void useBinaryStandardInput() {}

// A terminal here speaks the bytes it is given: UTF-8 passes as it is.
void useConsoleText() {}

std::string_view manualPointer() { return "'man census' lists the codes"; }

}  // namespace census
