// The pages that enter and correct figures: the three lists and the
// facility record, and the census grid beside them.
#include <algorithm>
#include <array>
#include <chrono>
#include <string>

#include "base/decimal.h"
#include "base/line_fields.h"
#include "base/text.h"
#include "records/census_grid_file.h"
#include "records/facility_file.h"
#include "records/text_file.h"
#include "web/page.h"
#include "web/pages.h"

namespace census {
namespace {

constexpr std::size_t kGridRowsPerPage = 100;

using FormFields = std::vector<std::pair<std::string, std::string>>;

// Hands each line on to the form's reading and to the file's check.
class ListFormReading final : public PopulationSink {
 public:
  ListFormReading(const StateList& list, ListOnDisk& disk, PopulationCheck& check)
      : list_(list), disk_(disk), check_(check) {}

  void onRecord(std::size_t line_number, const PopulationLine& line) override {
    check_.onRecord(line_number, line);
    ListOnDisk::Line spot{line_number, positionOfLabel(list_, line.label.word), line.columns, {}};
    if (spot.position < list_.states.size() && !disk_.figures[spot.position]) {
      disk_.figures[spot.position] = line.figures;
    } else if (disk_.lines.size() >= ListOnDisk::kMostKept) {
      ++disk_.lines_not_kept;
      return;
    } else {
      spot.position = list_.states.size();
      spot.text = utf8Cut(line.text, 120);
    }
    disk_.lines.push_back(std::move(spot));
  }
  void onBlankLine(std::size_t line_number, std::string_view text) override {
    check_.onBlankLine(line_number, text);
  }

 private:
  const StateList& list_;
  ListOnDisk& disk_;
  PopulationCheck& check_;
};

std::string fieldId(std::size_t position, std::size_t figure) {
  return "s" + number(static_cast<std::int64_t>(position + 1)) + "-" +
         std::string(kFigureNames[figure]);
}

// A figure typed into a form: blanks around it are let go.
struct TypedFigure {
  std::string text;
  std::optional<std::int32_t> value;
  std::string problem;  // "" where it is a figure
};

TypedFigure readTypedFigure(std::string text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  const std::size_t end = text.find_last_not_of(" \t");
  const std::string word = begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
  TypedFigure typed{std::move(text), parseWholeNumber(word), ""};
  if (typed.value) return typed;
  const std::size_t digits = word.find_first_not_of("+-") == 1 ? 1 : 0;
  const bool only_digits = !word.empty() && word.size() > digits &&
                           word.find_first_not_of("0123456789", digits) == std::string::npos;
  if (word.empty()) {
    typed.problem = "a figure is needed";
  } else if (only_digits) {
    typed.problem = "'" + word + "' lies outside the 32-bit range";
  } else {
    typed.problem = "'" + word + "' is not a whole number";
  }
  return typed;
}

// One state's four fields as the form shows them.
struct RowFields {
  std::array<std::string, kFigureCount> values;
  std::array<std::string, kFigureCount> problems;
  std::array<std::string, kFigureCount> now;  // in the file, where it differs (a conflict)
};

// Appends one figure's cell: its field, named for the state and the
// figure, and where the form says so, what is wrong with it and what the
// file now holds. Pages of lists are asked for most, so nothing here makes
// a string of its own.
void appendFigureInput(std::string& out, const StateEntry& state, std::size_t position,
                       std::size_t figure, const RowFields& row) {
  const auto id = [&] {
    out += 's';
    out += std::to_string(position + 1);
    out += '-';
    out += kFigureNames[figure];
  };
  out += "<td class=\"n\"><input type=\"text\" inputmode=\"numeric\" data-kind=\"figure\" name=\"";
  id();
  out += "\" id=\"";
  id();
  out += "\" aria-label=\"";
  appendHtml(out, state.iso_name);
  out += ' ';
  out += kFigureNames[figure];
  out += "\" value=\"";
  appendHtml(out, row.values[figure]);
  out += "\" aria-describedby=\"";
  id();
  out += "-error\" aria-invalid=\"";
  out += row.problems[figure].empty() ? "false" : "true";
  out += "\"><span class=\"error\" id=\"";
  id();
  out += "-error\">";
  appendHtml(out, row.problems[figure]);
  out += "</span>";
  if (!row.now[figure].empty()) {
    out += "<span class=\"warning\">now in the file: ";
    appendHtml(out, row.now[figure]);
    out += "</span>";
  }
  out += "</td>";
}

std::string figureText(const std::optional<PopulationFigures>& figures, std::size_t figure) {
  return figures ? number((*figures)[figure]) : "";
}

std::string findingList(const ListOnDisk& disk, std::string_view heading) {
  if (disk.findings.empty()) return "";
  std::string text = "<h2>" + html(heading) + "</h2>\n<ul>\n";
  for (const Finding& finding : disk.findings) text += "<li>" + findingHtml(finding) + "</li>\n";
  text += "</ul>\n";
  if (disk.findings_not_kept > 0) {
    text += "<p>&hellip; and " + number(static_cast<std::int64_t>(disk.findings_not_kept)) +
            " more: <code>census check</code> lists them all.</p>\n";
  }
  return text;
}

// The form of a list: rows filled with the given fields, carrying the
// version they were filled from.
std::string listForm(const StateList& list, const std::string& version,
                     const std::array<RowFields, kMostStatesInAList>& rows) {
  std::string form = "<form method=\"post\" action=\"/lists/" + number(list.number) +
                     "\" novalidate>\n<input type=\"hidden\" name=\"version\" value=\"" +
                     html(version) +
                     "\">\n<table>\n<thead><tr><th>State</th><th>Label</th><th "
                     "class=\"n\">Total</th><th class=\"n\">Male</th><th "
                     "class=\"n\">Female</th><th class=\"n\">Youth</th></tr></thead>\n<tbody>\n";
  form.reserve(list.states.size() * 1400);
  for (std::size_t p = 0; p < list.states.size(); ++p) {
    const StateEntry& state = list.states[p];
    form += "<tr id=\"state-" + number(static_cast<std::int64_t>(p + 1)) + "\"><th scope=\"row\">" +
            html(state.iso_name) + "</th><td><code>" + html(state.file_label) + "</code></td>";
    for (std::size_t f = 0; f < kFigureCount; ++f) appendFigureInput(form, state, p, f, rows[p]);
    form += "</tr>\n";
  }
  return form + "</tbody>\n</table>\n<button type=\"submit\">Save</button>\n</form>\n";
}

std::string strayLines(const StateList& list, const ListOnDisk& disk) {
  std::string text;
  for (const ListOnDisk::Line& line : disk.lines) {
    if (line.position < list.states.size()) continue;
    text += "<li id=\"line-" + number(static_cast<std::int64_t>(line.number)) + "\">line " +
            number(static_cast<std::int64_t>(line.number)) + ": <code>" + fileHtml(line.text) +
            "</code></li>\n";
  }
  if (disk.lines_not_kept > 0) {
    text += "<li>&hellip; and " + number(static_cast<std::int64_t>(disk.lines_not_kept)) +
            " more lines</li>\n";
  }
  if (text.empty()) return "";
  return "<p class=\"problem\">These lines of <code>" + std::string(list.file_name) +
         "</code> fill no state of the list (another list's label, or a state given twice); "
         "a save writes the file anew in list order, without them.</p>\n<ul>\n" +
         text + "</ul>\n";
}

std::string fileStatusHtml(std::string_view file_name, const FileState& state) {
  const std::string name = "<code>" + std::string(file_name) + "</code>";
  switch (state.status) {
    case FileStatus::kSaved:
      return "<p>From " + name + ".</p>\n";
    case FileStatus::kNotSavedYet:
      return "<p>" + name + " is not saved yet: the first save makes it.</p>\n";
    case FileStatus::kUnreadable:
      break;
  }
  return "<p class=\"problem\">" + name + " cannot be read: " + html(state.reason) +
         ". Nothing can be saved over it until it can.</p>\n";
}

const StateList* listOf(int list_number) {
  return list_number >= 1 && list_number <= static_cast<int>(kStateListCount)
             ? &stateList(list_number)
             : nullptr;
}

std::string listTitle(const StateList& list) {
  return "List " + number(list.number) + ": " + std::string(list.file_name);
}

// A list's page below its notice: the file's status, its stray lines, the
// form and the check's findings.
std::string listContent(const StateList& list, const ListOnDisk& disk, const std::string& version,
                        const std::array<RowFields, kMostStatesInAList>& rows) {
  return fileStatusHtml(list.file_name, disk.state) + strayLines(list, disk) +
         listForm(list, version, rows) + findingList(disk, "What census check finds in this file");
}

HttpAnswer listAnswer(int status, const StateList& list, const ListOnDisk& disk,
                      const std::string& version, const std::string& notice,
                      const std::array<RowFields, kMostStatesInAList>& rows) {
  return pageAnswer(status, listTitle(list), notice + listContent(list, disk, version, rows));
}

std::array<RowFields, kMostStatesInAList> rowsFromDisk(const StateList& list,
                                                       const ListOnDisk& disk) {
  std::array<RowFields, kMostStatesInAList> rows;
  for (std::size_t p = 0; p < list.states.size(); ++p) {
    for (std::size_t f = 0; f < kFigureCount; ++f) {
      rows[p].values[f] = figureText(disk.figures[p], f);
    }
  }
  return rows;
}

std::string facilityFieldId(std::size_t i) {
  return "a" + number(static_cast<std::int64_t>(i + 1));
}

std::string answerProblem(std::string_view answer) {
  if (answer.empty()) return "an answer needs one word";
  const bool blank_or_control = std::any_of(answer.begin(), answer.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
  });
  if (blank_or_control) return "one word only: the file keeps one word per answer";
  return "";
}

struct FacilityOnDisk {
  FileState state;
  std::string version;
  std::array<std::string, kFacilityAnswerCount> answers;
};

class FacilityFormReading final : public FacilitySink {
 public:
  explicit FacilityFormReading(FacilityOnDisk& disk) : disk_(disk) {}
  void onLine(std::size_t number, std::string_view text) override {
    if (number <= kFacilityAnswerCount) {
      disk_.answers[number - 1] = std::string(splitFacilityLine(text).answer);
    }
  }

 private:
  FacilityOnDisk& disk_;
};

// A data file read whole, once, and a copy of it in memory for its reader:
// so the version is that of the very bytes a page shows, and a save from
// the page can be checked against it.
struct FileSnapshot {
  std::optional<FileState> failed;  // where it cannot be read
  std::string version;
  std::optional<std::string> content;  // nothing where there is no file

  // The content for its reader, as the file was found.
  OpenedFile reopen() { return content ? openedContent(std::move(*content)) : OpenedFile{}; }
};

FileSnapshot takeSnapshot(FileSystem& files, const std::string& name) {
  FileSnapshot snapshot;
  OpenedFile opened = files.openForReading(name);
  if (opened.status == OpenStatus::kMissing) {
    snapshot.version = kAbsentVersion;
  } else if (opened.status == OpenStatus::kUnreadable) {
    snapshot.failed = FileState{FileStatus::kUnreadable, opened.reason, false};
  } else {
    std::string content;
    std::string reason;
    if (readInputFile(*opened.file, &content, &reason)) {
      snapshot.version = contentVersion(content);
      snapshot.content = std::move(content);
    } else {
      snapshot.failed = FileState{FileStatus::kUnreadable, reason, !content.empty()};
    }
  }
  return snapshot;
}

ListOnDisk listFromSnapshot(FileSnapshot& snapshot, const StateList& list) {
  ListOnDisk disk;
  disk.version = snapshot.version;
  CheckSummary summary;
  const FindingHandler keep = [&](const Finding& finding) {
    if (disk.findings.size() < ListOnDisk::kMostKept) {
      disk.findings.push_back(finding);
    } else {
      ++disk.findings_not_kept;
    }
  };
  PopulationCheck check(list, summary, keep);
  if (snapshot.failed) {
    disk.state = *snapshot.failed;
  } else {
    ListFormReading reading(list, disk, check);
    disk.state = readPopulationFile(snapshot.reopen(), reading);
  }
  check.finish(disk.state);
  return disk;
}

FacilityOnDisk readFacilityOnDisk(FileSystem& files) {
  FileSnapshot snapshot = takeSnapshot(files, std::string(kFacilityFileName));
  FacilityOnDisk disk;
  disk.version = snapshot.version;
  if (snapshot.failed) {
    disk.state = *snapshot.failed;
  } else {
    FacilityFormReading reading(disk);
    disk.state = readFacilityFile(snapshot.reopen(), reading);
  }
  return disk;
}

HttpAnswer facilityAnswer(int status, const FacilityOnDisk& disk, const std::string& version,
                          const std::string& notice,
                          const std::array<std::string, kFacilityAnswerCount>& values,
                          const std::array<std::string, kFacilityAnswerCount>& problems,
                          const std::array<std::string, kFacilityAnswerCount>& now = {}) {
  std::string body = notice + fileStatusHtml(kFacilityFileName, disk.state);
  body +=
      "<form method=\"post\" action=\"/facility\" novalidate>\n<input type=\"hidden\" "
      "name=\"version\" value=\"" +
      html(version) + "\">\n<table>\n<tbody>\n";
  for (std::size_t i = 0; i < kFacilityAnswerCount; ++i) {
    const std::string id = facilityFieldId(i);
    std::string_view caption = kFacilityCaptions[i];
    caption.remove_prefix(std::string_view("----> ").size());
    caption.remove_suffix(std::string_view(" :: ").size());
    body += "<tr id=\"answer-" + number(static_cast<std::int64_t>(i + 1)) +
            "\"><th scope=\"row\"><label for=\"" + id + "\">" + html(caption) +
            "</label></th><td><input type=\"text\" class=\"word\" "
            "data-kind=\"word\" name=\"" +
            id + "\" id=\"" + id + "\" value=\"" + html(values[i]) + "\" aria-describedby=\"" + id +
            "-error\" aria-invalid=\"" + (problems[i].empty() ? "false" : "true") +
            "\"><span class=\"error\" id=\"" + id + "-error\">" + html(problems[i]) + "</span>" +
            (now[i].empty()
                 ? ""
                 : "<span class=\"warning\">now in the file: " + fileHtml(now[i]) + "</span>") +
            "</td></tr>\n";
  }
  body += "</tbody>\n</table>\n<button type=\"submit\">Save</button>\n</form>\n";
  return pageAnswer(status, "Facility record: " + std::string(kFacilityFileName), body);
}

const std::string kSavedNotice = "<p class=\"notice\" role=\"status\">Saved.</p>\n";

std::string conflictNotice(std::string_view file_name) {
  return "<p class=\"problem\" role=\"alert\"><code>" + std::string(file_name) +
         "</code> was changed since this form was filled (in another tab, by the dialogue or "
         "by an import), so nothing was saved. What you typed is kept below, with what the file "
         "now holds beside it where that differs; Save again to put yours in its place.</p>\n";
}

std::string saveFailureNotice(const SaveFailure& failure) {
  if (failure.decided) {
    return "<p class=\"problem\" role=\"alert\"><code>" + fileHtml(failure.name) +
           "</code> could not be saved to the end: " + html(failure.reason) +
           ". The save is decided, and the next start of census finishes it.</p>\n";
  }
  return "<p class=\"problem\" role=\"alert\">Nothing was saved: <code>" + fileHtml(failure.name) +
         "</code> cannot be saved: " + html(failure.reason) + ".</p>\n";
}

bool queryHas(const HttpRequest& request, std::string_view name) {
  return formField(decodeFormFields(request.query()), name).has_value();
}

}  // namespace

std::optional<FileStamp> stampToKeep(const std::optional<FileStamp>& stamp) {
  const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
  return stamp && stamp->settled(now) ? stamp : std::nullopt;
}

ListOnDisk readListOnDisk(FileSystem& files, const StateList& list) {
  FileSnapshot snapshot = takeSnapshot(files, std::string(list.file_name));
  return listFromSnapshot(snapshot, list);
}

HttpAnswer listPage(FileSystem& files, PageMemory& memory, int list_number,
                    const HttpRequest& request) {
  const StateList* list = listOf(list_number);
  if (list == nullptr) return notFound();
  const std::string notice = queryHas(request, "saved") ? kSavedNotice : "";
  const std::string name(list->file_name);
  PageMemory::Page& kept = memory.lists[static_cast<std::size_t>(list->number - 1)];
  // Taken before the read: a change during it leaves a stamp that differs.
  const std::optional<FileStamp> stamp = files.stampOf(name);
  if (!stamp || kept.stamp != stamp) {
    FileSnapshot snapshot = takeSnapshot(files, name);
    const ListOnDisk disk = listFromSnapshot(snapshot, *list);
    kept.content = listContent(*list, disk, disk.version, rowsFromDisk(*list, disk));
    kept.stamp = snapshot.failed ? std::nullopt : stampToKeep(stamp);
  }
  return pageAnswer(200, listTitle(*list),
                    notice + lastSavedHtml(files, memory, list->file_name) + kept.content);
}

HttpAnswer saveList(FileSystem& files, int list_number, const HttpRequest& request) {
  const StateList* list = listOf(list_number);
  if (list == nullptr) return notFound();
  const FormFields fields = decodeFormFields(request.body);
  const std::string version = formField(fields, "version").value_or("");
  std::array<RowFields, kMostStatesInAList> rows;
  FigureTable table{};
  bool all_figures = true;
  for (std::size_t p = 0; p < list->states.size(); ++p) {
    for (std::size_t f = 0; f < kFigureCount; ++f) {
      TypedFigure typed = readTypedFigure(formField(fields, fieldId(p, f)).value_or(""));
      rows[p].values[f] = typed.text;
      rows[p].problems[f] = typed.problem;
      table[p][f] = typed.value.value_or(0);
      all_figures = all_figures && typed.value.has_value();
    }
  }
  if (!all_figures) {
    const ListOnDisk disk = readListOnDisk(files, *list);
    return listAnswer(422, *list, disk, version,
                      "<p class=\"problem\" role=\"alert\">Nothing was saved: the figures marked "
                      "below are not whole numbers within 32 bits.</p>\n",
                      rows);
  }
  FileReplacement save = populationFileReplacement(*list, table);
  save.expected_version = version.empty() ? std::string(kAbsentVersion) : version;
  SaveFailure failure;
  if (files.replaceFiles({&save, 1}, &failure)) {
    HttpAnswer answer;
    answer.status = 303;
    answer.headers.emplace_back("Location", "/lists/" + number(list->number) + "?saved");
    return answer;
  }
  if (failure.busy) return busyAnswer(listTitle(*list));
  const ListOnDisk disk = readListOnDisk(files, *list);
  if (!failure.changed) {
    return listAnswer(500, *list, disk, version, saveFailureNotice(failure), rows);
  }
  for (std::size_t p = 0; p < list->states.size(); ++p) {
    for (std::size_t f = 0; f < kFigureCount; ++f) {
      const std::string now = figureText(disk.figures[p], f);
      if (now != figureText(table[p], f)) rows[p].now[f] = now.empty() ? "nothing" : now;
    }
  }
  return listAnswer(409, *list, disk, disk.version, conflictNotice(list->file_name), rows);
}

HttpAnswer facilityPage(FileSystem& files, const HttpRequest& request) {
  const FacilityOnDisk disk = readFacilityOnDisk(files);
  return facilityAnswer(200, disk, disk.version, queryHas(request, "saved") ? kSavedNotice : "",
                        disk.answers, {});
}

HttpAnswer saveFacility(FileSystem& files, const HttpRequest& request) {
  const FormFields fields = decodeFormFields(request.body);
  const std::string version = formField(fields, "version").value_or("");
  std::array<std::string, kFacilityAnswerCount> answers;
  std::array<std::string, kFacilityAnswerCount> problems;
  bool all_words = true;
  for (std::size_t i = 0; i < kFacilityAnswerCount; ++i) {
    answers[i] = formField(fields, facilityFieldId(i)).value_or("");
    problems[i] = answerProblem(answers[i]);
    all_words = all_words && problems[i].empty();
  }
  if (!all_words) {
    return facilityAnswer(422, readFacilityOnDisk(files), version,
                          "<p class=\"problem\" role=\"alert\">Nothing was saved: each answer is "
                          "one word, as the file keeps it.</p>\n",
                          answers, problems);
  }
  FileReplacement save = facilityFileReplacement(answers);
  save.expected_version = version.empty() ? std::string(kAbsentVersion) : version;
  SaveFailure failure;
  if (files.replaceFiles({&save, 1}, &failure)) {
    HttpAnswer answer;
    answer.status = 303;
    answer.headers.emplace_back("Location", "/facility?saved");
    return answer;
  }
  if (failure.busy) return busyAnswer("Facility record");
  const FacilityOnDisk disk = readFacilityOnDisk(files);
  if (!failure.changed) {
    return facilityAnswer(500, disk, version, saveFailureNotice(failure), answers, problems);
  }
  std::array<std::string, kFacilityAnswerCount> now;
  for (std::size_t i = 0; i < kFacilityAnswerCount; ++i) {
    if (disk.answers[i] != answers[i])
      now[i] = disk.answers[i].empty() ? "nothing" : disk.answers[i];
  }
  return facilityAnswer(409, disk, disk.version, conflictNotice(kFacilityFileName), answers,
                        problems, now);
}

namespace {

class GridPageReading final : public CensusGridSink {
 public:
  GridPageReading(std::size_t first, std::string& rows) : first_(first), rows_(rows) {}
  void onRow(std::size_t number, std::string_view, const CensusGridRow& row,
             const IntegerReading&) override {
    last_ = number;
    if (number < first_) return;
    rows_ += "<tr id=\"row-" + std::to_string(number) + "\"><th scope=\"row\">" +
             std::to_string(number) + "</th>";
    for (const std::int32_t value : row)
      rows_ += "<td class=\"n\">" + std::to_string(value) + "</td>";
    rows_ += "</tr>\n";
  }
  // The rows after the page's are only counted.
  bool wantsMoreRows() const override { return last_ + 1 < first_ + kGridRowsPerPage; }
  void onLineCount(std::size_t lines) override { count_ = lines; }
  std::size_t count() const { return count_; }

 private:
  std::size_t first_;
  std::string& rows_;
  std::size_t last_ = 0;
  std::size_t count_ = 0;
};

}  // namespace

HttpAnswer gridPage(FileSystem& files, const HttpRequest& request) {
  const std::string page_text = formField(decodeFormFields(request.query()), "page").value_or("1");
  const std::optional<std::int32_t> page = parseWholeNumber(page_text);
  if (!page || *page < 1) return notFound();
  const std::size_t first = (static_cast<std::size_t>(*page) - 1) * kGridRowsPerPage + 1;
  std::string rows;
  GridPageReading reading(first, rows);
  const FileState state = readCensusGridFile(files, reading);
  std::string body = fileStatusHtml(kCensusGridFileName, state);
  body +=
      "<p>The census grid is prepared outside census and only shown here: line by line, one "
      "value for each state of list 1.</p>\n";
  const std::size_t pages =
      std::max<std::size_t>(1, (reading.count() + kGridRowsPerPage - 1) / kGridRowsPerPage);
  if (static_cast<std::size_t>(*page) > pages) return notFound();
  std::string links =
      "<p>Rows " + number(static_cast<std::int64_t>(std::min(first, reading.count()))) + " to " +
      number(static_cast<std::int64_t>(std::min(first + kGridRowsPerPage - 1, reading.count()))) +
      " of " + number(static_cast<std::int64_t>(reading.count())) + ".";
  if (*page > 1) links += " <a href=\"/grid?page=" + number(*page - 1) + "\">Previous page</a>";
  if (static_cast<std::size_t>(*page) < pages) {
    links += " <a href=\"/grid?page=" + number(*page + 1) + "\">Next page</a>";
  }
  links += "</p>\n";
  body += links + "<table class=\"grid\">\n<thead><tr><th>Line</th>";
  for (const StateEntry& state : stateList(1).states) {
    body += "<th class=\"n\" scope=\"col\">" + html(state.name) + "</th>";
  }
  body += "</tr></thead>\n<tbody>\n" + rows + "</tbody>\n</table>\n" + links;
  return pageAnswer(200, "Census grid: " + std::string(kCensusGridFileName), body);
}

}  // namespace census
