#include "fakes/memory_file_system.h"

#include "save/transaction.h"

namespace census {

MemoryFileSystem::MemoryFileSystem()
    : save_(makeSavingFileSystem(primitives_, DiskOptions{.notice = {}, .patience = {}})) {}

void MemoryFileSystem::set(const std::string& name, std::string content, Oddity oddity) {
  using Kind = MemoryPrimitives::Kind;
  static constexpr Kind kKinds[] = {Kind::kFile, Kind::kFolder, Kind::kUnreadableFile,
                                    Kind::kReadOnlyFile, Kind::kFailingFile};
  primitives_.set(name, std::move(content), kKinds[static_cast<int>(oddity)]);
}

void MemoryFileSystem::setSaveOutcome(SaveOutcome outcome) {
  primitives_.holdLockElsewhere(std::string(".census-save.lock"), outcome == SaveOutcome::kBusy);
  primitives_.refuseRenamesAfterCommit(outcome == SaveOutcome::kFailsWhenDecided);
}

}  // namespace census
