// The facility record file "Recs-Loc.dat": six lines, each a fixed caption
// directly followed by a one-word answer:
//
//   ----> One Family Healthcare Planning Facility In This Region(State) :: Clinic
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace census {

inline constexpr std::string_view kFacilityFileName = "Recs-Loc.dat";
inline constexpr std::size_t kFacilityAnswerCount = 6;

// The captions, in file order; each ends with one blank.
extern const std::array<std::string_view, kFacilityAnswerCount> kFacilityCaptions;

// The file content for six answers.
std::string formatFacilityFile(const std::array<std::string, kFacilityAnswerCount>& answers);

}  // namespace census
