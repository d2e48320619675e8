#include "facility/facility_record.h"

#include <array>
#include <optional>
#include <string>

#include "shell/data_file.h"

namespace census {
namespace {

struct FacilityQuestion {
  std::string_view prompt;
  std::string_view caption;
};

constexpr std::array<FacilityQuestion, 6> kQuestions = {{
    {"  <---- Provide The Name Of The State Where You Are Using This Product(Application-Program) "
     "<---- ",
     "----> The State Where You Are Using This Product(Application-Program) Is Being Used :: "},
    {"  <---- Enter One Family Healthcare Planning Facility In This Region(State) <---- ",
     "----> One Family Healthcare Planning Facility In This Region(State) :: "},
    {"  <---- Provide One(Another) Healthcare Facility In The Same Region With Few Distance Apart "
     "<---- ",
     "----> Another(A Registered) Healthcare Facility In The Same Region With Few Distance Apart "
     ":: "},
    {"  <---- Enter A Near By Park(Recreation Facility) 'Located 10-20 Km' Away From One Of The "
     "Options Above <---- ",
     "----> A Near By Park(Recreation Facility) 'Located 10-20 Km' Away For One Of The Options "
     "Above :: "},
    {"  <---- Provide One(A) State Owned Facility(Office - Building) In This State For Your "
     "Record(Research) <---- ",
     "----> A State Owned Facility(Office-Building) In The State Where The Information Was Givesn "
     ":: "},
    {"  <---- What Is Today's Date And Enter It At The Next Prompt Also  <---- ",
     "----> Date Information(Record) Was Provided(Given) At The Prompt :: "},
}};

const std::string kListingRule = std::string(123, '-') + "\n";

}  // namespace

void enterFacilityRecord(Console& console) {
  std::string content;
  for (const FacilityQuestion& question : kQuestions) {
    console << question.prompt << kEndLine;
    const std::optional<std::string> answer = console.readWord();
    if (!answer) return;
    content.append(question.caption).append(*answer).push_back('\n');
  }
  if (!saveDataFile(std::string(kFacilityFileName), content)) {
    console << kUnableToOpenFile << kEndLine;
  }
}

void listFacilityRecord(Console& console) {
  DataFileReader file{std::string(kFacilityFileName)};
  if (!file.isOpen()) {
    console << kUnableToOpenFile;
    return;
  }
  std::string line;
  while (file.nextLine(line))
    console << kListingRule << " \n"
            << "  " << line << "\n";
}

}  // namespace census
