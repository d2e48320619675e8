#include "commands/dhis2_server.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <nlohmann/json.hpp>

#include "base/text.h"
#include "commands/dhis2.h"
#include "os/platform.h"
#include "records/state_lists.h"

namespace census {
namespace {

using Json = nlohmann::json;

// An API token is one word of visible ASCII; a file of a kilobyte holds any.
constexpr std::size_t kMostTokenBytes = 1024;

bool isHostName(std::string_view host) {
  return !host.empty() && host.size() <= 253 && host.front() != '-' && host.front() != '.' &&
         host.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-.") == std::string::npos;
}

// The characters a path of a URL may hold as they are.
bool isPathText(std::string_view path) {
  return std::all_of(path.begin(), path.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > 0x20 && byte < 0x7F && c != '"' && c != '<' && c != '>' && c != '\\' &&
           c != '^' && c != '`' && c != '{' && c != '|' && c != '}';
  });
}

// Whether text is a DHIS2 personal access token as DHIS2 makes them:
// "d2pat_", then letters and digits.
bool isPersonalAccessToken(std::string_view text) {
  constexpr std::string_view kPrefix = "d2pat_";
  return text.size() > kPrefix.size() && text.starts_with(kPrefix) &&
         std::all_of(text.begin() + kPrefix.size(), text.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
         });
}

// The token of a token file: its one line, without the line end, and
// without the byte order mark Notepad puts first.
std::optional<std::string> tokenOf(std::string text, std::string* problem) {
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  if (text.empty()) {
    *problem = "it holds no token";
    return std::nullopt;
  }
  if (!isPersonalAccessToken(text)) {
    *problem =
        "it holds no DHIS2 personal access token (one word on one line: d2pat_, then letters "
        "and digits)";
    return std::nullopt;
  }
  return text;
}

// Whether a redirect leads to one of the pages where DHIS2 asks to sign
// in: the old login action, the login app of 2.41 on, or /login/.
bool leadsToLogin(std::string_view location) {
  constexpr std::array<std::string_view, 3> kLoginPaths = {
      "/dhis-web-commons/security/login.action", "/dhis-web-login", "/login/"};
  return std::any_of(kLoginPaths.begin(), kLoginPaths.end(), [&](std::string_view path) {
    return location.find(path) != std::string_view::npos;
  });
}

// The server's own words in a WebMessage: ": MESSAGE", or "".
std::string serverWords(const WebAnswer& answer) {
  const Json document = Json::parse(answer.body, nullptr, false);
  if (!document.is_object() || jsonText(document, "message").empty()) return "";
  return ": " + safeForScreen(jsonText(document, "message"));
}

}  // namespace

std::string stateOfOrgUnit(const Dhis2Mapping& mapping, std::string_view org_unit) {
  for (const auto& [iso_code, unit] : mapping.org_units) {
    if (unit != org_unit) continue;
    for (const StateList& list : stateLists()) {
      for (const StateEntry& state : list.states) {
        if (state.iso_code == iso_code) return std::string(state.name);
      }
    }
  }
  return "";
}

std::string figureOf(const Dhis2Mapping& mapping, std::string_view element,
                     std::string_view combo) {
  for (std::size_t f = 0; f < kFigureCount; ++f) {
    const Dhis2Figure& figure = mapping.figures[f];
    if (figure.data_element == element && figure.category_option_combo == combo) {
      return std::string(kFigureNames[f]);
    }
  }
  return "";
}

std::string failureText(const WebAnswer& answer, const Dhis2Address& address,
                        const std::string& ca_file, std::chrono::seconds timeout) {
  switch (answer.failure) {
    case WebFailure::kNameNotFound:
      return "the name " + address.host + " is not found (" + answer.reason + ")";
    case WebFailure::kRefused:
      return "nothing answers at " + address.host + ":" + std::to_string(address.port) +
             " (the connection was refused)";
    case WebFailure::kCertificate:
      return "the server's certificate is not to be trusted: " + answer.reason +
             (ca_file.empty() && webPostTakesCaFile()
                  ? "; an office's own certificate authority is named with --ca-file"
                  : "");
    case WebFailure::kTimeout:
      return "no answer within " + std::to_string(timeout.count()) + " s";
    case WebFailure::kOther:
    case WebFailure::kNone:
      break;
  }
  return answer.reason;
}

// Whether a redirect leads to one of the pages where DHIS2 asks to sign

// in: the old login action, the login app of 2.41 on, or /login/.

// The server's own words in a WebMessage: ": MESSAGE", or "".

// What an HTTP status census cannot use says, where the server gave no

// import summary.
std::string statusText(const WebAnswer& answer, const std::string& path, bool token_given) {
  const bool redirect = answer.status >= 300 && answer.status < 400;
  if (redirect && leadsToLogin(answer.location)) {
    return token_given ? "the server did not take the token and asks to sign in (it sends "
                         "census on to " +
                             safeForScreen(answer.location) + ")"
                       : "the server asks to sign in: give --token-file";
  }
  switch (answer.status) {
    case 401:
      return "the server did not let the token in (401 Unauthorized" + serverWords(answer) +
             "); is it the right one, and still valid?";
    case 403:
      return "the token's user may not do this (403 Forbidden" + serverWords(answer) + ")";
    case 404:
      return "there is no DHIS2 at that address (404 Not Found for " + path + ")";
    default:
      break;
  }
  std::string text = "the server answered with status " + std::to_string(answer.status);
  if (redirect) {
    text += answer.location.empty() ? " (a redirect: give the address DHIS2 itself is at)"
                                    : " (a redirect to " + safeForScreen(answer.location) +
                                          ": give the address DHIS2 itself is at)";
  }
  return text + serverWords(answer);
}

// Reads the token file named, where one is; returns false after saying why not.
bool tokenFromFile(const std::string& file, std::string* token, std::ostream& errors) {
  if (file.empty()) return true;
  std::string text;
  std::string problem;
  if (readPrivateFile(file, kMostTokenBytes, &text, &problem)) {
    if (std::optional<std::string> found = tokenOf(std::move(text), &problem)) {
      *token = std::move(*found);
      return true;
    }
  }
  errors << "census: the token file " << quotedForScreen(file) << " cannot be used: " << problem
         << "\n";
  return false;
}

// The mapping's id schemes as a query says them: "idScheme=CODE&...". ADX

// imports read them from the query alone, data value sets from either.
std::string schemesQuery(const Dhis2Mapping& mapping) {
  std::string query = "idScheme=" + std::string(dhis2IdSchemeName(mapping.id_scheme));
  for (std::size_t kind = 0; kind < kDhis2IdKindCount; ++kind) {
    if (const auto scheme = mapping.kind_schemes[kind]) {
      query += "&" + std::string(kDhis2IdSchemeKeys[kind]) + "=" +
               std::string(dhis2IdSchemeName(*scheme));
    }
  }
  return query;
}

std::optional<Dhis2Address> parseDhis2Address(const std::string& url, std::string* problem) {
  const std::size_t colon = url.find("://");
  const std::string scheme = colon == std::string::npos ? "" : asciiLowered(url.substr(0, colon));
  if (scheme != "https" && scheme != "http") {
    *problem = "the address must begin with https://, as https://dhis2.example.org";
    return std::nullopt;
  }
  Dhis2Address address;
  address.secure = scheme == "https";
  address.port = address.secure ? 443 : 80;
  const std::string rest = url.substr(colon + 3);
  const std::size_t path_start = rest.find_first_of("/?#");
  const std::string authority = rest.substr(0, path_start);
  std::string path = path_start == std::string::npos ? "" : rest.substr(path_start);
  if (authority.find('@') != std::string::npos) {
    *problem =
        "the address holds a user name or password; census signs in with --token-file, and a "
        "command line is seen by every user of the machine";
    return std::nullopt;
  }
  if (path.find_first_of("?#") != std::string::npos) {
    *problem =
        "the address holds a query or a fragment; give the server's own, as "
        "https://dhis2.example.org";
    return std::nullopt;
  }
  // An IPv6 address ("[::1]") is no host census takes: its colons are no port.
  const std::size_t port_colon =
      authority.starts_with('[') ? std::string::npos : authority.rfind(':');
  address.host = asciiLowered(authority.substr(0, port_colon));
  if (port_colon != std::string::npos) {
    const std::string port = authority.substr(port_colon + 1);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || value == 0 ||
        value > 65535) {
      *problem = "the address's port " + quotedForScreen(port) + " is no number from 1 to 65535";
      return std::nullopt;
    }
    address.port = static_cast<std::uint16_t>(value);
  }
  if (!isHostName(address.host)) {
    *problem =
        "the address's host " + quotedForScreen(address.host) + " is no host name or IPv4 address";
    return std::nullopt;
  }
  if (!isPathText(path)) {
    *problem = "the address's path holds characters a URL does not (write them %-encoded)";
    return std::nullopt;
  }
  if (!address.secure && address.host != "127.0.0.1") {
    *problem =
        "plain http:// goes to 127.0.0.1 only, where nothing crosses a network; use "
        "https:// for " +
        address.host;
    return std::nullopt;
  }
  while (!path.empty() && path.back() == '/') path.pop_back();
  // The address of the server's API means the server: census adds /api.
  if (path.ends_with("/api")) path.resize(path.size() - 4);
  while (!path.empty() && path.back() == '/') path.pop_back();
  address.path = path;
  const bool usual_port = address.port == (address.secure ? 443 : 80);
  address.url =
      scheme + "://" + address.host + (usual_port ? "" : ":" + std::to_string(address.port)) + path;
  return address;
}

WebPost dhis2Request(const Dhis2Address& address, std::string method, std::string target,
                     const std::string& token, const std::string& ca_file,
                     std::chrono::seconds timeout) {
  WebPost request{.method = std::move(method),
                  .secure = address.secure,
                  .host = address.host,
                  .port = address.port,
                  .target = address.path + std::move(target),
                  .headers = {{"Accept", "application/json"}},
                  .body = {},
                  .ca_file = ca_file,
                  .timeout = timeout};
  if (!token.empty()) request.headers.emplace_back("Authorization", "ApiToken " + token);
  return request;
}

std::string queryValue(std::string_view text) {
  constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string value;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      value += c;
    } else {
      value += {'%', kHex[byte >> 4], kHex[byte & 15]};
    }
  }
  return value;
}

std::string jsonText(const Json& object, const char* name) {
  const auto found = object.find(name);
  return found != object.end() && found->is_string() ? found->get<std::string>() : "";
}

std::optional<Dhis2Session> openDhis2Session(FileSystem& files, const std::string& url,
                                             const std::string& token_file,
                                             const std::string& ca_file, std::ostream& errors) {
  std::string problem;
  std::optional<Dhis2Address> address = parseDhis2Address(url, &problem);
  if (!address) {
    errors << "census: " << problem << "\n";
    return std::nullopt;
  }
  Dhis2Session session{std::move(*address), "", {}};
  if (!caFileTaken(ca_file, errors) || !tokenFromFile(token_file, &session.token, errors) ||
      !loadDhis2Mapping(files, &session.mapping, errors)) {
    return std::nullopt;
  }
  return session;
}

bool caFileTaken(const std::string& ca_file, std::ostream& errors) {
  if (ca_file.empty() || webPostTakesCaFile()) return true;
  errors << "census: on Windows, census trusts the certificates Windows trusts; add the "
            "office's certificate authority to Windows' trusted root certificates instead "
            "of --ca-file\n";
  return false;
}

}  // namespace census
