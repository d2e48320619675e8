#include "os/console_text.h"

#include <gtest/gtest.h>

#include <istream>
#include <ostream>
#include <vector>

namespace census {
namespace {

// Nigerian names and the program's own signs, each a different length in UTF-8.
const std::string kNames =
    "\xE1\xBB\x8C\xCC\x80y\xE1\xBB\x8D\xCC\x81 \xE2\x86\x92 \xC3\x8C"
    "b\xC3\xA0"
    "d\xC3\xA0n\xE2\x80\xA6 H\xC3\xB4pital \xF0\x9F\x87\xB3";
const std::u16string kWideNames =
    u"\u1ECC\u0300y\u1ECD\u0301 \u2192 \u00CCb\u00E0d\u00E0n\u2026 "
    u"H\u00F4pital \U0001F1F3";

TEST(ConsoleText, ConvertsBothWaysAndReplacesWhatIsNoText) {
  EXPECT_EQ(utf16FromUtf8(kNames), kWideNames);
  EXPECT_EQ(utf8FromUtf16(kWideNames), kNames);
  const struct {
    const char* what;
    std::string bytes;
    std::u16string wide;
  } cases[] = {
      {"a Windows-1252 byte", "H\x93pital", u"H\uFFFDpital"},
      {"a sequence cut short", "a\xE2\x86", u"a\uFFFD\uFFFD"},
      {"an overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"a surrogate in UTF-8", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"U+FFFD itself", "\xEF\xBF\xBD", u"\uFFFD"},
  };
  for (const auto& c : cases) EXPECT_EQ(utf16FromUtf8(c.bytes), c.wide) << c.what;
  EXPECT_EQ(utf8FromUtf16(u"a\xD800"
                          "b"),
            "a\xEF\xBF\xBD"
            "b");
}

// However the text is cut into writes, the console is handed whole
// characters, each write at once.
TEST(ConsoleText, WritesHandWholeCharactersToTheConsoleAtOnce) {
  for (std::size_t piece = 1; piece <= 5; ++piece) {
    std::vector<std::u16string> shown;
    ConsoleWriteBuffer buffer([&](std::u16string_view text) {
      shown.emplace_back(text);
      return true;
    });
    std::ostream out(&buffer);
    for (std::size_t i = 0; i < kNames.size(); i += piece) out << kNames.substr(i, piece);
    std::u16string all;
    for (const std::u16string& text : shown) {
      EXPECT_EQ(utf8FromUtf16(text).find("\xEF\xBF\xBD"), std::string::npos) << piece;
      all += text;
    }
    EXPECT_EQ(all, kWideNames) << "in pieces of " << piece;
  }
  ConsoleWriteBuffer failing([](std::u16string_view) { return false; });
  std::ostream out(&failing);
  out << "x" << std::flush;
  EXPECT_TRUE(out.fail());
}

// What is typed arrives as UTF-8 lines, however the console splits it.
TEST(ConsoleText, TypedTextArrivesAsUtf8Lines) {
  const std::vector<std::u16string> typed = {u"H\u00F4pital\r\n", u"\U0001F1F3x\r\n", u"2\r\n",
                                             u"\x1A\r\n", u"after the end\r\n"};
  std::vector<std::u16string> reads;
  for (const std::u16string& line : typed) {
    // The flag's surrogates come in two reads.
    if (line.size() > 2 && line[0] >= 0xD800 && line[0] <= 0xDBFF) {
      reads.push_back(line.substr(0, 1));
      reads.push_back(line.substr(1));
    } else {
      reads.push_back(line);
    }
  }
  std::size_t next = 0;
  ConsoleReadBuffer buffer([&](std::u16string* text) {
    if (next == reads.size()) return false;
    *text += reads[next++];
    return true;
  });
  std::istream in(&buffer);
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(in, line)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"H\xC3\xB4pital", "\xF0\x9F\x87\xB3x", "2"}));
}

}  // namespace
}  // namespace census
