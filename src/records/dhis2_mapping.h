// The mapping of census's states and figures to the codes of a DHIS2
// server, the national health information system that takes the figures
// on: "census-dhis2.json" in the data folder, written with the defaults by
// `census export --format dhis2 --init-mapping` and edited by hand.
//
//   {
//     "dataSet": "CENSUS_POP",
//     "period": "2026",
//     "idScheme": "CODE",
//     "orgUnits": {"NG-OY": "NG-OY", "NG-LA": "NG-LA", ...},
//     "dataElements": {
//       "total": {"dataElement": "POP_TOTAL"},
//       "youth": {"dataElement": "POP_YOUTH", "categoryOptionCombo": "Y15_24"},
//       ...
//     }
//   }
//
// "period" is a year and may be left out: the current year is then taken.
// "idScheme" says, as DHIS2 itself does, whether the identifiers are codes
// ("CODE", and so where the key is left out) or DHIS2's own UIDs ("UID"):
// eleven letters and digits, the first a letter. "dataSetIdScheme",
// "dataElementIdScheme", "orgUnitIdScheme" and
// "categoryOptionComboIdScheme" set it for one kind of identifier where the
// kinds differ. "orgUnits" names each state by its ISO 3166-2 code;
// "dataElements" each of the four figures, with a category option combo
// where the server's data element has one.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "records/population_file.h"

namespace census {

inline constexpr std::string_view kDhis2MappingFileName = "census-dhis2.json";

// How identifiers are given: DHIS2's id schemes, of which census takes two.
enum class Dhis2IdScheme { kCode, kUid };

// The kinds of identifier a mapping gives, each of which may have its own
// scheme.
enum class Dhis2IdKind { kDataSet, kDataElement, kOrgUnit, kCategoryOptionCombo };
inline constexpr std::size_t kDhis2IdKindCount = 4;

// Each kind's key for its scheme, as in the file and in DHIS2's queries and
// data value sets, in the order of Dhis2IdKind.
inline constexpr std::array<std::string_view, kDhis2IdKindCount> kDhis2IdSchemeKeys = {
    "dataSetIdScheme", "dataElementIdScheme", "orgUnitIdScheme", "categoryOptionComboIdScheme"};

// "CODE" or "UID", as DHIS2 names them.
std::string_view dhis2IdSchemeName(Dhis2IdScheme scheme);

struct Dhis2Figure {
  std::string data_element;
  std::string category_option_combo;  // "" for none
};

struct Dhis2Mapping {
  std::string data_set;
  std::string period;                              // "" for the current year
  std::map<std::string, std::string> org_units;    // by the state's ISO code
  std::array<Dhis2Figure, kFigureCount> figures;   // total, male, female, youth
  Dhis2IdScheme id_scheme = Dhis2IdScheme::kCode;  // "idScheme"
  // A kind's own scheme, where the mapping gives one.
  std::array<std::optional<Dhis2IdScheme>, kDhis2IdKindCount> kind_schemes;

  Dhis2IdScheme schemeOf(Dhis2IdKind kind) const {
    return kind_schemes[static_cast<std::size_t>(kind)].value_or(id_scheme);
  }
};

// The defaults: the data set CENSUS_POP, each state's ISO code as its org
// unit, POP_TOTAL, POP_MALE, POP_FEMALE and POP_YOUTH with no combo.
Dhis2Mapping defaultDhis2Mapping();

// The file's text for a mapping, two blanks a level, keys in the order
// above.
std::string dhis2MappingText(const Dhis2Mapping& mapping);

// Reads a mapping file's text. Returns "" with *mapping set, or the
// problem, naming the key at fault: not JSON, a key or a state that is not
// known, a code that is empty, given twice or holds a character XML cannot
// hold, a period that is no year, a scheme other than CODE and UID, an
// identifier that is no UID where its scheme says UID.
std::string parseDhis2Mapping(std::string_view text, Dhis2Mapping* mapping);

// Whether text is a year as the mapping and --period take it: "2026".
bool isDhis2Year(std::string_view text);

}  // namespace census
