// The saves over a set of primitives: the disk's (makeDiskFileSystem), or
// the tests' own, which can stop the machine after any step.
#pragma once

#include <memory>

#include "os/primitives.h"
#include "save/file_system.h"

namespace census {

// The FileSystem over these primitives: reads through them, and saves as
// transactions with a journal, recovered from at the next start. The
// primitives must outlive it.
std::unique_ptr<FileSystem> makeSavingFileSystem(FilePrimitives& primitives,
                                                 DiskOptions options = {});

}  // namespace census
