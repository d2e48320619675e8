#include "commands/export.h"

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "base/exit_status.h"
#include "base/output_buffer.h"
#include "base/text.h"
#include "commands/command_files.h"
#include "commands/csv.h"
#include "records/census_grid_file.h"
#include "records/facility_file.h"
#include "records/population_file.h"
#include "records/state_lists.h"

namespace census {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kCsvHeader =
    "list,position,label,state,iso_code,total,male,female,youth";

// The files the export has read, and what it says of those it could not.
class ExportReads {
 public:
  explicit ExportReads(std::ostream& errors) : errors_(errors) {}

  const FileState& note(std::string_view file, FileState state) {
    if (state.unreadable()) {
      errors_ << cannotReadLine(file, state);
      failed_ = true;
    }
    last_ = std::move(state);
    return last_;
  }
  bool failed() const { return failed_; }

 private:
  std::ostream& errors_;
  bool failed_ = false;
  FileState last_;
};

// Counts the records of a population file as the listing shows them.
class RecordSink : public PopulationSink {
 public:
  explicit RecordSink(std::function<void(const PopulationLine&, std::size_t)> on_record)
      : on_record_(std::move(on_record)) {}
  void onRecord(std::size_t, const PopulationLine& line) override { on_record_(line, ++position_); }

 private:
  std::function<void(const PopulationLine&, std::size_t)> on_record_;
  std::size_t position_ = 0;
};

// A label a spreadsheet would take for a formula is written as text.
std::string spreadsheetText(std::string_view label) {
  const bool formula =
      !label.empty() && std::string_view("=+-@").find(label[0]) != std::string_view::npos;
  return (formula ? "'" : "") + std::string(label);
}

int writeCsv(FileSystem& files, std::ostream& out, std::ostream& errors) {
  ExportReads reads(errors);
  OutputBuffer buffer(out);
  buffer << kCsvHeader << "\r\n";
  for (const StateList& list : stateLists()) {
    RecordSink sink([&](const PopulationLine& line, std::size_t position) {
      const StateEntry* state = stateWithLabel(list, line.label.word);
      buffer << std::int64_t{list.number} << ',' << position << ','
             << csvField(spreadsheetText(visibleText(line.label.word))) << ','
             << csvField(state != nullptr ? state->iso_name : "") << ','
             << (state != nullptr ? state->iso_code : "");
      for (const std::int32_t figure : line.figures) buffer << ',' << figure;
      buffer << "\r\n";
    });
    reads.note(list.file_name, readPopulationFile(files, list, sink));
  }
  buffer.flush();
  return reads.failed() ? kExitFailure : kExitSuccess;
}

// The file's status as the document says it: "saved", "not saved yet" or
// "unreadable", with the reason of an unreadable file.
void addStatus(Json& entry, const FileState& state) {
  entry["status"] = statusName(state.status);
  if (state.unreadable()) entry["reason"] = state.reason;
}

Json populationList(FileSystem& files, const StateList& list, ExportReads& reads) {
  Json states = Json::array();
  RecordSink sink([&](const PopulationLine& line, std::size_t position) {
    const StateEntry* state = stateWithLabel(list, line.label.word);
    Json entry = {{"position", position},
                  {"label", utf8FromBytes(line.label.word)},
                  {"state", state != nullptr ? state->iso_name : ""},
                  {"iso_code", state != nullptr ? state->iso_code : ""}};
    for (std::size_t figure = 0; figure < kFigureCount; ++figure) {
      entry[std::string(kFigureNames[figure])] = line.figures[figure];
    }
    states.push_back(std::move(entry));
  });
  const FileState& state = reads.note(list.file_name, readPopulationFile(files, list, sink));
  Json result = {{"list", list.number}, {"file", list.file_name}, {"states", std::move(states)}};
  addStatus(result, state);
  return result;
}

class AnswerSink final : public FacilitySink {
 public:
  void onLine(std::size_t, std::string_view text) override {
    const FacilityLine split = splitFacilityLine(text);
    answers.push_back(
        {{"caption", utf8FromBytes(split.caption)}, {"answer", utf8FromBytes(split.answer)}});
  }
  Json answers = Json::array();
};

Json facilityRecord(FileSystem& files, ExportReads& reads) {
  AnswerSink sink;
  const FileState& state = reads.note(kFacilityFileName, readFacilityFile(files, sink));
  Json result = {{"file", kFacilityFileName}, {"answers", std::move(sink.answers)}};
  addStatus(result, state);
  return result;
}

// Stands for the grid's rows and status in the document until they are
// streamed.
constexpr std::string_view kRowsMark = "\x01rows\x01";

// The grid's rows as the document holds them at their depth (three levels
// in: the document, "grid", "rows"), written one row at a time.
class GridRowSink final : public CensusGridSink {
 public:
  explicit GridRowSink(OutputBuffer& buffer) : buffer_(buffer) {}
  // As the library writes an array of numbers at this depth: one value a
  // line, two blanks deeper than the brackets.
  void onRow(std::size_t, std::string_view, const CensusGridRow& row,
             const IntegerReading&) override {
    buffer_ << (first_ ? "[\n" : ",\n") << kRowIndent << "[\n";
    for (std::size_t column = 0; column < row.size(); ++column) {
      buffer_ << kRowIndent << "  " << std::int64_t{row[column]}
              << (column + 1 < row.size() ? ",\n" : "\n");
    }
    buffer_ << kRowIndent << "]";
    first_ = false;
  }
  void finish() { buffer_ << (first_ ? "[]" : "\n    ]"); }

 private:
  static constexpr std::string_view kRowIndent = "      ";
  OutputBuffer& buffer_;
  bool first_ = true;
};

int writeJson(FileSystem& files, std::ostream& out, std::ostream& errors) {
  ExportReads reads(errors);
  Json lists = Json::array();
  for (const StateList& list : stateLists()) lists.push_back(populationList(files, list, reads));
  Json columns = Json::array();
  for (const StateEntry& state : stateList(1).states) columns.push_back(state.iso_code);
  Json document = {
      {"lists", std::move(lists)},
      {"grid",
       {{"file", kCensusGridFileName}, {"columns", std::move(columns)}, {"rows", kRowsMark}}},
      {"facility", facilityRecord(files, reads)}};
  // ASCII only, so that no character of a file reaches a screen raw.
  const std::string text = document.dump(2, ' ', true);
  const std::string mark = Json(kRowsMark).dump(-1, ' ', true);
  const std::size_t at = text.find(mark);
  OutputBuffer buffer(out);
  buffer << std::string_view(text).substr(0, at);
  GridRowSink rows(buffer);
  const FileState& grid = reads.note(kCensusGridFileName, readCensusGridFile(files, rows));
  rows.finish();
  // The grid's status follows its rows, which are read as they are written.
  Json status = Json::object();
  addStatus(status, grid);
  for (const auto& [key, value] : status.items()) {
    buffer << ",\n    " << Json(key).dump() << ": " << value.dump(-1, ' ', true);
  }
  buffer << std::string_view(text).substr(at + mark.size()) << "\n";
  buffer.flush();
  return reads.failed() ? kExitFailure : kExitSuccess;
}

}  // namespace

int writeExport(FileSystem& files, ExportFormat format, std::ostream& out, std::ostream& errors) {
  return format == ExportFormat::kCsv ? writeCsv(files, out, errors)
                                      : writeJson(files, out, errors);
}

int runExport(FileSystem& files, ExportFormat format, const std::string& output_file,
              std::ostream& out, std::ostream& errors) {
  if (output_file.empty()) return writeExport(files, format, out, errors);
  std::ostringstream content;
  // An export that could not read every list would be incomplete: the file
  // keeps its last whole export.
  if (writeExport(files, format, content, errors) != kExitSuccess) return kExitFailure;
  return saveOutputFile(files, output_file, std::move(content).str(), errors) ? kExitSuccess
                                                                              : kExitFailure;
}

}  // namespace census
