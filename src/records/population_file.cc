#include "records/population_file.h"

#include "base/decimal.h"
#include "os/text_file.h"

namespace census {

std::string formatPopulationFile(const StateList& list, const FigureTable& table) {
  std::string content;
  for (std::size_t row = 0; row < list.states.size(); ++row) {
    content.append(list.states[row].file_label);
    for (std::size_t figure = 0; figure < kFigureCount; ++figure) {
      content.push_back(' ');
      content.append(Decimal(table[row][figure]).view());
    }
    content.push_back('\n');
  }
  return content;
}

bool writePopulationFile(const StateList& list, const FigureTable& table, std::string* reason) {
  return saveTextFile(std::string(list.file_name), formatPopulationFile(list, table), reason);
}

PopulationLine readPopulationLine(std::string_view line) {
  LineFields fields(line);
  PopulationLine result;
  const std::string_view label = fields.nextWord();
  result.has_label = !label.empty();
  if (!result.has_label) return result;
  result.label = {fields.lastColumn(), label};
  result.reading = fields.readIntegers(result.figures, result.columns.data());
  if (result.reading.problem == FieldProblem::kNone) result.trailing = fields.rest();
  return result;
}

std::optional<PopulationRecord> parsePopulationLine(std::string_view line) {
  const PopulationLine read = readPopulationLine(line);
  if (!read.has_label) return std::nullopt;
  return PopulationRecord{std::string(read.label.word), read.figures};
}

void readPopulationFile(
    TextFileReader& file,
    const std::function<void(const PopulationRecord& record, std::size_t line)>& on_record) {
  std::size_t line_number = 0;
  for (std::string_view line; file.nextLine(line);) {
    ++line_number;
    if (const std::optional<PopulationRecord> record = parsePopulationLine(line)) {
      on_record(*record, line_number);
    }
  }
}

}  // namespace census
