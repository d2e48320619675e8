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

FileState readCensusGridFile(FileSystem& files, CensusGridSink& sink) {
  TextFileReader file(files, std::string(kCensusGridFileName));
  std::size_t number = 0;
  CensusGridRow row;
  for (std::string_view text; file.nextLine(text);) {
    ++number;
    if (!sink.wantsMoreRows()) continue;
    LineFields fields(text);
    const IntegerReading reading = fields.readIntegers(row);
    sink.onRow(number, text, row, reading);
  }
  sink.onLineCount(number);
  return stateAfterReading(file);
}

}  // namespace census
