// The log read as a stream: newest first and oldest first give the same
// entries, whatever lines that are no entry stand between them and however
// many stretches the reading goes by; a line past the bound is no entry.
#include <algorithm>
#include <string>
#include <vector>

#include "records/history.h"
#include "test_support.h"

namespace census {
namespace {

class HistoryLog : public InMemory {};

std::string pushLine(std::size_t number) {
  return std::to_string(number) + "\t2026-12-10T17:30:00Z\tpush\tada\thttps://hmis.ng\t" +
         std::to_string(number) + " imported\n";
}

std::vector<std::size_t> numbersNewestFirst(FileSystem& files, std::size_t most = SIZE_MAX) {
  std::vector<std::size_t> numbers;
  visitNewestFirst(files, [&](const HistoryEntry& entry) {
    numbers.push_back(entry.number);
    return numbers.size() < most;
  });
  return numbers;
}

TEST_F(HistoryLog, NewestFirstIsOldestFirstTurnedAround) {
  std::string log;
  for (std::size_t number = 1; number <= 10'000; ++number) {
    log += pushLine(number);
    if (number == 4096) log += "no entry at all\n";
    if (number == 4097) log += pushLine(12);  // not above the one before
    if (number == 8191) log += std::string(kMostHistoryLine + 10, 'x') + "\n";
  }
  log += "10001\t2026-12";  // torn
  files.set("census-history", "", MemoryFileSystem::Oddity::kDirectory);
  files.set("census-history/log", log);

  const History oldest_first = readHistory(files);
  std::vector<std::size_t> expected;
  for (const HistoryEntry& entry : oldest_first.entries) expected.push_back(entry.number);
  std::reverse(expected.begin(), expected.end());
  EXPECT_EQ(expected.size(), 10'000u);
  EXPECT_EQ(numbersNewestFirst(files), expected);
  EXPECT_EQ(numbersNewestFirst(files, 3), (std::vector<std::size_t>{10'000, 9'999, 9'998}));

  ASSERT_EQ(oldest_first.bad_lines.size(), 3u);
  EXPECT_EQ(oldest_first.bad_lines[0],
            std::make_pair(std::size_t{4097}, std::string("it is no entry of the history")));
  EXPECT_EQ(oldest_first.bad_lines[1].first, 4099u);
  EXPECT_EQ(oldest_first.bad_lines[2],
            std::make_pair(std::size_t{8194}, std::string("it is longer than 64 KiB")));
  EXPECT_EQ(oldest_first.torn_line, 10'004u);
  // The next entry goes after the last whole line: the torn one is let go.
  EXPECT_EQ(oldest_first.scan.whole_bytes, log.rfind('\n') + 1);
  EXPECT_EQ(oldest_first.scan.last_number, 10'000u);
}

}  // namespace
}  // namespace census
