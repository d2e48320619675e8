// `census history` and `census restore`: the saves a folder's history holds
// (records/history.h), said in words, and a way back to the files as they
// were before any of them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "records/history.h"
#include "save/file_system.h"

namespace census {

// What one save did to one file, in words, from the contents the history
// keeps:
//   "datas.dat: 2 states changed: Kano total 1,000,000 → 1,010,000, Oyo male 5 → 6"
//   "Recs-Loc.dat: made", "Loc-datas.dat: removed"
std::string describeChange(FileSystem& files, const HistoryFile& file);

// What a push sent, in words: "sent to https://dhis2.example.org: 144
// imported, 0 updated, 0 ignored".
std::string describePush(const HistoryEntry& entry);

// "12  2026-12-10T17:30:00Z  serve  ada  datas.dat: ...; Recs-Loc.dat: made"
std::string describeEntry(FileSystem& files, const HistoryEntry& entry);

// The command: the saves newest first, those that touched file only where
// it is not empty, as lines or (json) as one JSON document. With start,
// makes the history first. Without a history, says how to start one.
// Returns kExitSuccess, or kExitFailure where the log cannot be read or the
// history cannot be made.
int runHistory(FileSystem& files, const std::string& file, bool json, bool start, std::ostream& out,
               std::ostream& errors);

// The command: puts the files that save `number` changed (or those of them
// named) back as they were before it, as one save, which the history
// records in its turn; with dry_run says what would change and writes
// nothing. Returns kExitUsage for a number or a file that save does not
// have, kExitFailure where a kept content is missing or the save fails.
int runRestore(FileSystem& files, const std::string& number, const std::vector<std::string>& names,
               bool dry_run, std::ostream& out, std::ostream& errors);

}  // namespace census
