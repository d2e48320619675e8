// `census push URL`: sends the figures of the three lists, as the data value
// set `census export --format dhis2` writes, to a DHIS2 server's
// URL/api/dataValueSets, and says what the server made of them from its
// import summary:
//
//   census push: 140 imported, 4 updated, 0 ignored
//
// and, for each value it ignored, the object and the reason it gave. Over
// HTTPS with the server's certificate verified, or plain HTTP to
// 127.0.0.1 alone; signed in with "Authorization: ApiToken TOKEN" where a
// token file is given. A push the server answered is recorded in the
// folder's history where one is kept (records/history.h).
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "commands/dhis2_server.h"
#include "os/web_post.h"
#include "save/file_system.h"

namespace census {

// What a push is asked for.
struct PushRequest {
  std::string url;         // the server, as "https://dhis2.example.org" or ".../dhis"
  bool dry_run = false;    // the server checks the values and stores none
  std::string token_file;  // "" to send no token
  std::string ca_file;     // "" for the system's store
  std::string period;      // as for the export: "" for the mapping's or this year
  std::chrono::seconds timeout{30};
};

// One value or object the server would not take, and why.
struct ImportConflict {
  std::string object;              // what the server names: a code, a UID, a period
  std::string reason;              // the server's words
  std::vector<long long> indexes;  // the values concerned, by their place in the set
};

// What a DHIS2 server says of an import, in either of its shapes: the
// import summary itself, or (newer servers) wrapped as its "response".
struct ImportSummary {
  std::string status;       // "SUCCESS", "WARNING", "ERROR"
  std::string description;  // why, where the status is "ERROR"
  long long imported = 0;
  long long updated = 0;
  long long ignored = 0;
  std::vector<ImportConflict> conflicts;
};

// nullopt where body is no import summary.
std::optional<ImportSummary> parseImportSummary(const std::string& body);

// The command. Returns kExitSuccess where the server took every value;
// kExitFailure where it ignored or refused any, where there is nothing to
// send or a list cannot be read, or where the push cannot be recorded;
// kExitUsage for a URL, token file or mapping census cannot use, and where
// no answer came (the reason is said: the name not found, the connection
// refused, the certificate, the timeout) or the server did not let the
// token in. The token is never written anywhere.
int runPush(FileSystem& files, const PushRequest& request, const WebPoster& post,
            const std::string& user, std::ostream& out, std::ostream& errors);

}  // namespace census
