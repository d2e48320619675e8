#include "population/population_file.h"

#include "shell/data_file.h"
#include "shell/decimal.h"

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

bool writePopulationFile(const StateList& list, const FigureTable& table) {
  return saveDataFile(std::string(list.file_name), formatPopulationFile(list, table));
}

std::optional<PopulationRecord> parsePopulationLine(std::string_view line) {
  LineFields fields(line);
  PopulationRecord record;
  record.label = fields.nextWord();
  if (record.label.empty()) return std::nullopt;
  for (std::int32_t& figure : record.figures) figure = fields.nextInteger().value_or(0);
  return record;
}

void readPopulationFile(const std::string& file_name,
                        const std::function<void(const PopulationRecord&)>& on_record) {
  DataFileReader file(file_name);
  std::string line;
  while (file.nextLine(line)) {
    if (const std::optional<PopulationRecord> record = parsePopulationLine(line)) {
      on_record(*record);
    }
  }
}

}  // namespace census
