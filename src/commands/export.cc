#include "commands/export.h"

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "base/output_buffer.h"
#include "commands/csv.h"
#include "os/text_file.h"
#include "records/census_grid_file.h"
#include "records/facility_file.h"
#include "records/population_file.h"
#include "records/state_lists.h"

namespace census {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kCsvHeader =
    "list,position,label,state,iso_code,total,male,female,youth";

// Reads a data file line by line; where it exists but cannot be read, says
// so on errors and remembers the failure.
class ExportReader {
 public:
  ExportReader(std::string_view file_name, std::ostream& errors, bool& failed)
      : name_(file_name), file_(std::string(file_name)), errors_(errors), failed_(failed) {}
  ~ExportReader() {
    if (file_.state() != TextFileReader::State::kUnreadable) return;
    errors_ << "census: cannot read " << name_ << ": " << file_.reason() << "\n";
    failed_ = true;
  }

  bool saved() const { return file_.state() != TextFileReader::State::kMissing; }
  bool nextLine(std::string_view& line) { return file_.nextLine(line); }

  // Calls on_record(record, position) for each record the listing shows,
  // position counting from 1.
  void readRecords(const std::function<void(const PopulationRecord&, std::size_t)>& on_record) {
    std::size_t position = 0;
    readPopulationFile(
        file_, [&](const PopulationRecord& record, std::size_t) { on_record(record, ++position); });
  }

 private:
  std::string_view name_;
  TextFileReader file_;
  std::ostream& errors_;
  bool& failed_;
};

// A label a spreadsheet would take for a formula is written as text.
std::string spreadsheetText(std::string_view label) {
  const bool formula =
      !label.empty() && std::string_view("=+-@").find(label[0]) != std::string_view::npos;
  return (formula ? "'" : "") + std::string(label);
}

int writeCsv(std::ostream& out, std::ostream& errors) {
  bool failed = false;
  OutputBuffer buffer(out);
  buffer << kCsvHeader << "\r\n";
  for (const StateList& list : stateLists()) {
    ExportReader file(list.file_name, errors, failed);
    file.readRecords([&](const PopulationRecord& record, std::size_t position) {
      const StateEntry* state = stateWithLabel(list, record.label);
      buffer << std::int64_t{list.number} << ',' << position << ','
             << csvField(spreadsheetText(record.label)) << ','
             << csvField(state != nullptr ? state->iso_name : "") << ','
             << (state != nullptr ? state->iso_code : "");
      for (const std::int32_t figure : record.figures) buffer << ',' << figure;
      buffer << "\r\n";
    });
  }
  buffer.flush();
  return failed ? 1 : 0;
}

Json populationList(const StateList& list, std::ostream& errors, bool& failed) {
  ExportReader file(list.file_name, errors, failed);
  Json states = Json::array();
  file.readRecords([&](const PopulationRecord& record, std::size_t position) {
    const StateEntry* state = stateWithLabel(list, record.label);
    Json entry = {{"position", position},
                  {"label", record.label},
                  {"state", state != nullptr ? state->iso_name : ""},
                  {"iso_code", state != nullptr ? state->iso_code : ""}};
    for (std::size_t figure = 0; figure < kFigureCount; ++figure) {
      entry[std::string(kFigureNames[figure])] = record.figures[figure];
    }
    states.push_back(std::move(entry));
  });
  return {{"list", list.number},
          {"file", list.file_name},
          {"saved", file.saved()},
          {"states", std::move(states)}};
}

Json facilityRecord(std::ostream& errors, bool& failed) {
  ExportReader file(kFacilityFileName, errors, failed);
  Json answers = Json::array();
  for (std::string_view line; file.nextLine(line);) {
    const FacilityLine split = splitFacilityLine(line);
    answers.push_back({{"caption", split.caption}, {"answer", split.answer}});
  }
  return {{"file", kFacilityFileName}, {"saved", file.saved()}, {"answers", std::move(answers)}};
}

// Stands for the grid's rows in the document until they are streamed.
constexpr std::string_view kRowsMark = "\x01rows\x01";

// The grid's rows as the document holds them at their depth (three levels
// in: the document, "grid", "rows"), written one row at a time.
void streamGridRows(ExportReader& file, OutputBuffer& buffer) {
  const std::string row_indent(6, ' ');
  bool first = true;
  for (std::string_view line; file.nextLine(line);) {
    const CensusGridRow row = parseCensusGridLine(line);
    std::string text = Json(row).dump(2);
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 1) {
      text.insert(at + 1, row_indent);
    }
    buffer << (first ? "[\n" : ",\n") << row_indent << text;
    first = false;
  }
  buffer << (first ? "[]" : "\n    ]");
}

int writeJson(std::ostream& out, std::ostream& errors) {
  bool failed = false;
  Json lists = Json::array();
  for (const StateList& list : stateLists()) lists.push_back(populationList(list, errors, failed));
  Json columns = Json::array();
  for (const StateEntry& state : stateList(1).states) columns.push_back(state.iso_code);
  ExportReader grid(kCensusGridFileName, errors, failed);
  Json document = {{"lists", std::move(lists)},
                   {"grid",
                    {{"file", kCensusGridFileName},
                     {"saved", grid.saved()},
                     {"columns", std::move(columns)},
                     {"rows", kRowsMark}}},
                   {"facility", facilityRecord(errors, failed)}};
  const std::string text = document.dump(2);
  const std::string mark = Json(kRowsMark).dump();
  const std::size_t at = text.find(mark);
  OutputBuffer buffer(out);
  buffer << std::string_view(text).substr(0, at);
  streamGridRows(grid, buffer);
  buffer << std::string_view(text).substr(at + mark.size()) << "\n";
  buffer.flush();
  return failed ? 1 : 0;
}

}  // namespace

int writeExport(ExportFormat format, std::ostream& out, std::ostream& errors) {
  return format == ExportFormat::kCsv ? writeCsv(out, errors) : writeJson(out, errors);
}

int runExport(ExportFormat format, const std::string& output_file, std::ostream& out,
              std::ostream& errors) {
  if (output_file.empty()) return writeExport(format, out, errors);
  std::ostringstream content;
  const int status = writeExport(format, content, errors);
  std::string reason;
  if (!saveBinaryFile(output_file, content.str(), &reason)) {
    errors << "census: cannot save " << output_file << ": " << reason << "\n";
    return 1;
  }
  return status;
}

}  // namespace census
