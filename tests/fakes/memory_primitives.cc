#include "fakes/memory_primitives.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "records/text_file.h"

namespace census {
namespace {

const std::string kStopped = "the machine stopped";

using Kind = MemoryPrimitives::Kind;

bool isFile(Kind kind) {
  return kind == Kind::kFile || kind == Kind::kForeignFile || kind == Kind::kUnreadableFile ||
         kind == Kind::kReadOnlyFile || kind == Kind::kFailingFile;
}

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

// The lock file stays where the holder is stopped: a killed process leaves
// it behind.
class MemoryPrimitives::Lock final : public HeldLock {
 public:
  Lock(MemoryPrimitives& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
  ~Lock() override {
    if (!owner_.stopped_) owner_.now_.erase(path_);
    owner_.locks_.erase(path_);
  }

 private:
  MemoryPrimitives& owner_;
  std::string path_;
};

void MemoryPrimitives::set(const std::string& name, std::string content, Kind kind) {
  now_[name] = Node{kind, std::move(content), 0644, ++generations_};
  flushed_[name] = now_[name];
}

void MemoryPrimitives::erase(const std::string& name) {
  now_.erase(name);
  flushed_.erase(name);
}

void MemoryPrimitives::holdLockElsewhere(const std::string& lock_path, bool held) {
  if (held) {
    locks_.insert(lock_path);
  } else {
    locks_.erase(lock_path);
  }
}

std::optional<std::string> MemoryPrimitives::file(const std::string& name) const {
  const Node* node = find(name);
  if (node == nullptr || !isFile(node->kind)) return std::nullopt;
  return node->content;
}

std::vector<std::string> MemoryPrimitives::names() const {
  std::vector<std::string> names;
  for (const auto& [name, node] : now_) names.push_back(name);
  return names;
}

void MemoryPrimitives::restartAfterKill() {
  stopped_ = false;
  operations_left_ = -1;
  locks_.clear();
}

void MemoryPrimitives::restartAfterPowerCut() {
  restartAfterKill();
  now_ = flushed_;
}

const MemoryPrimitives::Node* MemoryPrimitives::find(const std::string& name) const {
  const auto found = now_.find(name);
  return found == now_.end() ? nullptr : &found->second;
}

bool MemoryPrimitives::step(std::string* reason) {
  if (!stopped_ && operations_left_ == 0) stopped_ = true;
  if (stopped_) {
    *reason = kStopped;
    return false;
  }
  if (operations_left_ > 0) --operations_left_;
  return true;
}

bool MemoryPrimitives::takeSpace(std::size_t bytes, std::string* reason) {
  if (!space_left_) return true;
  if (bytes > *space_left_) {
    *reason = errorText(ENOSPC);
    return false;
  }
  *space_left_ -= bytes;
  return true;
}

OpenedFile MemoryPrimitives::openForReading(const std::string& name) {
  OpenedFile opened;
  const Node* node = find(name);
  if (node == nullptr) return opened;
  if (node->kind == Kind::kUnreadableFile) {
    opened.status = OpenStatus::kUnreadable;
    opened.reason = errorText(EACCES);
    return opened;
  }
  if (isFile(node->kind)) {
    opened = openedContent(node->content);
    if (node->kind == Kind::kFailingFile) {
      opened.file = std::make_unique<FailsMidwayFile>(std::move(opened.file));
    }
    return opened;
  }
  opened.status = OpenStatus::kUnreadable;
  opened.reason = node->kind == Kind::kFolder ? errorText(EISDIR) : "not a regular file";
  return opened;
}

std::optional<FileStamp> MemoryPrimitives::stampOf(const std::string& name) {
  const Node* node = find(name);
  if (node == nullptr || !isFile(node->kind) || node->kind == Kind::kForeignFile) {
    return std::nullopt;
  }
  return FileStamp{0, node->generation, node->content.size(), 0, 0};
}

bool MemoryPrimitives::readSmallFile(const std::string& path, std::size_t most,
                                     std::string* content, bool* longer, std::string* reason) {
  const Node* node = find(path);
  if (node == nullptr || !isFile(node->kind) || node->kind == Kind::kUnreadableFile) {
    *reason = node == nullptr                       ? errorText(ENOENT)
              : node->kind == Kind::kUnreadableFile ? errorText(EACCES)
                                                    : "not a regular file";
    return false;
  }
  *content = node->content.substr(0, most);
  *longer = node->content.size() > most;
  return true;
}

bool MemoryPrimitives::inspectFollowingLinks(const std::string& path, disk::PathInfo* info,
                                             std::string*, disk::Writability) {
  *info = disk::PathInfo{};
  const Node* node = find(path);
  if (node == nullptr) return true;
  switch (node->kind) {
    case Kind::kFile:
    case Kind::kForeignFile:
    case Kind::kUnreadableFile:
    case Kind::kFailingFile:
      info->kind = disk::Kind::kOwnFile;
      info->writable = true;
      info->mode = node->mode;
      return true;
    case Kind::kReadOnlyFile:
      info->kind = disk::Kind::kOwnFile;
      info->not_writable = errorText(EACCES);
      info->mode = node->mode;
      return true;
    case Kind::kFolder:
      info->kind = disk::Kind::kOwnDirectory;
      return true;
    case Kind::kFifo:
    case Kind::kLink:
      info->kind = disk::Kind::kOther;
      return true;
  }
  return true;
}

disk::Kind MemoryPrimitives::lookAtNotFollowing(const std::string& path) {
  const Node* node = find(path);
  if (node == nullptr) return disk::Kind::kMissing;
  switch (node->kind) {
    case Kind::kFile:
    case Kind::kUnreadableFile:
    case Kind::kReadOnlyFile:
    case Kind::kFailingFile:
      return disk::Kind::kOwnFile;
    case Kind::kForeignFile:
      return disk::Kind::kForeignFile;
    case Kind::kFolder:
      return disk::Kind::kOwnDirectory;
    case Kind::kLink:
      return disk::Kind::kLink;
    case Kind::kFifo:
      return disk::Kind::kOther;
  }
  return disk::Kind::kOther;
}

std::string MemoryPrimitives::canonicalPath(const std::string& path) {
  return std::filesystem::path(path).lexically_normal().generic_string();
}

bool MemoryPrimitives::folderTakesNewFiles(const std::string& folder, std::string* reason) {
  const Node* node = find(folder);
  if (folder == "." || (node != nullptr && node->kind == Kind::kFolder)) return true;
  *reason = "no such folder";
  return false;
}

bool MemoryPrimitives::createNew(const std::string& path, std::string_view content, unsigned mode,
                                 std::string* reason) {
  if (!step(reason)) return false;
  if (find(path) != nullptr) {
    *reason = errorText(EEXIST);
    return false;
  }
  if (!folderTakesNewFiles(disk::folderOf(path), reason) || !takeSpace(content.size(), reason)) {
    return false;
  }
  now_[path] = Node{Kind::kFile, std::string(content), mode == 0 ? 0644 : mode, ++generations_};
  return true;
}

// Written into the machine's file as it goes: a stop leaves it part written.
class MemoryPrimitives::Writer final : public NewFileWriter {
 public:
  Writer(MemoryPrimitives& machine, std::string path) : machine_(machine), path_(std::move(path)) {}
  bool write(std::string_view content, std::string* reason) override {
    if (!machine_.step(reason) || !machine_.takeSpace(content.size(), reason)) return false;
    machine_.now_[path_].content.append(content);
    return true;
  }
  bool finish(unsigned mode, std::string* reason) override {
    if (!machine_.step(reason)) return false;
    if (mode != 0) machine_.now_[path_].mode = mode;
    return true;
  }

 private:
  MemoryPrimitives& machine_;
  std::string path_;
};

std::unique_ptr<NewFileWriter> MemoryPrimitives::createForWriting(const std::string& path,
                                                                  std::string* reason) {
  if (!createNew(path, "", 0, reason)) return nullptr;
  return std::make_unique<Writer>(*this, path);
}

bool MemoryPrimitives::writeInto(const std::string&, std::string_view, std::string* reason) {
  *reason = "not a regular file";
  return false;
}

bool MemoryPrimitives::writeToDescriptor(int, std::string_view, std::string* reason) {
  *reason = errorText(EBADF);
  return false;
}

bool MemoryPrimitives::renameOver(const std::string& from, const std::string& to,
                                  std::string* reason) {
  if (!step(reason)) return false;
  const auto found = now_.find(from);
  if (found == now_.end()) {
    *reason = errorText(ENOENT);
    return false;
  }
  if (refuse_renames_ && !disk::baseNameOf(to).starts_with(".census-save")) {
    *reason = errorText(EIO);
    return false;
  }
  now_[to] = found->second;
  now_.erase(from);
  return true;
}

void MemoryPrimitives::removeFile(const std::string& path) {
  std::string ignored;
  if (step(&ignored)) now_.erase(path);
}

bool MemoryPrimitives::makeFolder(const std::string& path, std::string* reason) {
  if (!step(reason)) return false;
  if (find(path) != nullptr) {
    *reason = errorText(EEXIST);
    return false;
  }
  now_[path] = Node{Kind::kFolder, "", 0755, ++generations_};
  return true;
}

void MemoryPrimitives::removeEmptyFolder(const std::string& path) {
  std::string ignored;
  if (!step(&ignored)) return;
  for (const auto& [name, node] : now_) {
    if (name.starts_with(path + "/")) return;
  }
  now_.erase(path);
}

std::string MemoryPrimitives::ownerOf(const std::string& path) {
  const Node* node = find(path);
  return node != nullptr && node->kind == Kind::kForeignFile ? "mallory" : "";
}

std::string MemoryPrimitives::fileIdentity(const std::string& path) {
  return find(path) == nullptr ? "" : path;
}

std::vector<std::string> MemoryPrimitives::namesIn(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& [name, node] : now_) {
    if (disk::folderOf(name) == folder) found.push_back(disk::baseNameOf(name));
  }
  return found;
}

bool MemoryPrimitives::syncFolder(const std::string& path, std::string* reason) {
  if (!step(reason)) return false;
  const auto inFolder = [&](const std::string& name) { return disk::folderOf(name) == path; };
  std::erase_if(flushed_, [&](const auto& entry) { return inFolder(entry.first); });
  for (const auto& [name, node] : now_) {
    if (inFolder(name)) flushed_[name] = node;
  }
  return true;
}

disk::LockResult MemoryPrimitives::lockFolder(const std::string& lock_path, const disk::LockWait&,
                                              std::unique_ptr<HeldLock>* held,
                                              std::string* reason) {
  if (!step(reason)) return disk::LockResult::kFailed;
  if (locks_.contains(lock_path)) {
    *reason = "another save in this folder did not end";
    return disk::LockResult::kBusy;
  }
  const Node* node = find(lock_path);
  if (node != nullptr && node->kind != Kind::kFile) {
    *reason = "the save lock " + lock_path + " is not a regular file";
    return disk::LockResult::kFailed;
  }
  now_[lock_path] = Node{Kind::kFile, "1\n", 0600, ++generations_};
  locks_.insert(lock_path);
  *held = std::make_unique<Lock>(*this, lock_path);
  return disk::LockResult::kHeld;
}

std::string MemoryPrimitives::temporaryNameFor(const std::string& path, unsigned attempt) {
  const std::string folder = disk::folderOf(path);
  const std::string name =
      "." + disk::baseNameOf(path) + ".census-1-" + std::to_string(attempt) + ".tmp";
  return folder == "." ? name : folder + "/" + name;
}

}  // namespace census
