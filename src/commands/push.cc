#include "commands/push.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <nlohmann/json.hpp>
#include <sstream>

#include "base/exit_status.h"
#include "base/text.h"
#include "commands/dhis2.h"
#include "commands/dhis2_server.h"
#include "os/platform.h"
#include "records/dhis2_mapping.h"
#include "records/history.h"
#include "records/state_lists.h"

namespace census {
namespace {

using Json = nlohmann::json;

long long countOf(const Json& counts, const char* name) {
  const auto found = counts.find(name);
  return found != counts.end() && found->is_number_integer() ? found->get<long long>() : 0;
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

SentSet sentSetOf(const std::string& data_value_set, const Dhis2Mapping& mapping) {
  const Json document = Json::parse(data_value_set);
  SentSet sent{jsonText(document, "dataSet"), "", {}};
  for (const Json& value : document["dataValues"]) {
    sent.period = jsonText(value, "period");
    sent.values.push_back(
        stateOfOrgUnit(mapping, jsonText(value, "orgUnit")) + ", " +
        figureOf(mapping, jsonText(value, "dataElement"), jsonText(value, "categoryOptionCombo")));
  }
  return sent;
}

WebPost postOf(const Dhis2Address& address, const PushRequest& request, const Dhis2Mapping& mapping,
               const std::string& token, std::string body) {
  WebPost post = dhis2Request(
      address, "POST",
      "/api/dataValueSets?" + schemesQuery(mapping) + (request.dry_run ? "&dryRun=true" : ""),
      token, request.ca_file, request.timeout);
  post.headers.insert(post.headers.begin(), {"Content-Type", "application/json"});
  post.body = std::move(body);
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

std::optional<ImportSummary> parseImportSummary(const std::string& body) {
  const Json document = Json::parse(body, nullptr, false);
  if (!document.is_object()) return std::nullopt;
  // Newer servers wrap the summary: {"httpStatus": ..., "response": {...}}.
  const auto wrapped = document.find("response");
  const Json& found = wrapped != document.end() && wrapped->is_object() ? *wrapped : document;
  const auto counts = found.find("importCount");
  if (counts == found.end() || !counts->is_object()) return std::nullopt;
  ImportSummary summary;
  summary.status = jsonText(found, "status");
  summary.description = jsonText(found, "description");
  // A WebMessage around a refusal says why in its own message.
  if (summary.description.empty() && &found != &document) {
    summary.description = jsonText(document, "message");
  }
  summary.imported = countOf(*counts, "imported");
  summary.updated = countOf(*counts, "updated");
  summary.ignored = countOf(*counts, "ignored");
  if (const auto conflicts = found.find("conflicts");
      conflicts != found.end() && conflicts->is_array()) {
    for (const Json& conflict : *conflicts) {
      if (!conflict.is_object()) continue;
      ImportConflict read{jsonText(conflict, "object"), jsonText(conflict, "value"), {}};
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
  const std::optional<Dhis2Session> session =
      openDhis2Session(files, request.url, request.token_file, request.ca_file, errors);
  if (!session) return kExitUsage;
  const Dhis2Address& address = session->address;
  const std::string& token = session->token;
  const Dhis2Mapping& mapping = session->mapping;
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

  const WebPost request_sent = postOf(address, request, mapping, token, std::move(body).str());
  const WebAnswer answer = post(request_sent);
  const std::string where = "census: cannot push to " + address.url + ": ";
  if (answer.failure != WebFailure::kNone) {
    errors << where << failureText(answer, address, request.ca_file, request.timeout) << "\n";
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
      errors << where << statusText(answer, address.path + "/api/dataValueSets", !token.empty())
             << "\n";
    }
    return answer.status == 409 ? kExitFailure : kExitUsage;
  }

  const std::string what = std::to_string(sent.values.size()) + " values of " +
                           safeForScreen(sent.data_set) + " for " + sent.period;
  const std::string outcome = summaryText(*summary, sent.values.size());
  out << "census push: " << what << " sent to " << address.url << ": " << outcome << "\n";
  sayConflicts(*summary, sent, mapping, out);
  const bool all_taken =
      summary->ignored == 0 && summary->status != "ERROR" && answer.status != 409;
  if (request.dry_run) {
    out << "census push: a dry run; the server checked the values and stored none\n";
    return all_taken ? kExitSuccess : kExitFailure;
  }
  SaveFailure failure;
  if (!recordPush(files, user, std::time(nullptr), address.url, what + ": " + outcome, &failure)) {
    errors << "census: the push is not in the history: " << saveFailureText(failure) << "\n";
    return kExitFailure;
  }
  return all_taken ? kExitSuccess : kExitFailure;
}

}  // namespace census
