// The primitives on the machine's disk: each is one of disk.h's calls, and
// reading goes through the C library.
#include <cerrno>

#include "os/disk.h"
#include "os/primitives.h"

namespace census {
namespace {

class DiskInputFile final : public InputFile {
 public:
  explicit DiskInputFile(std::FILE* file) : file_(file) {}
  ~DiskInputFile() override { std::fclose(file_); }
  DiskInputFile(const DiskInputFile&) = delete;
  DiskInputFile& operator=(const DiskInputFile&) = delete;

  bool read(char* buffer, std::size_t size, std::size_t* count, std::string* reason) override {
    errno = 0;
    *count = std::fread(buffer, 1, size, file_);
    if (*count > 0 || std::ferror(file_) == 0) return true;
    *reason = errorText(errno == 0 ? EIO : errno);
    return false;
  }

  bool seek(std::uint64_t offset, std::string* reason) override {
#ifdef _WIN32
    const bool moved = _fseeki64(file_, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    const bool moved = fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
    if (!moved) *reason = errorText(errno == 0 ? EIO : errno);
    return moved;
  }

 private:
  std::FILE* file_;
};

class DiskFileWriter final : public NewFileWriter {
 public:
  disk::NewFile file;
  bool write(std::string_view content, std::string* reason) override {
    return file.append(content, reason);
  }
  bool finish(unsigned mode, std::string* reason) override { return file.finish("", mode, reason); }
};

class DiskLock final : public HeldLock {
 public:
  disk::FolderLock lock;
};

class DiskPrimitives final : public FilePrimitives {
 public:
  OpenedFile openForReading(const std::string& name) override {
    disk::PathInfo info;
    OpenedFile opened;
    if (!disk::inspectFollowingLinks(name, &info, &opened.reason, disk::Writability::kSkip)) {
      opened.status = OpenStatus::kUnreadable;
      return opened;
    }
    if (info.kind == disk::Kind::kMissing) return opened;
    opened.status = OpenStatus::kUnreadable;
    if (disk::isDirectory(info.kind)) {
      opened.reason = errorText(EISDIR);
      return opened;
    }
    // A FIFO or a device in place of a file could keep a reader waiting
    // for ever; only one the operator names by its device name is read.
    if (info.kind == disk::Kind::kOther && !disk::isDeviceName(name)) {
      opened.reason = "not a regular file";
      return opened;
    }
    std::FILE* file = disk::openToRead(name, &opened.reason);
    if (file == nullptr) return opened;
    opened.status = OpenStatus::kOpen;
    opened.file = std::make_unique<DiskInputFile>(file);
    return opened;
  }

  std::optional<FileStamp> stampOf(const std::string& name) override {
    FileStamp stamp;
    if (!disk::stampOf(name, &stamp)) return std::nullopt;
    return stamp;
  }

  bool readSmallFile(const std::string& path, std::size_t most, std::string* content, bool* longer,
                     std::string* reason) override {
    return disk::readSmallFile(path, most, content, longer, reason);
  }

  bool inspectFollowingLinks(const std::string& path, disk::PathInfo* info, std::string* reason,
                             disk::Writability writability) override {
    return disk::inspectFollowingLinks(path, info, reason, writability);
  }
  disk::Kind lookAtNotFollowing(const std::string& path) override {
    return disk::lookAtNotFollowing(path);
  }
  std::string ownerOf(const std::string& path) override { return disk::ownerOf(path); }
  std::string fileIdentity(const std::string& path) override { return disk::fileIdentity(path); }
  std::vector<std::string> namesIn(const std::string& folder) override {
    return disk::namesIn(folder);
  }
  bool processRuns(unsigned long process) override { return disk::processRuns(process); }
  std::string resolveLinks(const std::string& path) override { return disk::resolveLinks(path); }
  std::string canonicalPath(const std::string& path) override { return disk::canonicalPath(path); }
  int descriptorNamed(const std::string& path) override { return disk::descriptorNamed(path); }
  bool folderTakesNewFiles(const std::string& folder, std::string* reason) override {
    return disk::folderTakesNewFiles(folder, reason);
  }
  std::string absolutePath(const std::string& path) override { return disk::absolutePath(path); }

  bool createNew(const std::string& path, std::string_view content, unsigned mode,
                 std::string* reason) override {
    disk::NewFile file;
    return file.create(path, reason) && file.finish(content, mode, reason);
  }
  std::unique_ptr<NewFileWriter> createForWriting(const std::string& path,
                                                  std::string* reason) override {
    auto writer = std::make_unique<DiskFileWriter>();
    if (!writer->file.create(path, reason)) return nullptr;
    return writer;
  }
  bool writeInto(const std::string& path, std::string_view content, std::string* reason) override {
    return disk::writeInto(path, content, reason);
  }
  bool writeToDescriptor(int descriptor, std::string_view content, std::string* reason) override {
    return disk::writeToDescriptor(descriptor, content, reason);
  }
  bool renameOver(const std::string& from, const std::string& to, std::string* reason) override {
    return disk::renameOver(from, to, reason);
  }
  void removeFile(const std::string& path) override { disk::removeFile(path); }
  bool makeFolder(const std::string& path, std::string* reason) override {
    return disk::makeFolder(path, reason);
  }
  void removeEmptyFolder(const std::string& path) override { disk::removeEmptyFolder(path); }
  bool syncFolder(const std::string& path, std::string* reason) override {
    return disk::syncFolder(path, reason);
  }
  disk::LockResult lockFolder(const std::string& lock_path, const disk::LockWait& wait,
                              std::unique_ptr<HeldLock>* held, std::string* reason) override {
    auto lock = std::make_unique<DiskLock>();
    const disk::LockResult result = lock->lock.acquire(lock_path, wait, reason);
    if (result == disk::LockResult::kHeld) *held = std::move(lock);
    return result;
  }

  std::string temporaryNameFor(const std::string& path, unsigned attempt) override {
    return disk::temporaryNameFor(path, attempt);
  }
  std::string withPlatformLineEnds(std::string_view text) override {
    return disk::withPlatformLineEnds(text);
  }
};

}  // namespace

std::unique_ptr<FilePrimitives> makeDiskPrimitives() { return std::make_unique<DiskPrimitives>(); }

}  // namespace census
