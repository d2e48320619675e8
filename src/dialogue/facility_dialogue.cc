#include "dialogue/facility_dialogue.h"

#include <array>
#include <optional>
#include <string>

#include "os/text_file.h"
#include "records/facility_file.h"

namespace census {
namespace {

// The questions, in the order of the captions in the file.
constexpr std::array<std::string_view, kFacilityAnswerCount> kPrompts = {
    "  <---- Provide The Name Of The State Where You Are Using This Product(Application-Program) "
    "<---- ",
    "  <---- Enter One Family Healthcare Planning Facility In This Region(State) <---- ",
    "  <---- Provide One(Another) Healthcare Facility In The Same Region With Few Distance Apart "
    "<---- ",
    "  <---- Enter A Near By Park(Recreation Facility) 'Located 10-20 Km' Away From One Of The "
    "Options Above <---- ",
    "  <---- Provide One(A) State Owned Facility(Office - Building) In This State For Your "
    "Record(Research) <---- ",
    "  <---- What Is Today's Date And Enter It At The Next Prompt Also  <---- ",
};

const std::string kListingRule = std::string(123, '-') + "\n";

}  // namespace

void enterFacilityRecord(Console& console) {
  std::array<std::string, kFacilityAnswerCount> answers;
  for (std::size_t i = 0; i < kFacilityAnswerCount; ++i) {
    console << kPrompts[i] << kEndLine;
    std::optional<std::string> answer = console.readWord();
    if (!answer) return;
    answers[i] = std::move(*answer);
  }
  std::string reason;
  if (!saveTextFile(std::string(kFacilityFileName), formatFacilityFile(answers), &reason)) {
    console << kUnableToOpenFile << kEndLine;
    console.reportError("cannot save " + std::string(kFacilityFileName) + ": " + reason);
  }
}

void listFacilityRecord(Console& console) {
  TextFileReader file{std::string(kFacilityFileName)};
  if (!file.isOpen()) {
    console << kUnableToOpenFile;
    return;
  }
  std::string_view line;
  while (file.nextLine(line)) {
    console << kListingRule << " \n"
            << "  " << line << "\n";
  }
}

}  // namespace census
