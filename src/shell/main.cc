// census: records and reviews population figures of Nigerian states.
#include <iostream>

#include "shell/pass_loop.h"

int main() {
  // The console gathers each line itself and flushes it at its end, so the
  // stream needs no buffer of its own: every flush becomes one write.
  std::ios::sync_with_stdio(false);
  std::cout.rdbuf()->pubsetbuf(nullptr, 0);
  const auto platform = census::makeSystemPlatform();
  return census::runCensus(std::cin, std::cout, *platform);
}
