// The carrier of the site: an HTTP/1.1 server on 127.0.0.1 only, which
// holds many idle connections on one thread. A connection's request must
// arrive within 5 seconds (its header, then its body), and an idle
// keep-alive connection is closed after 2 seconds. Bodies are bounded and
// framed by Content-Length alone (web/access.h). One line per request goes
// to the log: the time in UTC, the method, the path without its query, the
// status, the bytes of the body and the milliseconds taken.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "os/platform.h"
#include "records/history.h"
#include "save/file_system.h"
#include "web/site.h"

namespace census {

class HttpServer {
 public:
  // Listens on 127.0.0.1:port, port 0 for any free one, and holds the port
  // for itself alone: a second server on it fails. Returns null with
  // *reason set ("the port is in use by another program") where it cannot.
  static std::unique_ptr<HttpServer> listen(Site& site, int port, std::ostream& log,
                                            std::string* reason);
  virtual ~HttpServer() = default;

  // The port listened on.
  virtual int port() const = 0;

  // Serves until stop() or SIGINT or SIGTERM: then takes no new
  // connection, closes the idle ones, finishes the requests in flight and
  // returns, within 2 seconds.
  virtual void run() = 0;

  // Asks run() to return as a signal would. Safe from any thread.
  virtual void stop() = 0;
};

// The answer bytes for one request's bytes, read with the same parser,
// limits and rules as a connection reads them: for the tests and the fuzz
// target, without a socket. A request that cannot be parsed gets 400.
std::string exchangeOnce(Site& site, std::string_view request_bytes);

// The command: serves the working directory's files, files recording each
// save as one by serve and restoring each as one by restore, at
// http://127.0.0.1:PORT/ until stopped, after saying on errors where and
// how to stop; with open_browser the address is opened in the desktop's
// browser. Returns kExitSuccess once stopped, kExitUsage where the port
// cannot be had or no token can be made.
int runServe(FileSystem& files, RecordingFileSystem& restoring, Platform& platform, int port,
             bool open_browser, std::ostream& errors);

// The port census serve takes unless told otherwise.
inline constexpr int kDefaultServePort = 8642;

}  // namespace census
