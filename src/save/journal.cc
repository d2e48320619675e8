#include "save/journal.h"

#include <algorithm>
#include <charconv>

#include "base/text.h"

namespace census {
namespace {

constexpr std::string_view kJournalHeader = "census save journal\n";
constexpr std::string_view kCommitMark = "commit\n";

#ifdef _WIN32
constexpr std::string_view kSeparators = "/\\";
#else
constexpr std::string_view kSeparators = "/";
#endif

bool isPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(kSeparators) == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

bool isDigits(std::string_view text, unsigned long* value) {
  if (text.empty() || text.size() > 20) return false;
  unsigned long number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  if (value != nullptr) *value = number;
  return true;
}

}  // namespace

std::string journalText(const std::vector<JournalFile>& files, bool committed) {
  std::string text(kJournalHeader);
  for (const JournalFile& file : files) {
    text.append(file.name).push_back('\0');
    text.append(file.temporary).push_back('\0');
  }
  if (committed) text.append(kCommitMark);
  return text;
}

bool isHistoryName(std::string_view name) {
  return name.size() > kHistoryFolderName.size() && name.starts_with(kHistoryFolderName) &&
         name[kHistoryFolderName.size()] == '/';
}

bool isSavedName(std::string_view name) {
  if (isHistoryName(name)) {
    const std::string_view entry = name.substr(kHistoryFolderName.size() + 1);
    return entry == "log" || (entry.size() == 64 && isLowerHex(entry));
  }
  return isPlainName(name) && !name.starts_with(kSaveLockName) &&
         !name.starts_with(kSaveJournalName);
}

bool isTemporaryNameFor(std::string_view temporary, std::string_view target,
                        unsigned long* process) {
  const std::string front = "." + std::string(target) + ".census-";
  if (!temporary.starts_with(front) || !temporary.ends_with(".tmp")) return false;
  std::string_view numbers = temporary.substr(front.size());
  numbers.remove_suffix(4);
  const std::size_t dash = numbers.find('-');
  return dash != std::string_view::npos && isDigits(numbers.substr(0, dash), process) &&
         isDigits(numbers.substr(dash + 1), nullptr);
}

std::string readJournal(std::string_view text, JournalPlan* plan) {
  if (text.empty() || kJournalHeader.starts_with(text)) return "";  // cut short as it was made
  if (!text.starts_with(kJournalHeader)) return "it does not start as a census save journal";
  text.remove_prefix(kJournalHeader.size());
  // The mark follows the last name's NUL: no name holds one.
  plan->committed =
      text.ends_with(kCommitMark) &&
      (text.size() == kCommitMark.size() || text[text.size() - kCommitMark.size() - 1] == '\0');
  if (plan->committed) text.remove_suffix(kCommitMark.size());
  for (;;) {
    const std::size_t name_end = text.find('\0');
    if (name_end == std::string_view::npos) break;
    const std::size_t temporary_end = text.find('\0', name_end + 1);
    // A journal cut short as it was written: no temporary file was made yet.
    if (temporary_end == std::string_view::npos) {
      if (plan->committed) return "its last name is cut short";
      break;
    }
    const std::string_view name = text.substr(0, name_end);
    const std::string_view temporary = text.substr(name_end + 1, temporary_end - name_end - 1);
    text.remove_prefix(temporary_end + 1);
    if (!isSavedName(name)) {
      return "it names " + quotedForScreen(name) + ", which is no file a save writes here";
    }
    // Which file's temporary it is, is told where its target is known.
    if (!temporary.empty() && (!isPlainName(temporary) || !temporary.ends_with(".tmp"))) {
      return "it names " + quotedForScreen(temporary) + ", which is no temporary file of " +
             quotedForScreen(name);
    }
    plan->files.push_back({std::string(name), std::string(temporary)});
  }
  if (plan->committed && !text.empty()) return "it holds text that is no name";
  return "";
}

std::string inFolder(const std::string& folder, std::string_view name) {
  if (folder == ".") return std::string(name);
  return kSeparators.find(folder.back()) != std::string_view::npos
             ? folder + std::string(name)
             : folder + "/" + std::string(name);
}

bool nameInFolder(const std::string& folder, const std::string& path, std::string* name) {
  if (folder == ".") {
    *name = path;
    return true;
  }
  if (!path.starts_with(folder)) return false;
  std::string_view rest = std::string_view(path).substr(folder.size());
  if (kSeparators.find(folder.back()) == std::string_view::npos) {
    if (rest.empty() || kSeparators.find(rest.front()) == std::string_view::npos) return false;
    rest.remove_prefix(1);
  }
  *name = rest;
  return true;
}

}  // namespace census
