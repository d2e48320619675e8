#include "records/population_file.h"

#include "base/decimal.h"

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

FileReplacement populationFileReplacement(const StateList& list, const FigureTable& table) {
  return {.name = std::string(list.file_name), .content = formatPopulationFile(list, table)};
}

bool writePopulationFile(FileSystem& files, const StateList& list, const FigureTable& table,
                         SaveFailure* failure) {
  const FileReplacement save = populationFileReplacement(list, table);
  return files.replaceFiles({&save, 1}, failure);
}

PopulationLine readPopulationLine(std::string_view line) {
  LineFields fields(line);
  PopulationLine result;
  result.text = line;
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

FileState readPopulationFile(FileSystem& files, const StateList& list, PopulationSink& sink) {
  return readPopulationFile(files.openForReading(std::string(list.file_name)), sink);
}

FileState readPopulationFile(OpenedFile opened, PopulationSink& sink) {
  TextFileReader file(std::move(opened));
  std::size_t number = 0;
  for (std::string_view text; file.nextLine(text);) {
    const PopulationLine line = readPopulationLine(text);
    if (line.has_label) {
      sink.onRecord(++number, line);
    } else {
      sink.onBlankLine(++number, text);
    }
  }
  return stateAfterReading(file);
}

}  // namespace census
