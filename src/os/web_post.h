// One HTTP request to a server elsewhere, for `census push` and `census
// pull`: over TLS with the server's certificate verified, or in plain HTTP
// where the caller allows it. Redirects are not followed: the caller says
// where they lead. One implementation per platform is linked in: on Linux Boost.Beast
// with OpenSSL, on Windows the system's own WinHTTP.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace census {

struct WebPost {
  std::string method = "POST";  // or "GET", with no body
  bool secure = true;           // TLS (https); plain HTTP otherwise
  std::string host;             // a name or an address, as "dhis2.example.org" or "127.0.0.1"
  std::uint16_t port = 443;     // said in the Host header where it is not the scheme's own
  std::string target;           // the path and query: "/api/dataValueSets?dryRun=true"
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // A file of PEM certificates to trust instead of the system's store, or
  // "" for the system's store.
  std::string ca_file;
  // For the whole exchange, from the name's lookup to the answer's end.
  std::chrono::seconds timeout{30};
};

enum class WebFailure {
  kNone,          // an answer came, whatever its status
  kNameNotFound,  // the host's name is not known
  kRefused,       // nothing listens there, or the connection was refused
  kCertificate,   // the server's certificate is not to be trusted for the host
  kTimeout,       // no whole answer within the timeout
  kOther,         // any other failure: reason says which
};

struct WebAnswer {
  WebFailure failure = WebFailure::kNone;
  std::string reason;  // with a failure: what the system said, for the user
  int status = 0;      // the HTTP status, where an answer came
  std::string content_type;
  std::string location;  // a redirect's Location, as the server gave it
  std::string body;
};

// An answer that did not come, and why.
inline WebAnswer webFailure(WebFailure failure, std::string reason) {
  WebAnswer answer;
  answer.failure = failure;
  answer.reason = std::move(reason);
  return answer;
}

// The largest answer read: a larger one is a failure (kOther).
inline constexpr std::size_t kMostWebAnswerBytes = 16 << 20;

// Whether WebPost::ca_file is taken: on Windows the certificates trusted
// are those of the system's store alone.
bool webPostTakesCaFile();

// Sends the request and reads the whole answer: to its declared length, or
// where none is declared to the connection's end, even a TLS connection
// ended without its closing message. Never throws; every failure comes back
// in the answer.
WebAnswer postToWeb(const WebPost& post);

}  // namespace census
