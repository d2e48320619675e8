#include "commands/push.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <nlohmann/json.hpp>
#include <sstream>

#include "base/exit_status.h"
#include "base/text.h"
#include "commands/dhis2.h"
#include "os/platform.h"
#include "records/history.h"

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

// The token of a token file: its one line, without the line end.
std::optional<std::string> tokenOf(std::string text, std::string* problem) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  if (text.empty()) {
    *problem = "it holds no token";
    return std::nullopt;
  }
  const bool visible = std::all_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) > 0x20 && static_cast<unsigned char>(c) < 0x7F;
  });
  if (!visible) {
    *problem = "it holds more than one word, or characters no API token has";
    return std::nullopt;
  }
  return text;
}

long long countOf(const Json& counts, const char* name) {
  const auto found = counts.find(name);
  return found != counts.end() && found->is_number_integer() ? found->get<long long>() : 0;
}

std::string textOf(const Json& object, const char* name) {
  const auto found = object.find(name);
  return found != object.end() && found->is_string() ? found->get<std::string>() : "";
}

std::string summaryText(const ImportSummary& summary) {
  return std::to_string(summary.imported) + " imported, " + std::to_string(summary.updated) +
         " updated, " + std::to_string(summary.ignored) + " ignored";
}

// How many values a data value set holds.
std::size_t valueCount(const std::string& data_value_set) {
  const Json document = Json::parse(data_value_set, nullptr, false);
  return document.is_object() && document.contains("dataValues") ? document["dataValues"].size()
                                                                 : 0;
}

// Why no answer came, in words, with what the user may do about it.
std::string failureText(const WebAnswer& answer, const PushAddress& address,
                        const PushRequest& request) {
  switch (answer.failure) {
    case WebFailure::kNameNotFound:
      return "the name " + address.host + " is not found (" + answer.reason + ")";
    case WebFailure::kRefused:
      return "nothing answers at " + address.host + ":" + std::to_string(address.port) +
             " (the connection was refused)";
    case WebFailure::kCertificate:
      return "the server's certificate is not to be trusted: " + answer.reason +
             (request.ca_file.empty() && webPostTakesCaFile()
                  ? "; an office's own certificate authority is named with --ca-file"
                  : "");
    case WebFailure::kTimeout:
      return "no answer within " + std::to_string(request.timeout.count()) + " s";
    case WebFailure::kOther:
    case WebFailure::kNone:
      break;
  }
  return answer.reason;
}

// What an HTTP status census cannot use says, where the server gave no
// import summary.
std::string statusText(const WebAnswer& answer) {
  switch (answer.status) {
    case 401:
      return "the server did not let the token in (401 Unauthorized); is it the right one, "
             "and still valid?";
    case 403:
      return "the token's user may not import data values (403 Forbidden)";
    case 404:
      return "there is no DHIS2 at that address (404 Not Found for /api/dataValueSets)";
    default:
      break;
  }
  std::string text = "the server answered with status " + std::to_string(answer.status);
  if (answer.status >= 300 && answer.status < 400) {
    text += " (a redirect: give the address DHIS2 itself is at)";
  }
  const Json document = Json::parse(answer.body, nullptr, false);
  if (document.is_object() && !textOf(document, "message").empty()) {
    text += ": " + safeForScreen(textOf(document, "message"));
  }
  return text;
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

WebPost postOf(const PushAddress& address, const PushRequest& request, const std::string& token,
               std::string body) {
  WebPost post{
      .secure = address.secure,
      .host = address.host,
      .port = address.port,
      .target = address.path + "/api/dataValueSets" + (request.dry_run ? "?dryRun=true" : ""),
      .headers = {{"Content-Type", "application/json"}, {"Accept", "application/json"}},
      .body = std::move(body),
      .ca_file = request.ca_file,
      .timeout = request.timeout};
  if (!token.empty()) post.headers.emplace_back("Authorization", "ApiToken " + token);
  return post;
}

void sayConflicts(const ImportSummary& summary, std::ostream& out) {
  for (const auto& [object, reason] : summary.conflicts) {
    out << "  " << safeForScreen(object) << ": " << safeForScreen(reason) << "\n";
  }
}

}  // namespace

std::optional<PushAddress> parsePushAddress(const std::string& url, std::string* problem) {
  const std::size_t colon = url.find("://");
  const std::string scheme = colon == std::string::npos ? "" : asciiLowered(url.substr(0, colon));
  if (scheme != "https" && scheme != "http") {
    *problem = "the address must begin with https://, as https://dhis2.example.org";
    return std::nullopt;
  }
  PushAddress address;
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
  address.path = path;
  const bool usual_port = address.port == (address.secure ? 443 : 80);
  address.url =
      scheme + "://" + address.host + (usual_port ? "" : ":" + std::to_string(address.port)) + path;
  return address;
}

std::optional<ImportSummary> parseImportSummary(const std::string& body) {
  const Json document = Json::parse(body, nullptr, false);
  if (!document.is_object()) return std::nullopt;
  // Newer servers wrap the summary: {"httpStatus": ..., "response": {...}}.
  const auto wrapped = document.find("response");
  const Json& found = wrapped != document.end() && wrapped->is_object() ? *wrapped : document;
  const auto counts = found.find("importCount");
  if (counts == found.end() || !counts->is_object()) return std::nullopt;
  ImportSummary summary;
  summary.status = textOf(found, "status");
  summary.description = textOf(found, "description");
  summary.imported = countOf(*counts, "imported");
  summary.updated = countOf(*counts, "updated");
  summary.ignored = countOf(*counts, "ignored");
  if (const auto conflicts = found.find("conflicts");
      conflicts != found.end() && conflicts->is_array()) {
    for (const Json& conflict : *conflicts) {
      if (!conflict.is_object()) continue;
      summary.conflicts.emplace_back(textOf(conflict, "object"), textOf(conflict, "value"));
    }
  }
  return summary;
}

int runPush(FileSystem& files, const PushRequest& request, const WebPoster& post,
            const std::string& user, std::ostream& out, std::ostream& errors) {
  std::string problem;
  const std::optional<PushAddress> address = parsePushAddress(request.url, &problem);
  if (!address) {
    errors << "census: " << problem << "\n";
    return kExitUsage;
  }
  if (!request.ca_file.empty() && !webPostTakesCaFile()) {
    errors << "census: on Windows, census trusts the certificates Windows trusts; add the "
              "office's certificate authority to Windows' trusted root certificates instead "
              "of --ca-file\n";
    return kExitUsage;
  }
  std::string token;
  if (!tokenFromFile(request.token_file, &token, errors)) return kExitUsage;
  std::ostringstream body;
  if (const int status =
          writeDhis2(files, {Dhis2Format::kDataValueSet, request.period}, body, errors);
      status != kExitSuccess) {
    return status;
  }
  if (valueCount(body.str()) == 0) {
    errors << "census: no figures are saved in the lists yet; nothing was sent\n";
    return kExitFailure;
  }

  const WebAnswer answer = post(postOf(*address, request, token, std::move(body).str()));
  const std::string where = "census: cannot push to " + address->url + ": ";
  if (answer.failure != WebFailure::kNone) {
    errors << where << failureText(answer, *address, request) << "\n";
    return kExitUsage;
  }
  const std::optional<ImportSummary> summary = parseImportSummary(answer.body);
  const bool answered = answer.status / 100 == 2 || answer.status == 409;
  if (!summary || !answered) {
    if (answer.status / 100 == 2) {
      errors << where
             << "the server's answer is no DHIS2 import summary; is DHIS2 at that "
                "address?\n";
    } else {
      errors << where << statusText(answer) << "\n";
    }
    return answer.status == 409 ? kExitFailure : kExitUsage;
  }

  out << "census push: " << summaryText(*summary) << "\n";
  sayConflicts(*summary, out);
  if (summary->status == "ERROR" && !summary->description.empty()) {
    out << "  " << safeForScreen(summary->description) << "\n";
  }
  const bool all_taken =
      summary->ignored == 0 && summary->status != "ERROR" && answer.status != 409;
  if (request.dry_run) {
    out << "census push: a dry run; the server checked the values and stored none\n";
    return all_taken ? kExitSuccess : kExitFailure;
  }
  SaveFailure failure;
  if (!recordPush(files, user, std::time(nullptr), address->url, summaryText(*summary), &failure)) {
    errors << "census: the push is not in the history: " << saveFailureText(failure) << "\n";
    return kExitFailure;
  }
  return all_taken ? kExitSuccess : kExitFailure;
}

}  // namespace census
