// The pages of the site, one function each, after the access rules have let
// the request in. Each reads the data files it shows through records/ and
// saves through the one writer.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commands/dhis2.h"
#include "records/history.h"
#include "save/file_system.h"
#include "web/http_message.h"

namespace census {

// "/": the five files, their status and how many findings each has.
HttpAnswer filesPage(FileSystem& files);

// What the pages keep between requests: the last form of each list, with
// the stamp of the file it was filled from, as a list is asked for far more
// often than it changes. A file changed since shows a new stamp.
struct PageMemory {
  struct Page {
    std::optional<FileStamp> stamp;  // of the file as it was read, once settled
    std::string content;
  };
  std::array<Page, 3> lists;
  // The last save of each data file, from the history's log as it was
  // when its stamp was taken.
  std::optional<FileStamp> log_stamp;
  std::vector<std::pair<std::string, std::string>> last_saves;  // file, "save 3, ..."
};

// The stamp, where it may be kept to stand for what was read: one settled
// by now; nullopt otherwise, so the file is read again next time.
std::optional<FileStamp> stampToKeep(const std::optional<FileStamp>& stamp);

// "/lists/N": a form of the list's figures; POST saves it.
HttpAnswer listPage(FileSystem& files, PageMemory& memory, int list_number,
                    const HttpRequest& request);
HttpAnswer saveList(FileSystem& files, int list_number, const HttpRequest& request);

// "/facility": the six answers; POST saves them.
HttpAnswer facilityPage(FileSystem& files, const HttpRequest& request);
HttpAnswer saveFacility(FileSystem& files, const HttpRequest& request);

// "/history": the saves the history keeps, newest first, each with a
// Restore button; POST "/history/restore" puts back the files as they were
// before the save it names, recorded as a restore where restoring is given.
HttpAnswer historyPage(FileSystem& files);
HttpAnswer restoreSave(FileSystem& files, RecordingFileSystem* restoring,
                       const HttpRequest& request);

// "Last saved ... (save 3, by serve, ada)" for a data file's page, or "".
std::string lastSavedHtml(FileSystem& files, PageMemory& memory, std::string_view file);

// "/grid?page=N": the census grid, 100 rows a page.
HttpAnswer gridPage(FileSystem& files, const HttpRequest& request);

// "/check": every finding of `census check`, each linked to where it is.
HttpAnswer checkPage(FileSystem& files);

// "/report": the page `census report` writes.
HttpAnswer reportPage(FileSystem& files);

// "/export.csv", "/export.json": what `census export` writes.
HttpAnswer exportDownload(FileSystem& files, bool json);

// "/export.dhis2.json", "/export.adx": what `census export --format dhis2`
// and `--format adx` write.
HttpAnswer dhis2Download(FileSystem& files, Dhis2Format format);

// "/import": the upload form; POST "/import" previews a CSV file, POST
// "/import/apply" saves it.
HttpAnswer importPage();
HttpAnswer previewImport(FileSystem& files, const HttpRequest& request);
HttpAnswer applyImport(FileSystem& files, const HttpRequest& request);

}  // namespace census

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "commands/check.h"
#include "records/population_file.h"
#include "records/state_lists.h"

namespace census {

// A list's population file as the form shows it: each state's figures from
// the line that bears its label, and its check's findings, from one read.
struct ListOnDisk {
  struct Line {
    std::size_t number = 0;
    std::size_t position = 0;  // of the state it fills; the list's size for none
    std::array<std::size_t, kFigureCount> columns{};  // 0-based, of each figure
    std::string text;                                 // of a line that fills none
  };
  FileState state;
  std::string version;  // of the content read; "" where it cannot be read
  std::array<std::optional<PopulationFigures>, kMostStatesInAList> figures;
  // At most kMostKept of each, however long the file: the rest are counted.
  static constexpr std::size_t kMostKept = 500;
  std::vector<Line> lines;
  std::vector<Finding> findings;
  std::size_t lines_not_kept = 0;  // of those that fill no state
  std::size_t findings_not_kept = 0;
};
ListOnDisk readListOnDisk(FileSystem& files, const StateList& list);

// Where on the site a finding is shown: "/lists/1#s3-male", "/grid?page=2#row-150".
std::string findingLink(const Finding& finding,
                        const std::array<ListOnDisk, kStateListCount>& lists);

// The HTML of a finding line, as `census check` words it.
std::string findingHtml(const Finding& finding);

}  // namespace census
