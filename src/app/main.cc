// census: records and reviews population figures of Nigerian states.
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "os/platform.h"
#include "save/file_system.h"

int main(int argc, char** argv) {
  census::guardStandardStreams();
  // The console gathers each line itself and flushes it at its end, so the
  // stream needs no buffer of its own: every flush becomes one write.
  std::ios::sync_with_stdio(false);
  std::cout.rdbuf()->pubsetbuf(nullptr, 0);
  // A Windows console is spoken to in UTF-16; pipes and files keep their bytes.
  census::useConsoleText();
  const std::vector<std::string> arguments = census::commandLineArguments(argc, argv);
  const auto platform = census::makeSystemPlatform();
  census::DiskOptions disk;
  disk.notice = [](const std::string& line) { std::cerr << line << '\n' << std::flush; };
  const auto files = census::makeDiskFileSystem(std::move(disk));
  return census::runCommandLine(arguments, std::cin, std::cout, std::cerr, *platform, *files);
}
