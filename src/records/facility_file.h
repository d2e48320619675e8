// The facility record file "Recs-Loc.dat": six lines, each a fixed caption
// directly followed by a one-word answer:
//
//   ----> One Family Healthcare Planning Facility In This Region(State) :: Clinic
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "records/data_file.h"
#include "save/file_system.h"

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

// The save of the facility file with six answers, for
// FileSystem::replaceFiles.
FileReplacement facilityFileReplacement(
    const std::array<std::string, kFacilityAnswerCount>& answers);

// Replaces the facility file with six answers. Returns false, with the old
// file left whole and *failure set, when it cannot be saved.
bool writeFacilityFile(FileSystem& files,
                       const std::array<std::string, kFacilityAnswerCount>& answers,
                       SaveFailure* failure);

// What a reader of the facility file hands on: each line in file order,
// with its 1-based number. Does nothing unless a sink overrides it.
class FacilitySink {
 public:
  virtual ~FacilitySink() = default;
  virtual void onLine(std::size_t /*number*/, std::string_view /*text*/) {}
};

// Reads the facility file once, front to back, and hands each line to
// sink; a file that is missing or cannot be opened hands on nothing, one
// that fails part way the lines before the failure. Returns the file's
// state.
FileState readFacilityFile(FileSystem& files, FacilitySink& sink);
// The same, from a file already opened.
FileState readFacilityFile(OpenedFile file, FacilitySink& sink);

}  // namespace census
