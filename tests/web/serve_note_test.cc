#include "web/serve_note.h"

#include <gtest/gtest.h>

namespace census {
namespace {

const std::string kFolder = "/home/ada/figures";
const std::string kAddress = "http://127.0.0.1:8642/?token=0123456789abcdef0123456789abcdef";

TEST(ServeNote, NamesAFolderTheSameWayEachTime) {
  EXPECT_EQ(serveNoteName(kFolder), serveNoteName(kFolder));
  EXPECT_NE(serveNoteName(kFolder), serveNoteName(kFolder + "2"));
  EXPECT_EQ(serveNoteName(kFolder).size(), 6u + 32u);
  EXPECT_EQ(serveNoteName(kFolder).find_first_not_of("serv-0123456789abcdef"), std::string::npos);
}

// Only an address census serve gives, of this folder, is ever handed to
// the browser.
TEST(ServeNote, GivesBackOnlyAServeAddressOfTheSameFolder) {
  EXPECT_EQ(servedAddress(serveNoteText(kAddress, kFolder), kFolder), kAddress);
  EXPECT_EQ(servedAddress(serveNoteText(kAddress, "/a\nb"), "/a\nb"), kAddress);
  const std::string token = "/?token=0123456789abcdef0123456789abcdef";
  const struct {
    const char* what;
    std::string note;
  } refused[] = {
      {"an empty note (being written)", ""},
      {"a note cut short", "census serve\n" + kAddress},
      {"another folder", serveNoteText(kAddress, kFolder + "/sub")},
      {"another program's note", "other\n" + kAddress + "\n" + kFolder},
      {"another host", serveNoteText("http://example.org:8642" + token, kFolder)},
      {"another scheme", serveNoteText("file://127.0.0.1:8642" + token, kFolder)},
      {"a command", serveNoteText("http://127.0.0.1:8642" + token + "&calc.exe", kFolder)},
      {"a short token", serveNoteText("http://127.0.0.1:8642/?token=0123", kFolder)},
      {"an upper-case token",
       serveNoteText("http://127.0.0.1:8642/?token=0123456789ABCDEF0123456789ABCDEF", kFolder)},
      {"no port", serveNoteText("http://127.0.0.1:" + token, kFolder)},
      {"port 0", serveNoteText("http://127.0.0.1:0" + token, kFolder)},
      {"a port too large", serveNoteText("http://127.0.0.1:65536" + token, kFolder)},
      {"a port with a sign", serveNoteText("http://127.0.0.1:+8642" + token, kFolder)},
      {"a path", serveNoteText("http://127.0.0.1:8642/x" + token, kFolder)},
  };
  for (const auto& c : refused) EXPECT_EQ(servedAddress(c.note, kFolder), std::nullopt) << c.what;
}

}  // namespace
}  // namespace census
