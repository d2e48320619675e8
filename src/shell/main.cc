// census: records and reviews population figures of Nigerian states.
#include <iostream>

#include "shell/pass_loop.h"

int main() {
  // The console flushes at every end-of-line and before every read itself.
  std::ios::sync_with_stdio(false);
  const auto platform = census::makeSystemPlatform();
  return census::runCensus(std::cin, std::cout, *platform);
}
