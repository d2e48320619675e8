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

// A line of the file taken apart: the caption it begins with, without its
// trailing blank, and the answer after it. A line that begins with none of
// the captions is all answer, with an empty caption.
struct FacilityLine {
  std::string_view caption;
  std::string_view answer;
};
FacilityLine splitFacilityLine(std::string_view line);

// The file content for six answers.
std::string formatFacilityFile(const std::array<std::string, kFacilityAnswerCount>& answers);

}  // namespace census
