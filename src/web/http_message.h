// A request and its answer as the site sees them, apart from any library
// that reads or writes them on a connection: so the site's rules can be
// run and tested in-process, and the server is only their carrier.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace census {

struct HttpRequest {
  std::string method;                                        // "GET", "POST", ...
  std::string target;                                        // "/lists/1?saved", as sent
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::string body;

  // The value of the first header of that name (lower case), if any.
  std::optional<std::string_view> header(std::string_view name) const;
  // The target without its query: "/lists/1".
  std::string_view path() const;
  // The target's query without its '?': "saved", or "".
  std::string_view query() const;
};

struct HttpAnswer {
  int status = 200;
  std::string content_type = "text/html; charset=utf-8";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  // beyond the usual ones
  // Where set, the connection is closed after this answer: the request's
  // body was not read, so nothing after it on the connection can be framed.
  bool close = false;
};

// The fields of a form sent as application/x-www-form-urlencoded (or of a
// query), decoded, in their order: "a=1&b=x+y%21" gives a=1 and b="x y!".
// A field without '=' has an empty value.
std::vector<std::pair<std::string, std::string>> decodeFormFields(std::string_view text);

// The value of the first field of that name, or nullopt.
std::optional<std::string> formField(const std::vector<std::pair<std::string, std::string>>& fields,
                                     std::string_view name);

// The parts of a multipart/form-data body, by their field names: the
// content of the part named `name`, or nullopt where the body has no such
// part or is not multipart with the boundary that content_type names.
std::optional<std::string> multipartField(std::string_view content_type, std::string_view body,
                                          std::string_view name);

}  // namespace census
