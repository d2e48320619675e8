#include "records/census_grid_file.h"

#include <string>

namespace census {

CensusGridLine readCensusGridLine(std::string_view line, std::size_t* columns) {
  LineFields fields(line);
  CensusGridLine result;
  result.reading = fields.readIntegers(result.row, columns);
  if (result.reading.problem == FieldProblem::kNone) result.trailing = fields.rest();
  return result;
}

void CensusGridSink::onDigitRow(std::size_t number, std::string_view text,
                                std::span<const std::string_view, kGridColumnCount> words) {
  CensusGridRow row;
  for (std::size_t i = 0; i < row.size(); ++i) row[i] = parseWholeNumber(words[i]).value_or(0);
  IntegerReading reading;
  reading.read = row.size();
  reading.plain = true;
  onRow(number, text, row, reading);
}

FileState readCensusGridFile(FileSystem& files, CensusGridSink& sink) {
  TextFileReader file(files, std::string(kCensusGridFileName));
  std::size_t number = 0;
  CensusGridRow row;
  std::array<std::string_view, kGridColumnCount> words;
  const bool skips_digit_rows = sink.skipsDigitRows();
  for (std::string_view text; file.nextLine(text);) {
    ++number;
    if (!sink.wantsMoreRows()) continue;
    if (skips_digit_rows) {
      if (isDigitRow(text, kGridColumnCount)) continue;
    } else if (findDigitWords(text, words)) {
      sink.onDigitRow(number, text, words);
      continue;
    }
    LineFields fields(text);
    const IntegerReading reading = fields.readIntegers(row);
    sink.onRow(number, text, row, reading);
  }
  sink.onLineCount(number);
  return stateAfterReading(file);
}

}  // namespace census
