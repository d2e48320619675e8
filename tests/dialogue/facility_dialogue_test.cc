#include "dialogue/facility_dialogue.h"

#include <cerrno>
#include <sstream>

#include "records/text_file.h"
#include "test_support.h"

namespace census {
namespace {

class FacilityRecord : public InMemory {
 protected:
  std::string enter(const std::string& input) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream errors;
    Console console(in, out, errors);
    enterFacilityRecord(files, console);
    console.flush();
    errors_said = errors.str();
    // What the next read of the run would take.
    std::string rest;
    std::getline(in, rest, '\0');
    left_over = rest;
    return out.str();
  }

  std::string list() {
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream errors;
    Console console(in, out, errors);
    listFacilityRecord(files, console);
    console.flush();
    return out.str();
  }

  std::string left_over;    // what the next read of the run would take
  std::string errors_said;  // what the last entry wrote on its error stream
};

const std::string kPrompts =
    "  <---- Provide The Name Of The State Where You Are Using This Product(Application-Program) "
    "<---- \n"
    "  <---- Enter One Family Healthcare Planning Facility In This Region(State) <---- \n"
    "  <---- Provide One(Another) Healthcare Facility In The Same Region With Few Distance Apart "
    "<---- \n"
    "  <---- Enter A Near By Park(Recreation Facility) 'Located 10-20 Km' Away From One Of The "
    "Options Above <---- \n"
    "  <---- Provide One(A) State Owned Facility(Office - Building) In This State For Your "
    "Record(Research) <---- \n"
    "  <---- What Is Today's Date And Enter It At The Next Prompt Also  <---- \n";

std::string savedRecord(const std::string& a1, const std::string& a2, const std::string& a3,
                        const std::string& a4, const std::string& a5, const std::string& a6) {
  return "----> The State Where You Are Using This Product(Application-Program) Is Being Used :: " +
         a1 + "\n----> One Family Healthcare Planning Facility In This Region(State) :: " + a2 +
         "\n----> Another(A Registered) Healthcare Facility In The Same Region With Few Distance "
         "Apart :: " +
         a3 +
         "\n----> A Near By Park(Recreation Facility) 'Located 10-20 Km' Away For One Of The "
         "Options Above :: " +
         a4 +
         "\n----> A State Owned Facility(Office-Building) In The State Where The Information Was "
         "Givesn :: " +
         a5 + "\n----> Date Information(Record) Was Provided(Given) At The Prompt :: " + a6 + "\n";
}

TEST_F(FacilityRecord, SavesOneWordAnswersBehindTheirCaptions) {
  EXPECT_EQ(
      enter("Lagos\nClinic-2\n\n\n  St.Mary's\nPark/10km\nSecretariat\n10/12/2026 is today\n"),
      kPrompts);
  EXPECT_EQ(readFile("Recs-Loc.dat"), savedRecord("Lagos", "Clinic-2", "St.Mary's", "Park/10km",
                                                  "Secretariat", "10/12/2026"));
  EXPECT_EQ(left_over, " is today\n");
}

TEST_F(FacilityRecord, AnswersTypedAheadOnOneLineAreTakenByTheNextPrompts) {
  EXPECT_EQ(enter("Kano Hospital Clinic Park Office 2026-12-10 5\n"), kPrompts);
  EXPECT_EQ(readFile("Recs-Loc.dat"),
            savedRecord("Kano", "Hospital", "Clinic", "Park", "Office", "2026-12-10"));
  EXPECT_EQ(left_over, " 5\n");
}

TEST_F(FacilityRecord, ASecondEntryReplacesTheFirst) {
  enter("a b c d e f");
  enter("u v w x y z");
  EXPECT_EQ(readFile("Recs-Loc.dat"), savedRecord("u", "v", "w", "x", "y", "z"));
}

TEST_F(FacilityRecord, EndOfInputAbandonsTheEntry) {
  enter("a b c d e f");
  const std::string output = enter("one two three");
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 4);
  EXPECT_EQ(readFile("Recs-Loc.dat"), savedRecord("a", "b", "c", "d", "e", "f"));
}

TEST_F(FacilityRecord, AFailedSaveSaysSoAndKeepsWhatStoodThere) {
  files.set("Recs-Loc.dat", "", MemoryFileSystem::Oddity::kDirectory);
  EXPECT_EQ(enter("a b c d e f"), kPrompts + "Unable to open file\n");
  EXPECT_EQ(files.saves(), 0u);
  EXPECT_EQ(list(), "Unable to open file");
}

TEST_F(FacilityRecord, ListsThreeConsoleLinesPerStoredLine) {
  const std::string rule = std::string(123, '-') + "\n";
  EXPECT_EQ(list(), "Unable to open file");
  writeFile("Recs-Loc.dat", "");
  EXPECT_EQ(list(), "");
  writeFile("Recs-Loc.dat", "one\n\nthree");
  EXPECT_EQ(list(), rule + " \n  one\n" + rule + " \n  \n" + rule + " \n  three\n");
  enter("a b c d e f");
  const std::string listed = list();
  EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 18);
  EXPECT_TRUE(listed.ends_with(
      " \n  ----> Date Information(Record) Was Provided(Given) At The Prompt :: f\n"));
}

}  // namespace
}  // namespace census
