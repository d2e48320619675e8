// The pages that review the files as a whole: the file list, the check, the
// report, the exports and the import.
#include <algorithm>
#include <map>
#include <sstream>

#include "base/decimal.h"
#include "commands/export.h"
#include "commands/history.h"
#include "commands/import.h"
#include "commands/report.h"
#include "records/census_grid_file.h"
#include "records/facility_file.h"
#include "web/page.h"
#include "web/pages.h"

namespace census {
namespace {

// Where each data file is shown.
struct FilePage {
  std::string_view file;
  std::string_view path;
  std::string_view what;
};
constexpr std::array<FilePage, 5> kFilePages = {{
    {"datas.dat", "/lists/1", "population figures, list 1"},
    {"Loc-datas.dat", "/lists/2", "population figures, list 2"},
    {"Loc-datas0.dat", "/lists/3", "population figures, list 3"},
    {kCensusGridFileName, "/grid", "census grid"},
    {kFacilityFileName, "/facility", "facility record"},
}};

std::string_view pathOf(std::string_view file) {
  for (const FilePage& page : kFilePages) {
    if (page.file == file) return page.path;
  }
  return "/";
}

std::string statusText(const FileState& state) {
  if (state.unreadable()) return "cannot be read: " + html(state.reason);
  return std::string(statusName(state.status));
}

std::array<ListOnDisk, kStateListCount> readLists(FileSystem& files) {
  std::array<ListOnDisk, kStateListCount> lists;
  for (const StateList& list : stateLists()) {
    lists[static_cast<std::size_t>(list.number - 1)] = readListOnDisk(files, list);
  }
  return lists;
}

// The figures a list now holds, as a table by position.
std::string figureOrNothing(const std::optional<PopulationFigures>& figures, std::size_t figure) {
  return figures ? std::to_string((*figures)[figure]) : "nothing";
}

using FormFields = std::vector<std::pair<std::string, std::string>>;

// The CSV of an import form: the uploaded file, or the text the preview
// carried on.
std::optional<std::string> importedText(const HttpRequest& request) {
  const std::string_view type = request.header("content-type").value_or("");
  if (auto text = multipartField(type, request.body, "file")) return text;
  if (auto text = multipartField(type, request.body, "csv")) return text;
  return std::nullopt;
}

std::string versionField(std::size_t list_index) { return "version" + number(list_index + 1); }

HttpAnswer importProblems(int status, const std::string& problems) {
  return pageAnswer(status, "Import",
                    "<p class=\"problem\" role=\"alert\">Nothing was saved: the file has these "
                    "problems.</p>\n<pre>" +
                        html(problems) +
                        "</pre>\n<p><a href=\"/import\">Choose another file</a></p>\n");
}

}  // namespace

std::string findingHtml(const Finding& finding) {
  return "<code>" + html(formatFinding(finding)) + "</code>";
}

std::string findingLink(const Finding& finding,
                        const std::array<ListOnDisk, kStateListCount>& lists) {
  const std::string path(pathOf(finding.file));
  if (finding.line == 0) return path;
  for (const StateList& list : stateLists()) {
    if (list.file_name != finding.file) continue;
    for (const ListOnDisk::Line& line : lists[static_cast<std::size_t>(list.number - 1)].lines) {
      if (line.number != finding.line) continue;
      if (line.position >= list.states.size()) return path + "#line-" + number(line.number);
      const std::string state = "s" + number(line.position + 1);
      for (std::size_t f = 0; f < kFigureCount; ++f) {
        if (finding.column == line.columns[f] + 1) {
          return path + "#" + state + "-" + std::string(kFigureNames[f]);
        }
      }
      return path + "#state-" + number(line.position + 1);
    }
    return path;
  }
  if (finding.file == kCensusGridFileName) {
    return "/grid?page=" + number((finding.line - 1) / 100 + 1) + "#row-" + number(finding.line);
  }
  if (finding.file == kFacilityFileName) return path + "#answer-" + number(finding.line);
  return path;
}

HttpAnswer filesPage(FileSystem& files) {
  std::array<std::size_t, kFilePages.size()> counts{};
  const CheckSummary summary = checkDataFiles(files, [&](const Finding& finding) {
    for (std::size_t i = 0; i < kFilePages.size(); ++i)
      counts[i] += kFilePages[i].file == finding.file;
  });
  std::string body =
      "<table>\n<thead><tr><th>File</th><th>What it holds</th><th>Status</th><th "
      "class=\"n\">Findings</th></tr></thead>\n<tbody>\n";
  for (std::size_t i = 0; i < kFilePages.size(); ++i) {
    const FilePage& page = kFilePages[i];
    const FileState& state = summary.files[i].second;
    body += "<tr><td><a href=\"" + std::string(page.path) + "\"><code>" + std::string(page.file) +
            "</code></a></td><td>" + std::string(page.what) + "</td><td>" + statusText(state) +
            "</td><td class=\"n\"><a href=\"/check\">" + number(counts[i]) + "</a></td></tr>\n";
  }
  body += "</tbody>\n</table>\n<p>" + html(formatSummary(summary)) +
          "</p>\n<p>Downloads: <a href=\"/export.csv\">all figures as CSV</a>, <a "
          "href=\"/export.json\">as JSON</a>; for DHIS2, <a href=\"/export.dhis2.json\">a data "
          "value set</a> and <a href=\"/export.adx\">ADX</a>.</p>\n";
  return pageAnswer(200, "census: the data files", body);
}

HttpAnswer checkPage(FileSystem& files) {
  // A page stays readable however many lines a file has: the first
  // findings of each file, and how many more `census check` lists.
  constexpr std::size_t kMostFindingsPerFile = 500;
  const std::array<ListOnDisk, kStateListCount> lists = readLists(files);
  std::string items;
  std::map<std::string_view, std::size_t> per_file;
  const CheckSummary summary = checkDataFiles(files, [&](const Finding& finding) {
    if (++per_file[finding.file] > kMostFindingsPerFile) return;
    items += "<li><a href=\"" + html(findingLink(finding, lists)) + "\">" + findingHtml(finding) +
             "</a></li>\n";
  });
  std::string body = "<p>" + html(formatSummary(summary)) + "</p>\n";
  if (!items.empty()) body += "<ul>\n" + items + "</ul>\n";
  for (const auto& [file, count] : per_file) {
    if (count <= kMostFindingsPerFile) continue;
    body += "<p>&hellip; and " + number(count - kMostFindingsPerFile) + " more in <code>" +
            html(file) + "</code>: <code>census check</code> lists them all.</p>\n";
  }
  return pageAnswer(200, "Check", body);
}

HttpAnswer reportPage(FileSystem& files) {
  std::ostringstream page;
  writeReport(files, reportOriginNow(), page);
  HttpAnswer answer;
  answer.body = std::move(page).str();
  return answer;
}

HttpAnswer exportDownload(FileSystem& files, bool json) {
  std::ostringstream out;
  std::ostringstream errors;
  if (writeExport(files, json ? ExportFormat::kJson : ExportFormat::kCsv, out, errors) !=
      kExitSuccess) {
    return pageAnswer(500, "Export", "<p class=\"problem\">" + html(errors.str()) + "</p>\n");
  }
  HttpAnswer answer;
  answer.content_type = json ? "application/json" : "text/csv; charset=utf-8";
  answer.body = std::move(out).str();
  answer.headers.emplace_back("Content-Disposition", json ? "attachment; filename=\"census.json\""
                                                          : "attachment; filename=\"census.csv\"");
  return answer;
}

HttpAnswer dhis2Download(FileSystem& files, Dhis2Format format) {
  std::ostringstream out;
  std::ostringstream errors;
  const bool adx = format == Dhis2Format::kAdx;
  if (writeDhis2(files, {format, ""}, out, errors) != kExitSuccess) {
    return pageAnswer(500, "Export for DHIS2",
                      "<p class=\"problem\">" + html(errors.str()) + "</p>\n");
  }
  HttpAnswer answer;
  answer.content_type = adx ? "application/adx+xml; charset=utf-8" : "application/json";
  answer.body = std::move(out).str();
  answer.headers.emplace_back("Content-Disposition",
                              adx ? "attachment; filename=\"census.adx.xml\""
                                  : "attachment; filename=\"census.dhis2.json\"");
  return answer;
}

HttpAnswer importPage() {
  return pageAnswer(
      200, "Import",
      "<p>A CSV file as <code>census export</code> writes it or a spreadsheet saves it: a header "
      "naming the columns (list; label, iso_code or state; total, male, female, youth), then a "
      "row per state. Every list it holds must be whole. You see what would change before "
      "anything is saved.</p>\n<form method=\"post\" action=\"/import\" "
      "enctype=\"multipart/form-data\">\n<p><label for=\"file\">CSV file</label> <input "
      "type=\"file\" id=\"file\" name=\"file\" accept=\".csv,text/csv\" required></p>\n<button "
      "type=\"submit\">Preview</button>\n</form>\n");
}

HttpAnswer previewImport(FileSystem& files, const HttpRequest& request) {
  const std::optional<std::string> text = importedText(request);
  if (!text) return importProblems(400, "No CSV file was sent.");
  std::ostringstream problems;
  const ImportPlan plan = planImport(*text, "the CSV file", problems);
  if (!plan.ok) return importProblems(422, problems.str());

  std::string changes;
  std::string versions;
  std::size_t changed = 0;
  for (const StateList& list : stateLists()) {
    const std::size_t index = static_cast<std::size_t>(list.number - 1);
    if (!plan.lists[index]) continue;
    const ListOnDisk disk = readListOnDisk(files, list);
    versions += "<input type=\"hidden\" name=\"" + versionField(index) + "\" value=\"" +
                html(disk.version) + "\">\n";
    for (std::size_t p = 0; p < list.states.size(); ++p) {
      for (std::size_t f = 0; f < kFigureCount; ++f) {
        const std::string old_value = figureOrNothing(disk.figures[p], f);
        const std::string new_value = std::to_string((*plan.lists[index])[p][f]);
        if (old_value == new_value) continue;
        ++changed;
        changes += "<tr><td>" + std::to_string(list.number) + "</td><td>" +
                   html(list.states[p].iso_name) + "</td><td>" + std::string(kFigureNames[f]) +
                   "</td><td class=\"n\">" + old_value + " &rarr; " + new_value + "</td></tr>\n";
      }
    }
  }
  std::string body = "<p>" + number(changed) + (changed == 1 ? " figure" : " figures") +
                     " would change; the files of the lists the CSV holds are written anew in "
                     "list order.</p>\n";
  if (changed > 0) {
    body +=
        "<table>\n<thead><tr><th>List</th><th>State</th><th>Figure</th><th class=\"n\">Old "
        "&rarr; new</th></tr></thead>\n<tbody>\n" +
        changes + "</tbody>\n</table>\n";
  }
  body += "<form method=\"post\" action=\"/import/apply\" enctype=\"multipart/form-data\">\n" +
          versions + "<textarea name=\"csv\" hidden>\n" + html(*text) +
          "</textarea>\n<button type=\"submit\">Apply</button>\n</form>\n<p><a "
          "href=\"/import\">Choose another file</a></p>\n";
  return pageAnswer(200, "Import: what would change", body);
}

HttpAnswer applyImport(FileSystem& files, const HttpRequest& request) {
  const std::optional<std::string> text = importedText(request);
  if (!text) return importProblems(400, "No CSV file was sent.");
  std::ostringstream problems;
  const ImportPlan plan = planImport(*text, "the CSV file", problems);
  if (!plan.ok) return importProblems(422, problems.str());
  std::vector<FileReplacement> saves = importReplacements(plan);
  const std::string_view type = request.header("content-type").value_or("");
  for (FileReplacement& save : saves) {
    for (const StateList& list : stateLists()) {
      if (list.file_name != save.name) continue;
      save.expected_version =
          multipartField(type, request.body,
                         versionField(static_cast<std::size_t>(list.number - 1)))
              .value_or(std::string(kAbsentVersion));
    }
  }
  SaveFailure failure;
  if (files.replaceFiles(saves, &failure)) {
    std::string body = "<p class=\"notice\" role=\"status\">Saved as one: ";
    for (std::size_t i = 0; i < saves.size(); ++i) {
      body += (i > 0 ? ", " : "") + std::string("<a href=\"") + std::string(pathOf(saves[i].name)) +
              "\"><code>" + saves[i].name + "</code></a>";
    }
    return pageAnswer(200, "Import",
                      body + ".</p>\n<p><a href=\"/check\">Check the figures</a></p>\n");
  }
  if (failure.busy) return busyAnswer("Import");
  if (failure.decided) {
    return pageAnswer(500, "Import",
                      "<p class=\"problem\" role=\"alert\"><code>" + html(failure.name) +
                          "</code> could not be saved to the end: " + html(failure.reason) +
                          ". The save is decided, and the next start of census finishes it.</p>\n");
  }
  if (!failure.changed) {
    return pageAnswer(500, "Import",
                      "<p class=\"problem\" role=\"alert\">Nothing was saved: <code>" +
                          html(failure.name) + "</code> cannot be saved: " + html(failure.reason) +
                          ".</p>\n");
  }
  return pageAnswer(
      409, "Import",
      "<p class=\"problem\" role=\"alert\">Nothing was saved: <code>" + html(failure.name) +
          "</code> was changed since the preview. Preview the same file again to see what would "
          "change now.</p>\n<form method=\"post\" action=\"/import\" "
          "enctype=\"multipart/form-data\">\n<textarea name=\"csv\" hidden>\n" +
          html(*text) + "</textarea>\n<button type=\"submit\">Preview again</button>\n</form>\n");
}

HttpAnswer historyPage(FileSystem& files) {
  // The newest saves: the page stays small whatever the log's length.
  constexpr std::size_t kSavesShown = 1000;
  std::vector<HistoryEntry> entries;
  const HistoryScan history = visitNewestFirst(files, [&](const HistoryEntry& entry) {
    entries.push_back(entry);
    return entries.size() < kSavesShown;
  });
  if (history.state.unreadable()) {
    return pageAnswer(500, "History",
                      "<p class=\"problem\"><code>" + std::string(kHistoryLog) +
                          "</code> cannot be read: " + html(history.state.reason) + ".</p>\n");
  }
  if (!history.kept) {
    return pageAnswer(200, "History",
                      "<p>No history is kept in this folder yet. The first save from these "
                      "pages starts one, in <code>census-history/</code>: from then on every "
                      "save, by the dialogue too, is kept and can be undone here.</p>\n");
  }
  std::string body =
      "<p>Every save, newest first. <strong>Restore</strong> puts the files it "
      "changed back as they were before it, as a save of its own, which can be "
      "restored in its turn.</p>\n";
  if (entries.empty()) body += "<p>No saves yet.</p>\n";
  if (history.entries > entries.size()) {
    body += "<p>These are the " + std::to_string(entries.size()) + " newest of " +
            std::to_string(history.entries) +
            " saves; <code>census history</code> lists them all.</p>\n";
  }
  body += "<ol class=\"history\" reversed>\n";
  for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
    const std::string number = std::to_string(entry->number);
    body += "<li id=\"save-" + number + "\" value=\"" + number + "\"><p>Save " + number + ", " +
            html(entry->time) + ", by " + html(entry->way) + " (" + fileHtml(entry->user) +
            ")</p>\n<ul>\n";
    for (const HistoryFile& file : entry->files) {
      body += "<li>" + html(describeChange(files, file)) + "</li>\n";
    }
    if (entry->files.empty()) {
      // A push changed no file: there is nothing to restore.
      body += "<li>" + html(describePush(*entry)) + "</li>\n</ul></li>\n";
      continue;
    }
    body +=
        "</ul>\n<form method=\"post\" action=\"/history/restore\"><input type=\"hidden\" "
        "name=\"number\" value=\"" +
        number + "\"><button type=\"submit\" aria-describedby=\"save-" + number +
        "\">Restore</button></form></li>\n";
  }
  return pageAnswer(200, "History", body + "</ol>\n");
}

HttpAnswer restoreSave(FileSystem& files, RecordingFileSystem* restoring,
                       const HttpRequest& request) {
  const std::string number = formField(decodeFormFields(request.body), "number").value_or("");
  std::ostringstream out;
  std::ostringstream errors;
  const int status =
      runRestore(restoring != nullptr ? *restoring : files, number, {}, false, out, errors);
  if (status != kExitSuccess && restoring != nullptr && restoring->lastSaveFailure().busy) {
    return busyAnswer("History");
  }
  if (status != kExitSuccess) {
    return pageAnswer(
        status == kExitUsage ? 404 : 500, "History",
        "<p class=\"problem\" role=\"alert\">Nothing was restored: " + html(errors.str()) +
            "</p>\n<p><a href=\"/history\">The history</a></p>\n");
  }
  return pageAnswer(200, "History",
                    "<p class=\"notice\" role=\"status\">Restored.</p>\n<pre>" + html(out.str()) +
                        "</pre>\n<p><a href=\"/history\">The history</a> &middot; <a "
                        "href=\"/\">The files</a></p>\n");
}

std::string lastSavedHtml(FileSystem& files, PageMemory& memory, std::string_view file) {
  const std::optional<FileStamp> stamp = files.stampOf(std::string(kHistoryLog));
  if (!stamp) return "";
  if (memory.log_stamp != stamp) {
    memory.last_saves.clear();
    visitNewestFirst(files, [&](const HistoryEntry& entry) {
      for (const HistoryFile& saved : entry.files) {
        const bool known = std::any_of(memory.last_saves.begin(), memory.last_saves.end(),
                                       [&](const auto& last) { return last.first == saved.name; });
        if (known) continue;
        memory.last_saves.emplace_back(
            saved.name, "Last saved " + html(entry.time) + " by " + html(entry.way) + " (" +
                            fileHtml(entry.user) + "), <a href=\"/history#save-" +
                            std::to_string(entry.number) + "\">save " +
                            std::to_string(entry.number) + "</a>.");
      }
      // Every data file found: no older save can be its last.
      return memory.last_saves.size() < kDataFileCount;
    });
    memory.log_stamp = stampToKeep(stamp);
  }
  for (const auto& [name, text] : memory.last_saves) {
    if (name == file) return "<p>" + text + "</p>\n";
  }
  return "";
}

}  // namespace census
