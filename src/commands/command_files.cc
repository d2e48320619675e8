#include "commands/command_files.h"

#include "base/text.h"

namespace census {

std::string cannotReadLine(std::string_view file, const FileState& state) {
  return "census: cannot read " + std::string(file) + ": " + state.reason + "\n";
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
  errors << "census: cannot save " << safeForScreen(failure.name) << ": " << failure.reason
         << "; no file was changed\n";
  return false;
}

}  // namespace census
