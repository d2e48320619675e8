#include "commands/dhis2.h"

#include <cstdlib>
#include <ctime>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <vector>

#include "base/decimal.h"
#include "base/exit_status.h"
#include "base/text.h"
#include "commands/command_files.h"
#include "commands/report.h"
#include "os/platform.h"
#include "records/population_file.h"
#include "records/state_lists.h"

namespace census {
namespace {

using Json = nlohmann::ordered_json;

// One state's figures as they go to DHIS2.
struct StateValues {
  std::string org_unit;
  std::array<std::int32_t, kFigureCount> figures{};
};

// Gathers every saved state of the three lists, in list order. Returns an
// exit status, after saying on errors what stands in the way.
class ValueGathering final : public PopulationSink {
 public:
  ValueGathering(const StateList& list, const Dhis2Mapping& mapping,
                 std::vector<StateValues>& values)
      : list_(list), mapping_(mapping), values_(values) {}

  void onRecord(std::size_t number, const PopulationLine& line) override {
    if (status_ != kExitSuccess) return;
    const StateEntry* state = stateWithLabel(list_, line.label.word);
    const std::string where = std::string(list_.file_name) + ":" + census::number(number) + ": ";
    if (state == nullptr) {
      problem_ = where + quotedForScreen(line.label.word) + " is no state of list " +
                 census::number(list_.number) + "; 'census check' says more";
      status_ = kExitFailure;
      return;
    }
    const std::string code(state->iso_code);
    if (!seen_.insert(code).second) {
      problem_ = where + std::string(state->name) + " is saved twice; 'census check' says more";
      status_ = kExitFailure;
      return;
    }
    const auto unit = mapping_.org_units.find(code);
    if (unit == mapping_.org_units.end()) {
      problem_ = std::string(kDhis2MappingFileName) + ": \"orgUnits\" has no \"" + code +
                 "\" for " + std::string(state->name) + ", which " + std::string(list_.file_name) +
                 " holds";
      status_ = kExitUsage;
      return;
    }
    values_.push_back({unit->second, line.figures});
  }

  int status() const { return status_; }
  const std::string& problem() const { return problem_; }

 private:
  const StateList& list_;
  const Dhis2Mapping& mapping_;
  std::vector<StateValues>& values_;
  std::set<std::string> seen_;
  int status_ = kExitSuccess;
  std::string problem_;
};

std::string dataValueSet(const Dhis2Mapping& mapping, const std::string& period,
                         const std::vector<StateValues>& states) {
  Json values = Json::array();
  for (const StateValues& state : states) {
    for (std::size_t f = 0; f < kFigureCount; ++f) {
      Json value = {{"dataElement", mapping.figures[f].data_element},
                    {"period", period},
                    {"orgUnit", state.org_unit}};
      if (!mapping.figures[f].category_option_combo.empty()) {
        value["categoryOptionCombo"] = mapping.figures[f].category_option_combo;
      }
      value["value"] = number(state.figures[f]);
      values.push_back(std::move(value));
    }
  }
  // The schemes go first, as DHIS2 reads them before the identifiers.
  Json document = {{"idScheme", dhis2IdSchemeName(mapping.id_scheme)}};
  for (std::size_t kind = 0; kind < kDhis2IdKindCount; ++kind) {
    if (const auto scheme = mapping.kind_schemes[kind]) {
      document[std::string(kDhis2IdSchemeKeys[kind])] = dhis2IdSchemeName(*scheme);
    }
  }
  document["dataSet"] = mapping.data_set;
  document["dataValues"] = std::move(values);
  return document.dump(2, ' ', true) + "\n";
}

std::string attribute(std::string_view name, std::string_view value) {
  std::string text = " " + std::string(name) + "=\"";
  appendMarkupEscaped(text, value);
  return text + "\"";
}

std::string adx(const Dhis2Mapping& mapping, const std::string& period, std::time_t moment,
                const std::vector<StateValues>& states) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<adx xmlns=\"urn:ihe:qrph:adx:2015\"" +
      attribute("exported", utcText(moment, "%Y-%m-%dT%H:%M:%SZ")) + ">\n";
  for (const StateValues& state : states) {
    text += "  <group" + attribute("orgUnit", state.org_unit) +
            attribute("period", period + "-01-01/P1Y") + attribute("dataSet", mapping.data_set) +
            ">\n";
    for (std::size_t f = 0; f < kFigureCount; ++f) {
      const Dhis2Figure& figure = mapping.figures[f];
      text += "    <dataValue" + attribute("dataElement", figure.data_element);
      if (!figure.category_option_combo.empty()) {
        text += attribute("categoryOptionCombo", figure.category_option_combo);
      }
      text += attribute("value", number(state.figures[f])) + "/>\n";
    }
    text += "  </group>\n";
  }
  return text + "</adx>\n";
}

}  // namespace

bool loadDhis2Mapping(FileSystem& files, Dhis2Mapping* mapping, std::ostream& errors) {
  const std::string name(kDhis2MappingFileName);
  OpenedFile opened = files.openForReading(name);
  if (opened.status == OpenStatus::kMissing) {
    *mapping = defaultDhis2Mapping();
    return true;
  }
  std::string text;
  std::string reason = opened.reason;
  // A mapping names some forty codes: one of a megabyte is none.
  constexpr std::size_t kMostBytes = 1 << 20;
  if (opened.status != OpenStatus::kOpen ||
      !readWholeFile(files, name, &text, &reason, kMostBytes + 1)) {
    errors << "census: cannot read " << name << ": " << reason << "\n";
    return false;
  }
  std::string problem =
      text.size() > kMostBytes ? "it is larger than 1 MiB" : parseDhis2Mapping(text, mapping);
  if (problem.empty()) return true;
  errors << "census: " << name << ": " << problem << "\n";
  return false;
}

std::string dhis2Period(const Dhis2Mapping& mapping, const std::string& asked) {
  if (!asked.empty()) return asked;
  return !mapping.period.empty() ? mapping.period : utcText(outputMoment(), "%Y");
}

int writeDhis2(FileSystem& files, const Dhis2Request& request, std::ostream& out,
               std::ostream& errors) {
  Dhis2Mapping mapping;
  if (!loadDhis2Mapping(files, &mapping, errors)) return kExitUsage;
  const std::time_t moment = outputMoment();
  const std::string period = dhis2Period(mapping, request.period);
  std::vector<StateValues> states;
  for (const StateList& list : stateLists()) {
    ValueGathering gathering(list, mapping, states);
    const FileState state = readPopulationFile(files, list, gathering);
    if (state.unreadable()) {
      errors << cannotReadLine(list.file_name, state);
      return kExitFailure;
    }
    if (gathering.status() != kExitSuccess) {
      errors << "census: " << gathering.problem() << "\n";
      return gathering.status();
    }
  }
  if (request.format == Dhis2Format::kAdx && states.empty()) {
    // An ADX message holds at least one group: an empty one is not ADX.
    errors << "census: no figures are saved in the lists yet; an ADX message needs at least "
              "one, so nothing was written\n";
    return kExitFailure;
  }
  out << (request.format == Dhis2Format::kAdx ? adx(mapping, period, moment, states)
                                              : dataValueSet(mapping, period, states));
  return kExitSuccess;
}

int runDhis2Export(FileSystem& files, const Dhis2Request& request, const std::string& output_file,
                   std::ostream& out, std::ostream& errors) {
  if (output_file.empty()) return writeDhis2(files, request, out, errors);
  return writeOutputFile(
      files, output_file,
      [&](std::ostream& output) { return writeDhis2(files, request, output, errors); }, errors);
}

int runInitDhis2Mapping(FileSystem& files, const std::string& period, std::ostream& out,
                        std::ostream& errors) {
  const std::string name(kDhis2MappingFileName);
  if (files.openForReading(name).status != OpenStatus::kMissing) {
    errors << "census: " << name
           << " is there already; it is kept as it is (remove it to start again)\n";
    return kExitUsage;
  }
  Dhis2Mapping mapping = defaultDhis2Mapping();
  mapping.period = period;
  if (!saveOutputFile(files, name, dhis2MappingText(mapping), errors)) return kExitFailure;
  out << name << "\n";
  return kExitSuccess;
}

}  // namespace census
