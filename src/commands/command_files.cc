#include "commands/command_files.h"

#include <algorithm>

#include "base/exit_status.h"
#include "base/text.h"
#include "records/census_grid_file.h"
#include "records/dhis2_mapping.h"
#include "records/facility_file.h"
#include "records/history.h"
#include "records/state_lists.h"
#include "save/journal.h"

namespace census {

std::string cannotReadLine(std::string_view file, const FileState& state) {
  return "census: cannot read " + std::string(file) + ": " + state.reason + "\n";
}

std::string ownFileProblem(FileSystem& files, const std::string& name) {
  const std::string output = files.canonicalName(name);
  const std::string identity = files.fileIdentity(name);
  std::vector<std::string> own = {std::string(kFacilityFileName), std::string(kCensusGridFileName),
                                  std::string(kDhis2MappingFileName)};
  for (const StateList& list : stateLists()) own.emplace_back(list.file_name);
  // What a save keeps beside them: its journal (and one set aside), its
  // lock, and everything in the history.
  const std::string history = files.canonicalName(std::string(kHistoryFolder));
  const std::string kept_beginnings[] = {files.canonicalName(std::string(kSaveJournalName)),
                                         files.canonicalName(std::string(kSaveLockName)),
                                         history + "/", history + "\\"};
  const bool is_own =
      output == history ||
      std::any_of(own.begin(), own.end(),
                  [&](const std::string& file) {
                    return files.canonicalName(file) == output ||
                           files.fileIdentity(file) == identity;
                  }) ||
      std::any_of(std::begin(kept_beginnings), std::end(kept_beginnings),
                  [&](const std::string& beginning) { return output.starts_with(beginning); });
  if (!is_own) return "";
  return "the output " + quotedForScreen(name) +
         " is one of the files census keeps in this folder; name another file";
}

bool saveOutputFile(FileSystem& files, const std::string& name, std::string content,
                    std::ostream& errors) {
  const FileReplacement save{.name = name,
                             .content = std::move(content),
                             .line_ends = LineEnds::kExact,
                             .operator_output = true};
  SaveFailure failure;
  if (files.replaceFiles({&save, 1}, &failure)) return true;
  errors << "census: cannot save " << safeForScreen(failure.name) << ": " << failure.reason << "\n";
  return false;
}

int writeOutputFile(FileSystem& files, const std::string& name,
                    const std::function<int(std::ostream& out)>& write, std::ostream& errors) {
  SaveFailure failure;
  std::unique_ptr<OutputFile> output = files.beginOutput(name, &failure);
  if (output != nullptr) {
    if (const int status = write(output->stream()); status != kExitSuccess) return status;
    if (output->commit(&failure)) return kExitSuccess;
  }
  errors << "census: cannot save " << safeForScreen(failure.name) << ": " << failure.reason << "\n";
  return kExitFailure;
}

bool saveDataFiles(FileSystem& files, std::span<const FileReplacement> saves, bool dry_run,
                   std::ostream& errors) {
  SaveFailure failure;
  if (dry_run ? files.checkReplaceable(saves, &failure) : files.replaceFiles(saves, &failure)) {
    return true;
  }
  failure.name = safeForScreen(failure.name);
  errors << "census: " << saveFailureText(failure)
         << (failure.decided ? "" : "; no file was changed") << "\n";
  return false;
}

}  // namespace census
