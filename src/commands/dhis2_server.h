// Speaking to a DHIS2 server, for `census push` and `census pull`: its
// address as census takes it, the token that signs in, the request, and
// what an answer that is no data says, in words that tell what to do.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "os/web_post.h"
#include "records/dhis2_mapping.h"
#include "save/file_system.h"

namespace census {

// A server's address as census sends to it.
struct Dhis2Address {
  bool secure = true;
  std::string host;
  std::uint16_t port = 443;
  std::string path;  // "" or "/dhis", without a slash at its end
  std::string url;   // the whole address, as it is said and recorded
};

// Takes a URL apart: https with any host, or http with 127.0.0.1; no user
// name or password, query or fragment in it. A path ending in /api means
// the server itself. Returns nullopt with *problem set where it is not one
// census sends to.
std::optional<Dhis2Address> parseDhis2Address(const std::string& url, std::string* problem);

// What every exchange with a server starts from.
struct Dhis2Session {
  Dhis2Address address;
  std::string token;  // "" where no token file is given
  Dhis2Mapping mapping;
};

// Reads the address, the token file and the folder's mapping, and checks
// that --ca-file can be taken. Returns nullopt after saying on errors what
// stands in the way: each is a usage error.
std::optional<Dhis2Session> openDhis2Session(FileSystem& files, const std::string& url,
                                             const std::string& token_file,
                                             const std::string& ca_file, std::ostream& errors);

// A text member of a JSON object as the server wrote it; "" where there is
// none or it is no text.
std::string jsonText(const nlohmann::json& object, const char* name);

// Sends one request and returns the answer: postToWeb, or a stand-in.
using WebPoster = std::function<WebAnswer(const WebPost&)>;

// A request to the server at address: target is the path under it, with
// its query. Accepts JSON, and signs in with the token where there is one.
WebPost dhis2Request(const Dhis2Address& address, std::string method, std::string target,
                     const std::string& token, const std::string& ca_file,
                     std::chrono::seconds timeout);

// Reads the token file named, where one is: a DHIS2 personal access token
// ("d2pat_", letters and digits) on one line, a byte order mark and CR LF
// allowed, in a file others cannot read. Returns false after saying why
// not; the token itself is never said.
bool tokenFromFile(const std::string& file, std::string* token, std::ostream& errors);

// Whether --ca-file can be taken here; on Windows it cannot, and says so.
bool caFileTaken(const std::string& ca_file, std::ostream& errors);

// Why no answer came, in words, with what the user may do about it.
std::string failureText(const WebAnswer& answer, const Dhis2Address& address,
                        const std::string& ca_file, std::chrono::seconds timeout);

// What an HTTP status census cannot use says (a sign-in page, 401, 403,
// 404 for path, a redirect and where it leads), with the server's words.
std::string statusText(const WebAnswer& answer, const std::string& path, bool token_given);

// text as a query's value holds it: letters, digits and "-._~" as they are,
// every other byte %-encoded.
std::string queryValue(std::string_view text);

// The mapping's id schemes as a query says them: "idScheme=CODE&...".
std::string schemesQuery(const Dhis2Mapping& mapping);

// The name of the state a mapped org unit stands for; "" for none.
std::string stateOfOrgUnit(const Dhis2Mapping& mapping, std::string_view org_unit);

// The figure a mapped data element and combo stand for ("total"); "" for
// none.
std::string figureOf(const Dhis2Mapping& mapping, std::string_view element, std::string_view combo);

}  // namespace census
