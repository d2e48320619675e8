// What census does with what an earlier save left in a folder: a journal
// to finish or undo, a journal that is not census's own, another user's
// files in a shared folder. Everything found there is checked before it is
// acted on, and nothing outside the folder is ever touched because of it.
#pragma once

#include <functional>
#include <string>

#include "os/primitives.h"

namespace census {

// Where census says what the files made it do on its own.
using Say = std::function<void(const std::string& line)>;

// Why the history's folder in folder is not census's to write in or read
// from, or "" where a real folder of the user running census (or of root)
// stands there, or nothing does. A link, even to a folder, is never the
// history's folder: a save through it would write wherever it leads.
std::string historyFolderProblem(FilePrimitives& p, const std::string& folder);

// The file that a save of name in folder replaces or removes, in *target:
// a data file or an output through its links (a link is written through);
// a name in the history as it stands, never through a link, in a history
// folder of census's own. Returns false with *problem set where name may
// not be written ("census-history is a symbolic link").
bool targetOf(FilePrimitives& p, const std::string& folder, const std::string& name, bool removed,
              std::string* target, std::string* problem);

// Finishes a save in folder that was cut short after it was decided, or
// undoes one cut short before, where its journal is census's own; sets any
// other journal aside and says so. Returns "" where the folder is then
// ready for a save, else why no save can be made there ("... belongs to
// another user (bob): ..."). REQUIRES: the folder's lock is held.
std::string settleJournal(FilePrimitives& p, const std::string& folder, const Say& say);

}  // namespace census
