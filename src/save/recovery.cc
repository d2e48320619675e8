#include "save/recovery.h"

#include <ctime>

#include "base/text.h"
#include "os/platform.h"
#include "save/journal.h"

namespace census {
namespace {

// "belongs to another user (bob)", as far as the system tells whose.
std::string foreignOwnerText(FilePrimitives& p, const std::string& path) {
  const std::string owner = p.ownerOf(path);
  return "belongs to another user" +
         (owner.empty() ? std::string() : " (" + safeForScreen(owner) + ")");
}

// "ask bob or the administrator to remove it", of whatever stands at path.
std::string askOwnerTo(FilePrimitives& p, const std::string& path, std::string_view what) {
  const std::string owner = p.ownerOf(path);
  return "ask " + (owner.empty() ? std::string("its owner") : safeForScreen(owner)) +
         " or the administrator to " + std::string(what);
}

// What stands where census keeps a file of its own and cannot be moved,
// and what the operator can do about it.
std::string inTheWay(FilePrimitives& p, const std::string& path) {
  switch (p.lookAtNotFollowing(path)) {
    // A file census counts as its own that it still cannot move is root's,
    // and this user is not root.
    case disk::Kind::kOwnFile:
    case disk::Kind::kForeignFile:
    case disk::Kind::kForeignDirectory:
      return safeForScreen(path) + " " + foreignOwnerText(p, path) +
             " and cannot be moved: " + askOwnerTo(p, path, "remove it");
    case disk::Kind::kOwnDirectory:
      return safeForScreen(path) +
             " is a directory where census keeps a file of its own: remove it";
    default:
      return safeForScreen(path) + " is in the way and cannot be removed: remove it";
  }
}

// Why what stands at the journal's name is no journal census may act on,
// or "" where it is one, its text then in *text.
std::string readOwnJournal(FilePrimitives& p, const std::string& path, std::string* text) {
  switch (p.lookAtNotFollowing(path)) {
    case disk::Kind::kMissing:
    case disk::Kind::kOwnFile:
      break;
    case disk::Kind::kForeignFile:
      return "it " + foreignOwnerText(p, path);
    case disk::Kind::kOwnDirectory:
    case disk::Kind::kForeignDirectory:
      return "it is a directory";
    case disk::Kind::kLink:
      return "it is a symbolic link";
    case disk::Kind::kOther:
      return "it is not a regular file";
  }
  bool longer = false;
  std::string reason;
  if (!p.readSmallFile(path, kMostJournalBytes, text, &longer, &reason)) {
    return "it cannot be read: " + reason;
  }
  if (longer) return "it is larger than " + std::to_string(kMostJournalBytes / 1024) + " KiB";
  return "";
}

// One file of a checked journal: its target and temporary file by their
// paths from the working directory.
struct Planned {
  std::string target;
  std::string temporary;  // "" for a file to remove
};

// The paths a journal's names stand for, each checked; "" where all may be
// acted on, else why not.
std::string plannedFiles(FilePrimitives& p, const std::string& folder, const JournalPlan& plan,
                         std::vector<Planned>* planned) {
  for (const JournalFile& file : plan.files) {
    Planned one;
    std::string problem;
    if (!targetOf(p, folder, file.name, file.temporary.empty(), &one.target, &problem)) {
      return "it names " + quotedForScreen(file.name) + ", but " + problem;
    }
    if (!file.temporary.empty()) {
      if (!isTemporaryNameFor(file.temporary, disk::baseNameOf(one.target))) {
        return "it names " + quotedForScreen(file.temporary) + ", which is no temporary file of " +
               quotedForScreen(file.name);
      }
      one.temporary = inFolder(disk::folderOf(one.target), file.temporary);
      const disk::Kind found = p.lookAtNotFollowing(one.temporary);
      if (found != disk::Kind::kMissing && found != disk::Kind::kOwnFile) {
        return "its temporary file " + quotedForScreen(file.temporary) + " is not census's own";
      }
    }
    planned->push_back(std::move(one));
  }
  return "";
}

// Finishes or undoes the save a checked journal describes.
void carryOut(FilePrimitives& p, bool committed, const std::vector<Planned>& planned) {
  std::string ignored;
  for (const Planned& file : planned) {
    if (file.temporary.empty()) {
      if (committed) p.removeFile(file.target);
    } else if (committed && p.lookAtNotFollowing(file.temporary) != disk::Kind::kMissing) {
      p.renameOver(file.temporary, file.target, &ignored);
      p.syncFolder(disk::folderOf(file.target), &ignored);
    } else {
      p.removeFile(file.temporary);
    }
  }
}

// Moves a journal census will not act on out of the way, keeping it as it
// is for whoever wants to see it; returns the name it is kept as, or "".
std::string setAside(FilePrimitives& p, const std::string& folder, const std::string& journal,
                     std::string* reason) {
  const std::string base =
      std::string(kSaveJournalName) + ".rejected-" + utcText(std::time(nullptr), "%Y%m%dT%H%M%SZ");
  std::string name = base;
  for (int n = 2; p.lookAtNotFollowing(inFolder(folder, name)) != disk::Kind::kMissing && n < 1000;
       ++n) {
    name = base + "-" + std::to_string(n);
  }
  if (!p.renameOver(journal, inFolder(folder, name), reason)) return "";
  std::string ignored;
  p.syncFolder(folder, &ignored);
  return name;
}

}  // namespace

std::string historyFolderProblem(FilePrimitives& p, const std::string& folder) {
  const std::string path = inFolder(folder, kHistoryFolderName);
  switch (p.lookAtNotFollowing(path)) {
    case disk::Kind::kMissing:
    case disk::Kind::kOwnDirectory:
      return "";
    case disk::Kind::kForeignDirectory:
      return std::string(kHistoryFolderName) + " " + foreignOwnerText(p, path) +
             ", so census keeps no history in it: " + askOwnerTo(p, path, "move it away");
    case disk::Kind::kLink:
      return std::string(kHistoryFolderName) +
             " is a symbolic link, not a folder of census's: move it away and save again";
    case disk::Kind::kOwnFile:
    case disk::Kind::kForeignFile:
    case disk::Kind::kOther:
      return std::string(kHistoryFolderName) +
             " is not a folder of census's: move it away and save again";
  }
  return "";
}

bool targetOf(FilePrimitives& p, const std::string& folder, const std::string& name, bool removed,
              std::string* target, std::string* problem) {
  const std::string path = inFolder(folder, name);
  if (!isHistoryName(name)) {
    // A file to remove goes by its name in the folder: a link is taken
    // away itself, never the file it leads to, which may be outside.
    *target = removed ? path : p.resolveLinks(path);
    return true;
  }
  if (std::string why = historyFolderProblem(p, folder); !why.empty()) {
    *problem = std::move(why);
    return false;
  }
  // Root's history in a shared folder is census's own, but only root may
  // write in it.
  const std::string history = inFolder(folder, kHistoryFolderName);
  if (std::string reason; p.lookAtNotFollowing(history) != disk::Kind::kMissing &&
                          !p.folderTakesNewFiles(history, &reason)) {
    const std::string owner = p.ownerOf(history);
    *problem = std::string(kHistoryFolderName) + ": " + reason +
               (owner.empty() ? std::string() : " (it belongs to " + safeForScreen(owner) + ")");
    return false;
  }
  switch (p.lookAtNotFollowing(path)) {
    case disk::Kind::kMissing:
    case disk::Kind::kOwnFile:
      *target = path;
      return true;
    case disk::Kind::kForeignFile:
      *problem = safeForScreen(name) + " " + foreignOwnerText(p, path);
      return false;
    case disk::Kind::kLink:
      *problem = safeForScreen(name) + " is a symbolic link";
      return false;
    default:
      *problem = safeForScreen(name) + " is not a regular file";
      return false;
  }
}

std::string settleJournal(FilePrimitives& p, const std::string& folder, const Say& say) {
  const std::string journal = inFolder(folder, kSaveJournalName);
  const std::string next = journal + ".new";
  // Only a save that commits writes it, as its own file, and renames it at
  // once: anything there now is left over, and goes where it may (a link
  // itself, never what it leads to).
  if (p.lookAtNotFollowing(next) != disk::Kind::kMissing) {
    p.removeFile(next);
    if (p.lookAtNotFollowing(next) != disk::Kind::kMissing) return inTheWay(p, next);
  }
  if (p.lookAtNotFollowing(journal) == disk::Kind::kMissing) return "";
  std::string text;
  JournalPlan plan;
  std::vector<Planned> planned;
  std::string problem = readOwnJournal(p, journal, &text);
  if (problem.empty()) problem = readJournal(text, &plan);
  if (problem.empty()) problem = plannedFiles(p, folder, plan, &planned);
  if (!problem.empty()) {
    std::string reason;
    const std::string kept = setAside(p, folder, journal, &reason);
    if (say) {
      say("census: ignored a save journal that is not census's own: " + problem +
          (kept.empty() ? " (it could not be set aside: " + reason + ")"
                        : " (kept as " + safeForScreen(kept) + ")"));
    }
    if (!kept.empty()) return "";
    return p.lookAtNotFollowing(journal) == disk::Kind::kForeignFile
               ? inTheWay(p, journal)
               : safeForScreen(journal) + " could not be set aside: " + reason;
  }
  carryOut(p, plan.committed, planned);
  p.removeFile(journal);
  // Root's journal in a shared folder is census's own, but no other user
  // may remove it.
  if (p.lookAtNotFollowing(journal) != disk::Kind::kMissing) return inTheWay(p, journal);
  return "";
}

}  // namespace census
