#include "records/facility_file.h"

namespace census {

const std::array<std::string_view, kFacilityAnswerCount> kFacilityCaptions = {
    "----> The State Where You Are Using This Product(Application-Program) Is Being Used :: ",
    "----> One Family Healthcare Planning Facility In This Region(State) :: ",
    "----> Another(A Registered) Healthcare Facility In The Same Region With Few Distance Apart "
    ":: ",
    "----> A Near By Park(Recreation Facility) 'Located 10-20 Km' Away For One Of The Options "
    "Above :: ",
    "----> A State Owned Facility(Office-Building) In The State Where The Information Was Givesn "
    ":: ",
    "----> Date Information(Record) Was Provided(Given) At The Prompt :: ",
};

FacilityLine splitFacilityLine(std::string_view line) {
  for (const std::string_view caption : kFacilityCaptions) {
    if (line.starts_with(caption)) {
      return {caption.substr(0, caption.size() - 1), line.substr(caption.size())};
    }
  }
  return {{}, line};
}

std::string formatFacilityFile(const std::array<std::string, kFacilityAnswerCount>& answers) {
  std::string content;
  for (std::size_t i = 0; i < kFacilityAnswerCount; ++i) {
    content.append(kFacilityCaptions[i]).append(answers[i]).push_back('\n');
  }
  return content;
}

FileReplacement facilityFileReplacement(
    const std::array<std::string, kFacilityAnswerCount>& answers) {
  return {.name = std::string(kFacilityFileName), .content = formatFacilityFile(answers)};
}

bool writeFacilityFile(FileSystem& files,
                       const std::array<std::string, kFacilityAnswerCount>& answers,
                       SaveFailure* failure) {
  const FileReplacement save = facilityFileReplacement(answers);
  return files.replaceFiles({&save, 1}, failure);
}

FileState readFacilityFile(FileSystem& files, FacilitySink& sink) {
  return readFacilityFile(files.openForReading(std::string(kFacilityFileName)), sink);
}

FileState readFacilityFile(OpenedFile opened, FacilitySink& sink) {
  TextFileReader file(std::move(opened));
  std::size_t number = 0;
  for (std::string_view text; file.nextLine(text);) sink.onLine(++number, text);
  return stateAfterReading(file);
}

}  // namespace census
