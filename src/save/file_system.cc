#include "save/file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "base/sha256.h"

namespace census {

std::string saveFailureText(const SaveFailure& failure) {
  return "cannot save " + failure.name + ": " + failure.reason +
         (failure.decided ? "; the save is decided, and the next start of census finishes it" : "");
}

namespace {

// An output gathered whole and saved at commit, by a file system that
// cannot write one as it is made.
class GatheredOutput final : public OutputFile {
 public:
  GatheredOutput(FileSystem& files, std::string name) : files_(files), name_(std::move(name)) {}
  std::ostream& stream() override { return content_; }
  bool commit(SaveFailure* failure) override {
    const FileReplacement save{.name = name_,
                               .content = std::move(content_).str(),
                               .line_ends = LineEnds::kExact,
                               .operator_output = true};
    return files_.replaceFiles({&save, 1}, failure);
  }

 private:
  FileSystem& files_;
  std::string name_;
  std::ostringstream content_;
};

}  // namespace

std::unique_ptr<OutputFile> FileSystem::beginOutput(const std::string& name, SaveFailure* failure) {
  const FileReplacement save{
      .name = name, .content = "", .line_ends = LineEnds::kExact, .operator_output = true};
  if (!checkReplaceable({&save, 1}, failure)) return nullptr;
  return std::make_unique<GatheredOutput>(*this, name);
}

std::string FileSystem::canonicalName(const std::string& name) {
  std::string normal = std::filesystem::path(name).lexically_normal().generic_string();
  return normal.empty() ? "." : normal;
}

bool readWholeFile(FileSystem& files, const std::string& name, std::string* content,
                   std::string* reason, std::size_t most) {
  OpenedFile opened = files.openForReading(name);
  if (opened.status != OpenStatus::kOpen) {
    *reason = opened.status == OpenStatus::kMissing ? errorText(ENOENT) : opened.reason;
    return false;
  }
  content->clear();
  constexpr std::size_t kBlock = 64 * 1024;
  while (content->size() < most) {
    const std::size_t size = content->size();
    const std::size_t block = std::min(kBlock, most - size);
    content->resize(size + block);
    std::size_t read = 0;
    const bool ok = opened.file->read(content->data() + size, block, &read, reason);
    content->resize(size + read);
    if (!ok) return false;
    if (read == 0) return true;
  }
  return true;
}

std::string contentVersion(std::string_view content) { return sha256Hex(content); }

bool fileVersion(FileSystem& files, const std::string& name, std::string* version,
                 std::string* reason) {
  OpenedFile opened = files.openForReading(name);
  if (opened.status == OpenStatus::kMissing) {
    *version = kAbsentVersion;
    return true;
  }
  if (opened.status != OpenStatus::kOpen) {
    *reason = opened.reason;
    return false;
  }
  std::string content;
  if (!readInputFile(*opened.file, &content, reason)) return false;
  *version = contentVersion(content);
  return true;
}

bool versionsStillHold(FileSystem& files, std::span<const FileReplacement> replacements,
                       SaveFailure* failure) {
  for (const FileReplacement& file : replacements) {
    if (file.expected_version.empty()) continue;
    std::string version;
    std::string reason;
    if (!fileVersion(files, file.name, &version, &reason)) {
      *failure = {file.name, reason, false};
      return false;
    }
    if (version != file.expected_version) {
      *failure = {file.name, "changed since it was read", true};
      return false;
    }
  }
  return true;
}

}  // namespace census
