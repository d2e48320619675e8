// `census pull URL`: the way back from DHIS2. Reads what the server holds
// for the mapped data set, period and states (GET URL/api/dataValueSets,
// the query's identifiers read in the mapping's schemes and the answer's
// written in them) and says, state by state and figure by figure, where
// the server and the lists differ:
//
//   Loc-datas0.dat: Kebi: youth: 300 here, 310 on the server
//   census pull: 8 values of CENSUS_POP for 2026 read from https://…: 1 figure differs
//
// With --save the server's figures replace a list's where the server holds
// every figure of every state of that list, through the one save and its
// history (way "pull", which `census restore` undoes); the lists it cannot
// fill are named and left as they are.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "commands/dhis2_server.h"
#include "save/file_system.h"

namespace census {

struct PullRequest {
  std::string url;
  bool save = false;       // --save: write the server's figures into the lists
  std::string token_file;  // "" to send no token
  std::string ca_file;     // "" for the system's store
  std::string period;      // "" for the mapping's or this year
  std::chrono::seconds timeout{30};
};

// The command. Returns kExitSuccess where the server and the lists agree
// (or, with --save, where every list that differed was written);
// kExitFailure where they differ, a list cannot be read or written, or a
// list could not be filled from the server; kExitUsage for the errors of
// push: a URL, token file or mapping census cannot use, no answer, a
// server that does not let census in or whose answer is no data value set.
int runPull(FileSystem& files, const PullRequest& request, const WebPoster& get, std::ostream& out,
            std::ostream& errors);

}  // namespace census
