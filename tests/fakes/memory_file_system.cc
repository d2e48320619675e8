#include "fakes/memory_file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "records/text_file.h"

namespace census {
namespace {

// A file whose first read goes as any other, and every read after it fails.
class FailsMidwayFile final : public InputFile {
 public:
  explicit FailsMidwayFile(std::unique_ptr<InputFile> file) : file_(std::move(file)) {}

  bool read(char* buffer, std::size_t size, std::size_t* count, std::string* reason) override {
    if (read_once_) {
      *count = 0;
      *reason = errorText(EIO);
      return false;
    }
    read_once_ = true;
    return file_->read(buffer, size, count, reason);
  }

  bool seek(std::uint64_t offset, std::string* reason) override {
    return file_->seek(offset, reason);
  }

 private:
  std::unique_ptr<InputFile> file_;
  bool read_once_ = false;
};

}  // namespace

void MemoryFileSystem::set(const std::string& name, std::string content, Oddity oddity) {
  entries_[name] = Entry{std::move(content), oddity, ++generations_};
}

void MemoryFileSystem::remove(const std::string& name) { entries_.erase(name); }

std::optional<std::string> MemoryFileSystem::get(const std::string& name) const {
  const auto found = entries_.find(name);
  if (found == entries_.end() || found->second.oddity == Oddity::kDirectory) return std::nullopt;
  return found->second.content;
}

OpenedFile MemoryFileSystem::openForReading(const std::string& name) {
  OpenedFile opened;
  const auto found = entries_.find(name);
  if (found == entries_.end()) return opened;
  switch (found->second.oddity) {
    case Oddity::kDirectory:
      opened.status = OpenStatus::kUnreadable;
      opened.reason = errorText(EISDIR);
      return opened;
    case Oddity::kUnreadable:
      opened.status = OpenStatus::kUnreadable;
      opened.reason = errorText(EACCES);
      return opened;
    default:
      opened = openedContent(found->second.content);
      if (found->second.oddity == Oddity::kFailsMidway) {
        opened.file = std::make_unique<FailsMidwayFile>(std::move(opened.file));
      }
      return opened;
  }
}

bool MemoryFileSystem::checkReplaceable(std::span<const FileReplacement> files,
                                        SaveFailure* failure) {
  for (const FileReplacement& file : files) {
    const auto found = entries_.find(file.name);
    if (found == entries_.end()) continue;
    if (found->second.oddity == Oddity::kDirectory) {
      *failure = {file.name, errorText(EISDIR)};
      return false;
    }
    if (found->second.oddity == Oddity::kReadOnly) {
      *failure = {file.name, errorText(EACCES)};
      return false;
    }
  }
  return true;
}

bool MemoryFileSystem::folderExists(const std::string& name) {
  const auto entry = entries_.find(name);
  if (entry != entries_.end()) return entry->second.oddity == Oddity::kDirectory;
  const auto inside = entries_.lower_bound(name + "/");
  return inside != entries_.end() && inside->first.starts_with(name + "/");
}

bool MemoryFileSystem::makeFolder(const std::string& name, std::string* reason) {
  const auto entry = entries_.find(name);
  if (entry != entries_.end() && entry->second.oddity != Oddity::kDirectory) {
    *reason = errorText(EEXIST);
    return false;
  }
  entries_[name] = Entry{"", Oddity::kDirectory, ++generations_};
  return true;
}

void MemoryFileSystem::removeEmptyFolder(const std::string& name) {
  const auto entry = entries_.find(name);
  const auto inside = entries_.lower_bound(name + "/");
  const bool empty = inside == entries_.end() || !inside->first.starts_with(name + "/");
  if (entry != entries_.end() && entry->second.oddity == Oddity::kDirectory && empty) {
    entries_.erase(entry);
  }
}

std::optional<FileStamp> MemoryFileSystem::stampOf(const std::string& name) {
  const auto entry = entries_.find(name);
  if (entry == entries_.end() || entry->second.oddity == Oddity::kDirectory) return std::nullopt;
  return FileStamp{0, entry->second.generation, entry->second.content.size(), 0, 0};
}

bool MemoryFileSystem::replaceFiles(std::span<const FileReplacement> files, SaveFailure* failure) {
  if (outcome_ == SaveOutcome::kBusy) {
    *failure = {files.front().name, "another save in this folder did not end"};
    failure->busy = true;
    return false;
  }
  if (!checkReplaceable(files, failure) || !versionsStillHold(*this, files, failure)) return false;
  if (outcome_ == SaveOutcome::kFailsWhenDecided) {
    *failure = {files.back().name, errorText(EIO)};
    failure->decided = true;
    return false;
  }
  std::size_t size = 0;
  for (const FileReplacement& file : files) size += file.content.size();
  if (space_left_ && size > *space_left_) {
    *failure = {files.front().name, errorText(ENOSPC)};
    return false;
  }
  if (space_left_) *space_left_ -= size;
  // Every new content is made before any file changes, as on a disk.
  std::vector<std::string> contents;
  for (const FileReplacement& file : files) {
    contents.push_back(file.copy_from.empty()
                           ? file.content
                           : get(file.copy_from).value_or("").substr(0, file.copy_bytes) +
                                 file.content);
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (files[i].remove) {
      entries_.erase(files[i].name);
    } else {
      entries_[files[i].name] = Entry{std::move(contents[i]), Oddity::kNone, ++generations_};
    }
  }
  ++saves_;
  return true;
}

}  // namespace census
