#include "dialogue/facility_dialogue.h"

#include <array>
#include <optional>
#include <string>

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

// Each line under a rule, as the file holds it.
class ListingSink final : public FacilitySink {
 public:
  explicit ListingSink(Console& console) : console_(console) {}
  void onLine(std::size_t, std::string_view text) override {
    console_ << kListingRule << " \n"
             << "  " << text << "\n";
  }

 private:
  Console& console_;
};

}  // namespace

void enterFacilityRecord(FileSystem& files, Console& console) {
  std::array<std::string, kFacilityAnswerCount> answers;
  for (std::size_t i = 0; i < kFacilityAnswerCount; ++i) {
    console << kPrompts[i] << kEndLine;
    std::optional<std::string> answer = console.readWord();
    if (!answer) return;
    answers[i] = std::move(*answer);
  }
  SaveFailure failure;
  if (!writeFacilityFile(files, answers, &failure)) {
    console << kUnableToOpenFile << kEndLine;
    console.reportError(saveFailureText(failure));
  }
}

void listFacilityRecord(FileSystem& files, Console& console) {
  ListingSink sink(console);
  const FileState state = readFacilityFile(files, sink);
  if (!state.saved() && !state.read_in_part) console << kUnableToOpenFile;
  if (state.unreadable()) {
    console.reportError("cannot read " + std::string(kFacilityFileName) + ": " + state.reason);
  }
}

}  // namespace census
