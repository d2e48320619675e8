#include "commands/command_files.h"

#include "base/text.h"
#include "records/census_grid_file.h"
#include "records/dhis2_mapping.h"
#include "records/facility_file.h"
#include "records/history.h"
#include "records/state_lists.h"

namespace census {

std::string cannotReadLine(std::string_view file, const FileState& state) {
  return "census: cannot read " + std::string(file) + ": " + state.reason + "\n";
}

std::string ownFileProblem(FileSystem& files, const std::string& name) {
  const std::string output = files.canonicalName(name);
  std::vector<std::string> own = {std::string(kFacilityFileName), std::string(kCensusGridFileName),
                                  std::string(kDhis2MappingFileName)};
  for (const StateList& list : stateLists()) own.emplace_back(list.file_name);
  const auto problem = [&] {
    return "the output " + quotedForScreen(name) +
           " is one of the files census keeps in this folder; name another file";
  };
  for (const std::string& file : own) {
    if (files.canonicalName(file) == output) return problem();
  }
  const std::string folder = files.canonicalName(".");
  const std::string history = files.canonicalName(std::string(kHistoryFolder));
  if (output == history || output.starts_with(history + "/") ||
      output.starts_with(history + "\\")) {
    return problem();
  }
  const std::size_t slash = output.find_last_of("/\\");
  const std::string_view base = slash == std::string::npos
                                    ? std::string_view(output)
                                    : std::string_view(output).substr(slash + 1);
  const std::string parent = slash == std::string::npos ? "." : output.substr(0, slash);
  if (files.canonicalName(parent.empty() ? "/" : parent) == folder &&
      (base.starts_with(kSaveJournalName) || base.starts_with(kSaveLockName))) {
    return problem();
  }
  return "";
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
