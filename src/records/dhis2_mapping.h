// The mapping of census's states and figures to the codes of a DHIS2
// server, the national health information system that takes the figures
// on: "census-dhis2.json" in the data folder, written with the defaults by
// `census export --format dhis2 --init-mapping` and edited by hand.
//
//   {
//     "dataSet": "CENSUS_POP",
//     "period": "2026",
//     "orgUnits": {"NG-OY": "NG-OY", "NG-LA": "NG-LA", ...},
//     "dataElements": {
//       "total": {"dataElement": "POP_TOTAL"},
//       "youth": {"dataElement": "POP_YOUTH", "categoryOptionCombo": "Y15_24"},
//       ...
//     }
//   }
//
// "period" is a year and may be left out: the current year is then taken.
// "orgUnits" names each state by its ISO 3166-2 code; "dataElements" each
// of the four figures, with a category option combo where the server's
// data element has one.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>

#include "records/population_file.h"

namespace census {

inline constexpr std::string_view kDhis2MappingFileName = "census-dhis2.json";

struct Dhis2Figure {
  std::string data_element;
  std::string category_option_combo;  // "" for none
};

struct Dhis2Mapping {
  std::string data_set;
  std::string period;                             // "" for the current year
  std::map<std::string, std::string> org_units;   // by the state's ISO code
  std::array<Dhis2Figure, kFigureCount> figures;  // total, male, female, youth
};

// The defaults: the data set CENSUS_POP, each state's ISO code as its org
// unit, POP_TOTAL, POP_MALE, POP_FEMALE and POP_YOUTH with no combo.
Dhis2Mapping defaultDhis2Mapping();

// The file's text for a mapping, two blanks a level, keys in the order
// above.
std::string dhis2MappingText(const Dhis2Mapping& mapping);

// Reads a mapping file's text. Returns "" with *mapping set, or the
// problem, naming the key at fault: not JSON, a key or a state that is not
// known, a code that is empty or given twice, a period that is no year.
std::string parseDhis2Mapping(std::string_view text, Dhis2Mapping* mapping);

// Whether text is a year as the mapping and --period take it: "2026".
bool isDhis2Year(std::string_view text);

}  // namespace census
