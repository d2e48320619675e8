#include "records/dhis2_mapping.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>
#include <tuple>

#include "base/text.h"
#include "records/state_lists.h"

namespace census {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::array<std::string_view, kFigureCount> kDefaultElements = {"POP_TOTAL", "POP_MALE",
                                                                         "POP_FEMALE", "POP_YOUTH"};

// A key as a message names it: "orgUnits"."NG-KE", in JSON's quotes and
// escapes, so that no text of the file reaches a screen raw.
std::string keyName(std::string_view key) { return Json(std::string(key)).dump(-1, ' ', true); }
std::string keyName(std::string_view outer, std::string_view inner) {
  return keyName(outer) + "." + keyName(inner);
}

bool isStateCode(std::string_view code) {
  for (const StateList& list : stateLists()) {
    for (const StateEntry& state : list.states) {
      if (state.iso_code == code) return true;
    }
  }
  return false;
}

// U+FFFE and U+FFFF, which XML cannot hold, in UTF-8.
bool holdsNonCharacter(std::string_view code) {
  return code.find("\xEF\xBF\xBE") != std::string_view::npos ||
         code.find("\xEF\xBF\xBF") != std::string_view::npos;
}

// A UID of DHIS2: eleven letters and digits, the first a letter.
bool isDhis2Uid(std::string_view id) {
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  return id.size() == 11 && letter(id.front()) &&
         std::all_of(id.begin(), id.end(), [&](char c) { return letter(c) || digit(c); });
}

// The key that sets a kind's scheme: its own where the mapping gives it.
std::string schemeKey(const Dhis2Mapping& mapping, Dhis2IdKind kind) {
  const auto at = static_cast<std::size_t>(kind);
  return keyName(mapping.kind_schemes[at] ? kDhis2IdSchemeKeys[at] : "idScheme");
}

// A code as the mapping gives it: text, not empty, nothing that XML (and so
// ADX) cannot hold, and a UID where its kind's scheme says so. (JSON text
// is UTF-8 already: the parser refuses any other.)
std::string codeProblem(const Json& value, const std::string& key, const Dhis2Mapping& mapping,
                        Dhis2IdKind kind) {
  if (!value.is_string()) return key + " must be a text";
  const std::string& code = value.get_ref<const std::string&>();
  if (code.empty()) return key + " must not be empty";
  if (std::any_of(code.begin(), code.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; })) {
    return key + " holds a control character";
  }
  if (holdsNonCharacter(code)) return key + " holds U+FFFE or U+FFFF, which XML cannot hold";
  if (mapping.schemeOf(kind) == Dhis2IdScheme::kUid && !isDhis2Uid(code)) {
    return key + " is no UID (eleven letters and digits, the first a letter), which " +
           schemeKey(mapping, kind) + " \"UID\" asks for";
  }
  return "";
}

// Reads "idScheme" and the kinds' own schemes.
std::string parseSchemes(const Json& document, Dhis2Mapping* mapping) {
  auto read = [&](std::string_view key, Dhis2IdScheme* scheme) -> std::string {
    const Json& value = document[std::string(key)];
    // DHIS2 takes a scheme's name in any case.
    const std::string name = value.is_string() ? asciiLowered(value.get<std::string>()) : "";
    if (name == "code") {
      *scheme = Dhis2IdScheme::kCode;
    } else if (name == "uid") {
      *scheme = Dhis2IdScheme::kUid;
    } else {
      return keyName(key) + " must be \"CODE\" or \"UID\"";
    }
    return "";
  };
  if (document.contains("idScheme")) {
    if (std::string problem = read("idScheme", &mapping->id_scheme); !problem.empty()) {
      return problem;
    }
  }
  for (std::size_t kind = 0; kind < kDhis2IdKindCount; ++kind) {
    if (!document.contains(kDhis2IdSchemeKeys[kind])) continue;
    Dhis2IdScheme scheme{};
    if (std::string problem = read(kDhis2IdSchemeKeys[kind], &scheme); !problem.empty()) {
      return problem;
    }
    mapping->kind_schemes[kind] = scheme;
  }
  return "";
}

// Where an object holds a key not among the known ones, the problem.
template <typename Keys>
std::string unknownKeyProblem(const Json& object, const Keys& known, std::string_view outer) {
  for (const auto& [key, value] : object.items()) {
    if (std::find(known.begin(), known.end(), key) != known.end()) continue;
    return (outer.empty() ? keyName(key) : keyName(outer, key)) + " is no key of the mapping";
  }
  return "";
}

std::string parseOrgUnits(const Json& units, Dhis2Mapping* mapping) {
  if (!units.is_object()) return keyName("orgUnits") + " must be an object";
  std::map<std::string, std::string> by_code;
  for (const auto& [state, code] : units.items()) {
    const std::string key = keyName("orgUnits", state);
    if (!isStateCode(state)) return key + " names no state of census's lists";
    if (std::string problem = codeProblem(code, key, *mapping, Dhis2IdKind::kOrgUnit);
        !problem.empty()) {
      return problem;
    }
    const std::string& text = code.get_ref<const std::string&>();
    if (const auto [at, fresh] = by_code.emplace(text, state); !fresh) {
      return key + " gives the code " + keyName(text) + " that " + keyName("orgUnits", at->second) +
             " gives too";
    }
    mapping->org_units[state] = text;
  }
  return "";
}

std::string parseFigures(const Json& elements, Dhis2Mapping* mapping) {
  if (!elements.is_object()) return keyName("dataElements") + " must be an object";
  if (std::string problem = unknownKeyProblem(elements, kFigureNames, "dataElements");
      !problem.empty()) {
    return problem;
  }
  std::set<std::pair<std::string, std::string>> seen;
  for (std::size_t f = 0; f < kFigureCount; ++f) {
    const std::string figure(kFigureNames[f]);
    const std::string key = keyName("dataElements", figure);
    if (!elements.contains(figure)) return keyName("dataElements") + " has no " + keyName(figure);
    const Json& entry = elements[figure];
    if (!entry.is_object()) return key + " must be an object";
    constexpr std::array<std::string_view, 2> kKeys = {"dataElement", "categoryOptionCombo"};
    for (const auto& [name, value] : entry.items()) {
      if (std::find(kKeys.begin(), kKeys.end(), name) == kKeys.end()) {
        return key + "." + keyName(name) + " is no key of the mapping";
      }
    }
    if (!entry.contains("dataElement")) return key + " has no " + keyName("dataElement");
    Dhis2Figure& mapped = mapping->figures[f];
    for (const auto& [name, field, kind] :
         {std::tuple{"dataElement", &mapped.data_element, Dhis2IdKind::kDataElement},
          std::tuple{"categoryOptionCombo", &mapped.category_option_combo,
                     Dhis2IdKind::kCategoryOptionCombo}}) {
      if (!entry.contains(name)) continue;
      const std::string field_key = key + "." + keyName(name);
      if (std::string problem = codeProblem(entry[name], field_key, *mapping, kind);
          !problem.empty()) {
        return problem;
      }
      *field = entry[name].get<std::string>();
    }
    if (!seen.emplace(mapped.data_element, mapped.category_option_combo).second) {
      return key + " gives a data element and combo that another figure gives too";
    }
  }
  return "";
}

}  // namespace

std::string_view dhis2IdSchemeName(Dhis2IdScheme scheme) {
  return scheme == Dhis2IdScheme::kUid ? "UID" : "CODE";
}

bool isDhis2Year(std::string_view text) {
  return text.size() == 4 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

Dhis2Mapping defaultDhis2Mapping() {
  Dhis2Mapping mapping;
  mapping.data_set = "CENSUS_POP";
  for (const StateList& list : stateLists()) {
    for (const StateEntry& state : list.states) {
      mapping.org_units[std::string(state.iso_code)] = std::string(state.iso_code);
    }
  }
  for (std::size_t f = 0; f < kFigureCount; ++f) {
    mapping.figures[f].data_element = std::string(kDefaultElements[f]);
  }
  return mapping;
}

std::string dhis2MappingText(const Dhis2Mapping& mapping) {
  Json document = {{"dataSet", mapping.data_set}};
  if (!mapping.period.empty()) document["period"] = mapping.period;
  document["idScheme"] = dhis2IdSchemeName(mapping.id_scheme);
  for (std::size_t kind = 0; kind < kDhis2IdKindCount; ++kind) {
    if (const auto scheme = mapping.kind_schemes[kind]) {
      document[std::string(kDhis2IdSchemeKeys[kind])] = dhis2IdSchemeName(*scheme);
    }
  }
  Json units = Json::object();
  // In the order of the lists, as an operator reads them.
  for (const StateList& list : stateLists()) {
    for (const StateEntry& state : list.states) {
      const auto found = mapping.org_units.find(std::string(state.iso_code));
      if (found != mapping.org_units.end()) units[found->first] = found->second;
    }
  }
  document["orgUnits"] = std::move(units);
  Json elements = Json::object();
  for (std::size_t f = 0; f < kFigureCount; ++f) {
    Json entry = {{"dataElement", mapping.figures[f].data_element}};
    if (!mapping.figures[f].category_option_combo.empty()) {
      entry["categoryOptionCombo"] = mapping.figures[f].category_option_combo;
    }
    elements[std::string(kFigureNames[f])] = std::move(entry);
  }
  document["dataElements"] = std::move(elements);
  return document.dump(2, ' ', true) + "\n";
}

std::string parseDhis2Mapping(std::string_view text, Dhis2Mapping* mapping) {
  Json document;
  try {
    document = Json::parse(text);
  } catch (const Json::parse_error& error) {
    const std::string what = error.what();
    return "it is not valid JSON: " + what.substr(what.find("] ") + 2);
  }
  if (!document.is_object()) return "it must be one JSON object";
  constexpr std::array<std::string_view, 9> kKeys = {"dataSet",
                                                     "period",
                                                     "idScheme",
                                                     kDhis2IdSchemeKeys[0],
                                                     kDhis2IdSchemeKeys[1],
                                                     kDhis2IdSchemeKeys[2],
                                                     kDhis2IdSchemeKeys[3],
                                                     "orgUnits",
                                                     "dataElements"};
  if (std::string problem = unknownKeyProblem(document, kKeys, ""); !problem.empty()) {
    return problem;
  }
  *mapping = Dhis2Mapping{};
  for (const std::string_view key : {"dataSet", "orgUnits", "dataElements"}) {
    if (!document.contains(key)) return "it has no " + keyName(key);
  }
  if (std::string problem = parseSchemes(document, mapping); !problem.empty()) return problem;
  if (std::string problem =
          codeProblem(document["dataSet"], keyName("dataSet"), *mapping, Dhis2IdKind::kDataSet);
      !problem.empty()) {
    return problem;
  }
  mapping->data_set = document["dataSet"].get<std::string>();
  if (document.contains("period")) {
    const Json& period = document["period"];
    if (!period.is_string() || !isDhis2Year(period.get_ref<const std::string&>())) {
      return keyName("period") + " must be a year, as \"2026\"";
    }
    mapping->period = period.get<std::string>();
  }
  if (std::string problem = parseOrgUnits(document["orgUnits"], mapping); !problem.empty()) {
    return problem;
  }
  return parseFigures(document["dataElements"], mapping);
}

}  // namespace census
