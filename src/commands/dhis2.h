// `census export --format dhis2|adx`: the figures of the three lists for
// DHIS2, the national health information system, in the two formats it
// exchanges figures in, mapped to its codes by census-dhis2.json (see
// records/dhis2_mapping.h): a data value set, JSON, each value naming its
// own org unit and period, the set naming the mapping's id schemes so that
// DHIS2 reads the identifiers right however the file reaches it,
//
//   {"idScheme": "CODE", "dataSet": "CENSUS_POP", "dataValues": [
//    {"dataElement": "POP_TOTAL", "period": "2026", "orgUnit": "NG-KE",
//     "value": "1200"}, ...]}
//
// and ADX (IHE's Aggregate Data Exchange, XML), one group per state:
//
//   <adx xmlns="urn:ihe:qrph:adx:2015" exported="2026-12-11T09:30:00Z">
//     <group orgUnit="NG-KE" period="2026-01-01/P1Y" dataSet="CENSUS_POP">
//       <dataValue dataElement="POP_TOTAL" value="1200"/>
//
// One value per figure of each state saved, in list order; states not
// saved are left out. A figure's category option combo, where the mapping
// gives one, goes with its value in both (in ADX as DHIS2's reader takes
// it, a "categoryOptionCombo" attribute).
#pragma once

#include <ostream>
#include <string>

#include "records/dhis2_mapping.h"
#include "save/file_system.h"

namespace census {

enum class Dhis2Format { kDataValueSet, kAdx };

// What an export for DHIS2 is asked for.
struct Dhis2Request {
  Dhis2Format format = Dhis2Format::kDataValueSet;
  std::string period;  // --period: "" for the mapping's, or else the current year
};

// The folder's mapping, or the defaults where it has none. Returns false,
// after saying "census: census-dhis2.json: PROBLEM" on errors, where it
// cannot be read or is not sound.
bool loadDhis2Mapping(FileSystem& files, Dhis2Mapping* mapping, std::ostream& errors);

// The year the figures are of: the one asked for, else the mapping's, else
// the current one (SOURCE_DATE_EPOCH's where it is set).
std::string dhis2Period(const Dhis2Mapping& mapping, const std::string& asked);

// Writes the figures to out. Returns kExitSuccess; kExitUsage where the
// mapping is not sound or leaves a saved state unmapped (nothing is then
// written); kExitFailure where a list cannot be read or holds a line that
// is no state of its list, or a state twice, or for ADX where no state is
// saved (nothing written either).
// The current moment, for the default period and ADX's "exported", is
// SOURCE_DATE_EPOCH where it is set.
int writeDhis2(FileSystem& files, const Dhis2Request& request, std::ostream& out,
               std::ostream& errors);

// The command: to out, or to output_file through the one writer.
int runDhis2Export(FileSystem& files, const Dhis2Request& request, const std::string& output_file,
                   std::ostream& out, std::ostream& errors);

// `--init-mapping`: writes census-dhis2.json with the defaults (and the
// period asked for, if any), where there is none yet; says its name on out.
int runInitDhis2Mapping(FileSystem& files, const std::string& period, std::ostream& out,
                        std::ostream& errors);

}  // namespace census
