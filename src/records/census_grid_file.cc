#include "records/census_grid_file.h"

namespace census {

CensusGridLine readCensusGridLine(std::string_view line, std::size_t* columns) {
  LineFields fields(line);
  CensusGridLine result;
  result.reading = fields.readIntegers(result.row, columns);
  if (result.reading.problem == FieldProblem::kNone) result.trailing = fields.rest();
  return result;
}

CensusGridRow parseCensusGridLine(std::string_view line) {
  LineFields fields(line);
  CensusGridRow row;
  fields.readIntegers(row);
  return row;
}

}  // namespace census
