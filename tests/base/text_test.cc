#include "base/text.h"

#include <gtest/gtest.h>

#include <string>

namespace census {
namespace {

TEST(Text, BytesThatAreNotUtf8AreReadAsWindows1252) {
  struct Case {
    std::string bytes;
    std::string utf8;
    std::size_t first_bad;
  };
  const std::size_t none = std::string::npos;
  const Case cases[] = {
      {"Kebi", "Kebi", none},
      {"H\xC3\xB4pital", "H\xC3\xB4pital", none},               // UTF-8 stays
      {"H\xF4pital", "H\xC3\xB4pital", 1},                      // Latin-1 range
      {"\x80 \x9F \x81", "\xE2\x82\xAC \xC5\xB8 \xC2\x81", 0},  // the C1 range of 1252
      {"\xC0\xAF", "\xC3\x80\xC2\xAF", 0},                      // overlong
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC", 0},      // a surrogate
      {"abcdefgh\xE2\x80", "abcdefgh\xC3\xA2\xE2\x82\xAC", 8},  // cut short at the end
      {"\xF0\x9F\x98\x80 ok", "\xF0\x9F\x98\x80 ok", none},     // four bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8FromBytes(c.bytes), c.utf8) << c.bytes;
    EXPECT_EQ(firstNonUtf8Byte(c.bytes), c.first_bad) << c.bytes;
    EXPECT_EQ(firstNonUtf8Byte(c.utf8), none) << c.bytes;
  }
}

TEST(Text, WordsOnAScreenShowWhatATerminalWouldObeyOrHide) {
  struct Case {
    std::string bytes;
    std::string shown;
  };
  const Case cases[] = {
      {"Kebi", "'Kebi'"},
      {std::string("a\0b", 3), "'a\\x00b'"},
      {"\x1B]52;c;SGk=\x07", "'\\e]52;c;SGk=\\x07'"},
      {"tab\there\r\n", "'tab\\there\\r\\n'"},
      {"back\\slash", "'back\\\\slash'"},
      {"\xE2\x80\xAE"
       "abc",
       "'\\u202Eabc'"},
      {"\xEF\xBB\xBF"
       "Kebi",
       "'\\uFEFFKebi'"},
      {"\x7F\xC2\x9B", "'\\x7F\\x9B'"},
      {"H\xF4pital", "'H\xC3\xB4pital'"},
      {std::string(81, 'x'), "'" + std::string(80, 'x') + "...' (81 bytes)"},
      {std::string(80, 'x'), "'" + std::string(80, 'x') + "'"},
  };
  for (const Case& c : cases) EXPECT_EQ(quotedForScreen(c.bytes), c.shown) << c.bytes;
  EXPECT_EQ(safeForScreen("/tmp/a\x1B"
                          "b.csv"),
            "/tmp/a\\eb.csv");
  EXPECT_EQ(visibleText(std::string(100, 'y') + "\x07"), std::string(100, 'y') + "\\x07");
  EXPECT_EQ(utf8Cut("H\xF4pital", 3), "H\xC3\xB4p\xE2\x80\xA6");
}

}  // namespace
}  // namespace census
