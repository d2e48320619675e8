#include "commands/pull.h"

#include <array>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "base/exit_status.h"
#include "base/line_fields.h"
#include "base/text.h"
#include "commands/command_files.h"
#include "commands/dhis2.h"
#include "records/population_file.h"
#include "records/state_lists.h"

namespace census {
namespace {

using Json = nlohmann::json;

// A figure as one side holds it: none, a whole number, or the server's
// text where it is no whole number.
struct Held {
  bool present = false;
  std::optional<std::int32_t> number;
  std::string text;

  bool operator==(const Held& other) const {
    return present == other.present && number == other.number && text == other.text;
  }
  std::string said() const {
    if (!present) return "none";
    return number ? std::to_string(*number) : quotedForScreen(text);
  }
};

// Each state's four figures, by its ISO code.
using Holdings = std::map<std::string, std::array<Held, kFigureCount>>;

// The ISO code of the state a mapped org unit stands for; "" for none.
std::string stateCodeOf(const Dhis2Mapping& mapping, std::string_view org_unit) {
  for (const auto& [iso_code, unit] : mapping.org_units) {
    if (unit == org_unit) return iso_code;
  }
  return "";
}

// The figure a value of the server is: its data element and combo as the
// mapping gives them, or, for a figure mapped without a combo, its data
// element with the server's default combo (which DHIS2 names in every
// value it writes).
std::optional<std::size_t> figureIndexOf(const Dhis2Mapping& mapping, std::string_view element,
                                         std::string_view combo) {
  std::optional<std::size_t> without_combo;
  for (std::size_t f = 0; f < kFigureCount; ++f) {
    const Dhis2Figure& figure = mapping.figures[f];
    if (figure.data_element != element) continue;
    if (figure.category_option_combo == combo) return f;
    if (figure.category_option_combo.empty()) without_combo = f;
  }
  return without_combo;
}

// The query: the data set, period and every mapped org unit, read in the
// mapping's schemes, and the answer asked for in them.
std::string queryOf(const Dhis2Mapping& mapping, const std::string& period) {
  auto scheme = [&](Dhis2IdKind kind) {
    return std::string(dhis2IdSchemeName(mapping.schemeOf(kind)));
  };
  std::string query = "/api/dataValueSets?dataSet=" + queryValue(mapping.data_set) +
                      "&period=" + queryValue(period);
  for (const auto& [iso_code, unit] : mapping.org_units) query += "&orgUnit=" + queryValue(unit);
  query += "&inputIdScheme=" + std::string(dhis2IdSchemeName(mapping.id_scheme)) +
           "&inputDataSetIdScheme=" + scheme(Dhis2IdKind::kDataSet) +
           "&inputOrgUnitIdScheme=" + scheme(Dhis2IdKind::kOrgUnit) + "&" + schemesQuery(mapping);
  for (std::size_t kind = 0; kind < kDhis2IdKindCount; ++kind) {
    if (!mapping.kind_schemes[kind]) {
      query += "&" + std::string(kDhis2IdSchemeKeys[kind]) + "=" +
               scheme(static_cast<Dhis2IdKind>(kind));
    }
  }
  return query;
}

// What the server holds, from its data value set; false where the answer
// is none.
bool readServerValues(const std::string& body, const Dhis2Mapping& mapping,
                      const std::string& period, Holdings* held, std::size_t* count) {
  const Json document = Json::parse(body, nullptr, false);
  if (!document.is_object()) return false;
  const auto values = document.find("dataValues");
  if (values == document.end()) return true;  // DHIS2 leaves the key out where there are none
  if (!values->is_array()) return false;
  for (const Json& value : *values) {
    if (!value.is_object() || jsonText(value, "period") != period) continue;
    const std::string state = stateCodeOf(mapping, jsonText(value, "orgUnit"));
    const auto figure = figureIndexOf(mapping, jsonText(value, "dataElement"),
                                      jsonText(value, "categoryOptionCombo"));
    if (state.empty() || !figure) continue;
    Held& figure_held = (*held)[state][*figure];
    figure_held.present = true;
    figure_held.text = jsonText(value, "value");
    figure_held.number = parseWholeNumber(figure_held.text);
    if (figure_held.number) figure_held.text.clear();
    ++*count;
  }
  return true;
}

// The saved states of one list, by ISO code.
class ListHoldings final : public PopulationSink {
 public:
  ListHoldings(const StateList& list, Holdings& held) : list_(list), held_(held) {}
  void onRecord(std::size_t, const PopulationLine& line) override {
    const StateEntry* state = stateWithLabel(list_, line.label.word);
    if (state == nullptr) return;  // check says what such a line is
    auto& figures = held_[std::string(state->iso_code)];
    for (std::size_t f = 0; f < kFigureCount; ++f) {
      figures[f] = {true, line.figures[f], ""};
    }
  }

 private:
  const StateList& list_;
  Holdings& held_;
};

// Says where a list and the server differ; returns how many figures do.
std::size_t sayDifferences(const StateList& list, const Holdings& here, const Holdings& there,
                           std::ostream& out) {
  std::size_t differ = 0;
  const std::array<Held, kFigureCount> none{};
  for (const StateEntry& state : list.states) {
    const std::string code(state.iso_code);
    const auto mine = here.find(code);
    const auto theirs = there.find(code);
    const auto& a = mine == here.end() ? none : mine->second;
    const auto& b = theirs == there.end() ? none : theirs->second;
    for (std::size_t f = 0; f < kFigureCount; ++f) {
      if (a[f] == b[f]) continue;
      ++differ;
      out << list.file_name << ": " << state.name << ": " << kFigureNames[f] << ": " << a[f].said()
          << " here, " << b[f].said() << " on the server\n";
    }
  }
  return differ;
}

// The list as the server holds it, where it holds every figure of every
// state as a whole number; else nullopt, with the states it lacks named.
std::optional<FigureTable> tableFromServer(const StateList& list, const Holdings& there,
                                           std::string* lacking) {
  FigureTable table{};
  for (std::size_t i = 0; i < list.states.size(); ++i) {
    const auto found = there.find(std::string(list.states[i].iso_code));
    bool whole = found != there.end();
    for (std::size_t f = 0; whole && f < kFigureCount; ++f) {
      whole = found->second[f].number.has_value();
      if (whole) table[i][f] = *found->second[f].number;
    }
    if (!whole) *lacking += (lacking->empty() ? "" : ", ") + std::string(list.states[i].name);
  }
  if (!lacking->empty()) return std::nullopt;
  return table;
}

}  // namespace

int runPull(FileSystem& files, const PullRequest& request, const WebPoster& get, std::ostream& out,
            std::ostream& errors) {
  const std::optional<Dhis2Session> session =
      openDhis2Session(files, request.url, request.token_file, request.ca_file, errors);
  if (!session) return kExitUsage;
  const Dhis2Address& address = session->address;
  const std::string& token = session->token;
  const Dhis2Mapping& mapping = session->mapping;
  const std::string period = dhis2Period(mapping, request.period);

  const WebAnswer answer = get(dhis2Request(address, "GET", queryOf(mapping, period), token,
                                            request.ca_file, request.timeout));
  const std::string where = "census: cannot pull from " + address.url + ": ";
  if (answer.failure != WebFailure::kNone) {
    errors << where << failureText(answer, address, request.ca_file, request.timeout) << "\n";
    return kExitUsage;
  }
  if (answer.status / 100 != 2) {
    errors << where << statusText(answer, address.path + "/api/dataValueSets", !token.empty())
           << "\n";
    return kExitUsage;
  }
  Holdings there;
  std::size_t values = 0;
  if (!readServerValues(answer.body, mapping, period, &there, &values)) {
    errors << where
           << "the server's answer is no DHIS2 data value set; is DHIS2 at that address?\n";
    return kExitUsage;
  }

  std::size_t differ = 0;
  std::vector<FileReplacement> saves;
  std::string unfilled;
  for (const StateList& list : stateLists()) {
    Holdings here;
    ListHoldings reading(list, here);
    const FileState state = readPopulationFile(files, list, reading);
    if (state.unreadable()) {
      errors << cannotReadLine(list.file_name, state);
      return kExitFailure;
    }
    const std::size_t list_differs = sayDifferences(list, here, there, out);
    differ += list_differs;
    if (!request.save || list_differs == 0) continue;
    std::string lacking;
    if (const auto table = tableFromServer(list, there, &lacking)) {
      saves.push_back(populationFileReplacement(list, *table));
    } else {
      unfilled += "census pull: " + std::string(list.file_name) +
                  " is not written: the server does not hold every figure of " + lacking + "\n";
    }
  }
  out << "census pull: " << values << " values of " << safeForScreen(mapping.data_set) << " for "
      << period << " read from " << address.url << ": "
      << (differ == 0
              ? std::string("the server and the lists agree")
              : std::to_string(differ) + (differ == 1 ? " figure differs" : " figures differ"))
      << "\n";
  if (!request.save) return differ == 0 ? kExitSuccess : kExitFailure;
  out << unfilled;
  if (!saves.empty()) {
    if (!saveDataFiles(files, saves, false, errors)) return kExitFailure;
    for (const FileReplacement& save : saves) {
      out << "census pull: " << save.name << " saved as the server holds it\n";
    }
  }
  return unfilled.empty() ? kExitSuccess : kExitFailure;
}

}  // namespace census
