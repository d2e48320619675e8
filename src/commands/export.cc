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

// The JSON document is written as the library lays one out (two blanks a
// level, ASCII only, so that no character of a file reaches a screen raw),
// but one element at a time: memory stays flat however long a file is.
std::string jsonText(const Json& value) { return value.dump(2, ' ', true); }

std::string indent(int depth) { return std::string(static_cast<std::size_t>(2 * depth), ' '); }

// An array whose key stands at depth, its elements one level deeper.
class JsonArrayStream {
 public:
  JsonArrayStream(OutputBuffer& buffer, int depth) : buffer_(buffer), depth_(depth) {}
  void add(const Json& element) {
    buffer_ << (first_ ? "[\n" : ",\n") << indent(depth_ + 1);
    const std::string text = jsonText(element);
    std::string_view rest(text);
    for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos;) {
      buffer_ << rest.substr(0, end + 1) << indent(depth_ + 1);
      rest.remove_prefix(end + 1);
    }
    buffer_ << rest;
    first_ = false;
  }
  void finish() {
    if (first_) {
      buffer_ << "[]";
    } else {
      buffer_ << '\n' << indent(depth_) << ']';
    }
  }

 private:
  OutputBuffer& buffer_;
  int depth_;
  bool first_ = true;
};

// `"key": ` at depth, after the member before it.
void member(OutputBuffer& buffer, int depth, std::string_view key, bool first = false) {
  buffer << (first ? "\n" : ",\n") << indent(depth) << jsonText(Json(key)) << ": ";
}

// The file's status as the document says it: "saved" (true where its
// status is "saved"; the first shape of the document had only this), then
// "status": "saved", "not saved yet" or "unreadable", with the reason of an
// unreadable file.
void writeStatus(OutputBuffer& buffer, int depth, const FileState& state) {
  member(buffer, depth, "saved");
  buffer << (state.saved() ? "true" : "false");
  member(buffer, depth, "status");
  buffer << jsonText(Json(statusName(state.status)));
  if (state.unreadable()) {
    member(buffer, depth, "reason");
    buffer << jsonText(Json(state.reason));
  }
}

void writePopulationList(FileSystem& files, const StateList& list, ExportReads& reads,
                         OutputBuffer& buffer) {
  buffer << indent(2) << '{';
  member(buffer, 3, "list", true);
  buffer << std::int64_t{list.number};
  member(buffer, 3, "file");
  buffer << jsonText(Json(list.file_name));
  member(buffer, 3, "states");
  JsonArrayStream states(buffer, 3);
  RecordSink sink([&](const PopulationLine& line, std::size_t position) {
    const StateEntry* state = stateWithLabel(list, line.label.word);
    Json entry = {{"position", position},
                  {"label", utf8FromBytes(line.label.word)},
                  {"state", state != nullptr ? state->iso_name : ""},
                  {"iso_code", state != nullptr ? state->iso_code : ""}};
    for (std::size_t figure = 0; figure < kFigureCount; ++figure) {
      entry[std::string(kFigureNames[figure])] = line.figures[figure];
    }
    states.add(entry);
  });
  const FileState& state = reads.note(list.file_name, readPopulationFile(files, list, sink));
  states.finish();
  writeStatus(buffer, 3, state);
  buffer << '\n' << indent(2) << '}';
}

class GridRowSink final : public CensusGridSink {
 public:
  explicit GridRowSink(JsonArrayStream& rows) : rows_(rows) {}
  void onRow(std::size_t, std::string_view, const CensusGridRow& row,
             const IntegerReading&) override {
    Json values = Json::array();
    for (const std::int32_t value : row) values.push_back(value);
    rows_.add(values);
  }

 private:
  JsonArrayStream& rows_;
};

class AnswerSink final : public FacilitySink {
 public:
  explicit AnswerSink(JsonArrayStream& answers) : answers_(answers) {}
  void onLine(std::size_t, std::string_view text) override {
    const FacilityLine split = splitFacilityLine(text);
    answers_.add(
        {{"caption", utf8FromBytes(split.caption)}, {"answer", utf8FromBytes(split.answer)}});
  }

 private:
  JsonArrayStream& answers_;
};

int writeJson(FileSystem& files, std::ostream& out, std::ostream& errors) {
  ExportReads reads(errors);
  OutputBuffer buffer(out);
  buffer << '{';
  member(buffer, 1, "lists", true);
  buffer << '[';
  bool first = true;
  for (const StateList& list : stateLists()) {
    buffer << (first ? "\n" : ",\n");
    writePopulationList(files, list, reads, buffer);
    first = false;
  }
  buffer << '\n' << indent(1) << ']';

  member(buffer, 1, "grid");
  buffer << '{';
  member(buffer, 2, "file", true);
  buffer << jsonText(Json(kCensusGridFileName));
  member(buffer, 2, "columns");
  JsonArrayStream columns(buffer, 2);
  for (const StateEntry& state : stateList(1).states) columns.add(Json(state.iso_code));
  columns.finish();
  member(buffer, 2, "rows");
  JsonArrayStream rows(buffer, 2);
  GridRowSink grid(rows);
  const FileState& grid_state = reads.note(kCensusGridFileName, readCensusGridFile(files, grid));
  rows.finish();
  writeStatus(buffer, 2, grid_state);
  buffer << '\n' << indent(1) << '}';

  member(buffer, 1, "facility");
  buffer << '{';
  member(buffer, 2, "file", true);
  buffer << jsonText(Json(kFacilityFileName));
  member(buffer, 2, "answers");
  JsonArrayStream answers(buffer, 2);
  AnswerSink facility(answers);
  const FileState& facility_state =
      reads.note(kFacilityFileName, readFacilityFile(files, facility));
  answers.finish();
  writeStatus(buffer, 2, facility_state);
  buffer << '\n' << indent(1) << "}\n}\n";
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
  // An export that could not read every list would be incomplete: the file
  // keeps its last whole export.
  return writeOutputFile(
      files, output_file,
      [&](std::ostream& output) {
        return writeExport(files, format, output, errors) == kExitSuccess ? kExitSuccess
                                                                          : kExitFailure;
      },
      errors);
}

}  // namespace census
