// The one way the program reaches its files. Every read of a data file and
// every save goes through a FileSystem: the real one on disk, or one held in
// memory for the tests and the fuzz target, which need no disk and no chdir.
//
// A save replaces whole files, all of them or none: the new contents are
// written to temporary files of their own beside their targets, flushed to
// disk, and renamed over the targets only once every one of them is whole.
// Saves in one folder take turns, so two census processes saving at the same
// moment both succeed and each file ends as one whole save. A save cut short
// (killed, a power cut) is finished or discarded by recoverSaves at the next
// start, and leaves nothing behind once it has ended.
//
// Every save of a folder, of its data files, of its history or of both,
// takes the folder's one lock and is one transaction (transaction.cc). What
// a save leaves in a folder is its journal (journal.h). A start acts on a
// journal only where it is census's own: a regular file of the user running
// census (or of root), small, whose every name is one a save writes in that
// folder. Any other journal is never acted on: it is set aside as
// ".census-save.journal.rejected-TIME" and the start says so once
// (recovery.h).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "os/files.h"

namespace census {

// The line ends a new content is written with.
enum class LineEnds {
  kPlatform,  // "\n" is written as the platform's line end ("\r\n" on Windows)
  kExact,     // the bytes as they are
};

// A file to be saved and its whole new content.
struct FileReplacement {
  std::string name;  // as the program or the operator names it: "datas.dat", "out/x.csv"
  std::string content;
  LineEnds line_ends = LineEnds::kPlatform;
  // An output the operator named (export -o, report -o) rather than a data
  // file: where it is not a regular file (a FIFO, a terminal, /dev/stdout),
  // it is written into directly instead of being replaced.
  bool operator_output = false;
  // Where not empty, the file is replaced only while it is still the version
  // its new content was made from: fileVersion of what it holds at the
  // moment of the save must be this. Otherwise the save changes nothing
  // and fails with SaveFailure::changed set.
  std::string expected_version = {};
  // Where set, the file is removed instead, in the same save; one that is
  // not there stays so.
  bool remove = false;
  // Where not empty, the file takes the permission bits of this file each
  // time it is saved (a copy is readable by no more users than its
  // original).
  std::string permissions_of = {};
  // Where set and a regular file stands there already (a kept content,
  // named by its SHA-256), it is not written again unless its permission
  // bits differ from permissions_of's.
  bool reuse_existing = false;
  // Where not empty, the new content is the first copy_bytes bytes of this
  // file, byte for byte, and then content: a long log grows by an entry
  // without being held in memory. The save fails where that file no longer
  // has that many bytes.
  std::string copy_from = {};
  std::uint64_t copy_bytes = 0;
};

// Which file a save could not replace, and why ("Permission denied").
struct SaveFailure {
  std::string name;
  std::string reason;
  bool changed = false;  // the file is no longer the version expected
  bool busy = false;     // another save in the folder held its lock all the while
  bool decided = false;  // past the save's point of no return: the next start finishes it
};

// "cannot save datas.dat: Permission denied", and for a save past its
// point of no return, that the next start finishes it.
std::string saveFailureText(const SaveFailure& failure);

// An output the operator named, written as it is made: into a temporary
// file beside it, which replaces it once whole (commit). A descriptor of
// this process ("/dev/stdout") is written into as the output is made; a
// FIFO or a device, at commit. Dropped without commit, it leaves the
// output as it was and no temporary file behind.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual std::ostream& stream() = 0;
  // Makes the output whole where it is named; false with *failure set
  // where it could not be written, the old output then left as it was.
  virtual bool commit(SaveFailure* failure) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens a file for reading. A missing file is kMissing; a directory, a
  // file without read permission, one that fails to open, and a FIFO or a
  // device not named by its device name ("/dev/stdin") are kUnreadable.
  virtual OpenedFile openForReading(const std::string& name) = 0;

  // The stamp of a regular file (a symbolic link counts as the file it
  // leads to); nullopt where there is none or it cannot be looked at.
  virtual std::optional<FileStamp> stampOf(const std::string& name) = 0;

  // Makes the whole list of files a save replaces from the files asked for,
  // keeping the first one first; or returns false with *failure set.
  using Amendment = std::function<bool(std::span<const FileReplacement> files,
                                       std::vector<FileReplacement>* all, SaveFailure* failure)>;

  // Replaces files as replaceFiles does, and with them what amend adds,
  // which amend works out under the save's lock: what it reads through this
  // file system cannot change before the save has ended. A failure of
  // amend changes nothing.
  virtual bool replaceFilesAmended(std::span<const FileReplacement> files, const Amendment& amend,
                                   SaveFailure* failure) = 0;

  // Begins an output the operator named; null with *failure set where it
  // cannot be written (a directory stands there, no permission). This one
  // gathers the output and saves it whole at commit.
  virtual std::unique_ptr<OutputFile> beginOutput(const std::string& name, SaveFailure* failure);

  // Checks, changing nothing, that every file could be replaced now: each
  // is absent, or a regular file that may be written (a symbolic link
  // counts as the file it leads to). Returns false with *failure set for
  // the first that could not.
  virtual bool checkReplaceable(std::span<const FileReplacement> files, SaveFailure* failure) = 0;

  // Replaces every file with its new content, all or none. A symbolic link
  // is written through: the link stays and the file it leads to is
  // replaced. A replaced file keeps its permission bits. Returns false with
  // *failure set, every file left exactly as it was and no temporary file
  // left behind, where any of them cannot be replaced: a directory in its
  // place, a read-only file, a full disk.
  // REQUIRES: files is not empty; no name appears twice.
  virtual bool replaceFiles(std::span<const FileReplacement> files, SaveFailure* failure) = 0;

  // The bytes a save writes for the file: its content, with "\n" as the
  // platform's line end where it asks for that.
  virtual std::string contentAsWritten(const FileReplacement& file) const = 0;

  // Whether a folder stands at name; makes one there (in a folder that
  // exists), returning false with *reason set where it cannot.
  virtual bool folderExists(const std::string& name) = 0;
  virtual bool makeFolder(const std::string& name, std::string* reason) = 0;
  // Removes the folder at name where it is empty; leaves it otherwise.
  virtual void removeEmptyFolder(const std::string& name) = 0;

  // Why the history's folder here, or its log, is not census's to keep a
  // history in ("census-history is a symbolic link, ..."), or "" where the
  // folder is a real one of the user's own and the log a regular file of
  // theirs, or either is missing.
  virtual std::string historyProblem() { return ""; }

  // Finishes a save of the working directory that was cut short after it
  // was decided, or discards one cut short before, and removes what it left
  // behind. Reports nothing; a folder with nothing to finish is not touched.
  virtual void recoverSaves() = 0;

  // How long a save waits for another save in the same folder before it
  // gives up with SaveFailure::busy set; a server, which must keep
  // answering, waits not at all.
  virtual void setSavePatience(std::chrono::milliseconds) {}

  // The name by which a file is known once every link on its way is
  // followed, so that two names of one file have the same; for a file that
  // does not exist yet, its folder's followed and its own name appended.
  virtual std::string canonicalName(const std::string& name);

  // A text that is the same for two names of one file, whatever links or
  // mounts lead to it; for a file that does not exist yet, its
  // canonicalName.
  virtual std::string fileIdentity(const std::string& name) { return canonicalName(name); }

  // The descriptor of this process that an output name stands for
  // ("/dev/stdout" is 1), which a save writes at its current position; -1
  // where it stands for none.
  virtual int descriptorNamed(const std::string&) { return -1; }
};

// A FileSystem that passes every call on to another, for one that changes
// a few of them (as a recorder of saves does) to override just those.
class ForwardingFileSystem : public FileSystem {
 public:
  // files must outlive it.
  explicit ForwardingFileSystem(FileSystem& files) : files_(files) {}

  OpenedFile openForReading(const std::string& name) override {
    return files_.openForReading(name);
  }
  std::optional<FileStamp> stampOf(const std::string& name) override {
    return files_.stampOf(name);
  }
  bool replaceFilesAmended(std::span<const FileReplacement> files, const Amendment& amend,
                           SaveFailure* failure) override {
    return files_.replaceFilesAmended(files, amend, failure);
  }
  bool checkReplaceable(std::span<const FileReplacement> files, SaveFailure* failure) override {
    return files_.checkReplaceable(files, failure);
  }
  std::unique_ptr<OutputFile> beginOutput(const std::string& name, SaveFailure* failure) override {
    return files_.beginOutput(name, failure);
  }
  bool replaceFiles(std::span<const FileReplacement> files, SaveFailure* failure) override {
    return files_.replaceFiles(files, failure);
  }
  std::string contentAsWritten(const FileReplacement& file) const override {
    return files_.contentAsWritten(file);
  }
  bool folderExists(const std::string& name) override { return files_.folderExists(name); }
  bool makeFolder(const std::string& name, std::string* reason) override {
    return files_.makeFolder(name, reason);
  }
  void removeEmptyFolder(const std::string& name) override { files_.removeEmptyFolder(name); }
  void recoverSaves() override { files_.recoverSaves(); }
  void setSavePatience(std::chrono::milliseconds patience) override {
    files_.setSavePatience(patience);
  }
  std::string canonicalName(const std::string& name) override { return files_.canonicalName(name); }
  std::string fileIdentity(const std::string& name) override { return files_.fileIdentity(name); }
  std::string historyProblem() override { return files_.historyProblem(); }
  int descriptorNamed(const std::string& name) override { return files_.descriptorNamed(name); }

 protected:
  FileSystem& files_;
};

struct DiskOptions {
  // Where census says what the files made it do on its own: a journal set
  // aside, a wait for another save.
  std::function<void(const std::string& line)> notice;
  // How long a save waits for another save in its folder.
  std::chrono::milliseconds patience{std::chrono::seconds(30)};
};

// The file system of the machine, relative to the working directory.
std::unique_ptr<FileSystem> makeDiskFileSystem(DiskOptions options = {});

// Reads a whole file, byte for byte, into *content, or of a longer one its
// first `most` bytes. Returns false with *reason set ("No such file or
// directory", "Is a directory") where it cannot be read.
bool readWholeFile(FileSystem& files, const std::string& name, std::string* content,
                   std::string* reason, std::size_t most = static_cast<std::size_t>(-1));

// The version of a file: "absent" where there is none, else the SHA-256
// of its content. Returns false with *reason set where the file exists but
// cannot be read.
inline constexpr std::string_view kAbsentVersion = "absent";
bool fileVersion(FileSystem& files, const std::string& name, std::string* version,
                 std::string* reason);
std::string contentVersion(std::string_view content);

// Whether every file with an expected version is still that version; where
// one is not, or cannot be read, *failure says which and why.
bool versionsStillHold(FileSystem& files, std::span<const FileReplacement> replacements,
                       SaveFailure* failure);

}  // namespace census
