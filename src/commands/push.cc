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
#include "records/dhis2_mapping.h"
#include "records/history.h"
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

long long countOf(const Json& counts, const char* name) {
  const auto found = counts.find(name);
  return found != counts.end() && found->is_number_integer() ? found->get<long long>() : 0;
}

std::string textOf(const Json& object, const char* name) {
  const auto found = object.find(name);
  return found != object.end() && found->is_string() ? found->get<std::string>() : "";
}

// The counts that are not 0: "140 imported, 4 ignored"; a refusal says it
// was one, for nothing was stored.
std::string summaryText(const ImportSummary& summary, std::size_t sent) {
  if (summary.status == "ERROR") {
    return "the server refused the whole push" +
           (summary.description.empty() ? "" : ": " + safeForScreen(summary.description));
  }
  std::string text;
  for (const auto& [count, what] :
       {std::pair{summary.imported, "imported"}, std::pair{summary.updated, "updated"},
        std::pair{summary.ignored, "ignored"}}) {
    if (count == 0) continue;
    text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + what;
  }
  if (text.empty()) text = "nothing imported, updated or ignored";
  if (summary.status == "WARNING") {
    text += "; " + std::to_string(summary.imported + summary.updated) + " of the " +
            std::to_string(sent) + " stored";
  }
  return text;
}

// What a push sends, as said and as conflicts are told: each value's state
// and figure, in the order of the data value set.
struct SentSet {
  std::string data_set;
  std::string period;
  std::vector<std::string> values;  // "Kebbi, youth"
};

// The state a mapped org unit stands for, by name; "" for none.
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

// The figure a mapped data element (and combo) stands for; "" for none.
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

SentSet sentSetOf(const std::string& data_value_set, const Dhis2Mapping& mapping) {
  const Json document = Json::parse(data_value_set);
  SentSet sent{textOf(document, "dataSet"), "", {}};
  for (const Json& value : document["dataValues"]) {
    sent.period = textOf(value, "period");
    sent.values.push_back(
        stateOfOrgUnit(mapping, textOf(value, "orgUnit")) + ", " +
        figureOf(mapping, textOf(value, "dataElement"), textOf(value, "categoryOptionCombo")));
  }
  return sent;
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
  if (!document.is_object() || textOf(document, "message").empty()) return "";
  return ": " + safeForScreen(textOf(document, "message"));
}

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

WebPost postOf(const PushAddress& address, const PushRequest& request, const Dhis2Mapping& mapping,
               const std::string& token, std::string body) {
  WebPost post{.secure = address.secure,
               .host = address.host,
               .port = address.port,
               .target = address.path + "/api/dataValueSets?" + schemesQuery(mapping) +
                         (request.dry_run ? "&dryRun=true" : ""),
               .headers = {{"Content-Type", "application/json"}, {"Accept", "application/json"}},
               .body = std::move(body),
               .ca_file = request.ca_file,
               .timeout = request.timeout};
  if (!token.empty()) post.headers.emplace_back("Authorization", "ApiToken " + token);
  return post;
}

// Each conflict as what it concerns: the values DHIS2 names by their place
// in the set, said as state and figure; else the object, said as the state
// or figure it is mapped for where it is one.
void sayConflicts(const ImportSummary& summary, const SentSet& sent, const Dhis2Mapping& mapping,
                  std::ostream& out) {
  for (const ImportConflict& conflict : summary.conflicts) {
    std::string concerns;
    for (const long long index : conflict.indexes) {
      if (index < 0 || static_cast<std::size_t>(index) >= sent.values.size()) continue;
      concerns += (concerns.empty() ? "" : "; ") + sent.values[static_cast<std::size_t>(index)];
    }
    if (concerns.empty()) {
      const std::string state = stateOfOrgUnit(mapping, conflict.object);
      std::string figures;
      for (std::size_t f = 0; f < kFigureCount; ++f) {
        if (mapping.figures[f].data_element != conflict.object) continue;
        figures += (figures.empty() ? "" : ", ") + std::string(kFigureNames[f]);
      }
      concerns = !state.empty()     ? state + " (" + safeForScreen(conflict.object) + ")"
                 : !figures.empty() ? figures + " (" + safeForScreen(conflict.object) + ")"
                                    : safeForScreen(conflict.object);
    }
    out << "  " << (concerns.empty() ? "" : concerns + ": ") << safeForScreen(conflict.reason)
        << "\n";
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
  // The address of the server's API means the server: census adds /api.
  if (path.ends_with("/api")) path.resize(path.size() - 4);
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
  // A WebMessage around a refusal says why in its own message.
  if (summary.description.empty() && &found != &document) {
    summary.description = textOf(document, "message");
  }
  summary.imported = countOf(*counts, "imported");
  summary.updated = countOf(*counts, "updated");
  summary.ignored = countOf(*counts, "ignored");
  if (const auto conflicts = found.find("conflicts");
      conflicts != found.end() && conflicts->is_array()) {
    for (const Json& conflict : *conflicts) {
      if (!conflict.is_object()) continue;
      ImportConflict read{textOf(conflict, "object"), textOf(conflict, "value"), {}};
      if (const auto indexes = conflict.find("indexes");
          indexes != conflict.end() && indexes->is_array()) {
        for (const Json& index : *indexes) {
          if (index.is_number_integer()) read.indexes.push_back(index.get<long long>());
        }
      }
      summary.conflicts.push_back(std::move(read));
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
  Dhis2Mapping mapping;
  if (!loadDhis2Mapping(files, &mapping, errors)) return kExitUsage;
  std::ostringstream body;
  if (const int status =
          writeDhis2(files, {Dhis2Format::kDataValueSet, request.period}, body, errors);
      status != kExitSuccess) {
    return status;
  }
  const SentSet sent = sentSetOf(body.str(), mapping);
  if (sent.values.empty()) {
    errors << "census: no figures are saved in the lists yet; nothing was sent\n";
    return kExitFailure;
  }

  const WebPost request_sent = postOf(*address, request, mapping, token, std::move(body).str());
  const WebAnswer answer = post(request_sent);
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
      errors << where << statusText(answer, address->path + "/api/dataValueSets", !token.empty())
             << "\n";
    }
    return answer.status == 409 ? kExitFailure : kExitUsage;
  }

  const std::string what = std::to_string(sent.values.size()) + " values of " +
                           safeForScreen(sent.data_set) + " for " + sent.period;
  const std::string outcome = summaryText(*summary, sent.values.size());
  out << "census push: " << what << " sent to " << address->url << ": " << outcome << "\n";
  sayConflicts(*summary, sent, mapping, out);
  const bool all_taken =
      summary->ignored == 0 && summary->status != "ERROR" && answer.status != 409;
  if (request.dry_run) {
    out << "census push: a dry run; the server checked the values and stored none\n";
    return all_taken ? kExitSuccess : kExitFailure;
  }
  SaveFailure failure;
  if (!recordPush(files, user, std::time(nullptr), address->url, what + ": " + outcome, &failure)) {
    errors << "census: the push is not in the history: " << saveFailureText(failure) << "\n";
    return kExitFailure;
  }
  return all_taken ? kExitSuccess : kExitFailure;
}

}  // namespace census
