// What operators' keyboards, other programs and hostile files put in the
// data files and the CSV, against every command that shows or exports it:
// nothing crashes, every output with an encoding is UTF-8, no control byte
// reaches a screen raw, and every output stays bounded.
#include <nlohmann/json.hpp>
#include <sstream>

#include "base/exit_status.h"
#include "base/text.h"
#include "commands/check.h"
#include "commands/export.h"
#include "commands/import.h"
#include "commands/report.h"
#include "test_support.h"

namespace census {
namespace {

// No control byte but the line end, and no bidirectional control.
bool safeOnScreen(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\n') || byte == 0x7F) return false;
  }
  return text.find("\xE2\x80\xAE") == std::string_view::npos &&
         text.find("\xC2\x9B") == std::string_view::npos;
}

class HostileText : public InMemory {};

TEST_F(HostileText, NoCommandCrashesOrHandsAScreenARawControl) {
  struct Case {
    const char* name;
    std::string word;
  };
  const Case cases[] = {
      {"not UTF-8", "H\xF4pital"},
      {"OSC 52 to the clipboard", "\x1B]52;c;SGVsbG8=\x07"},
      {"bell", "ring\x07"},
      {"NUL", std::string("nul\0byte", 8)},
      {"right-to-left override",
       "\xE2\x80\xAE"
       "evil"},
      {"C1 control",
       "csi\xC2\x9B"
       "2J"},
      {"100 KB word", std::string(100 * 1024, 'w')},
  };
  const std::string captions =
      "----> The State Where You Are Using This Product(Application-"
      "Program) Is Being Used :: ";
  for (const Case& c : cases) {
    files.set("Loc-datas0.dat", c.word + " 1 1 0 0\nZamfara 800 390 410 " + c.word + "\n");
    files.set("cens-stat.dat", c.word + " 2 3\n");
    files.set("Recs-Loc.dat", captions + c.word + "\n");
    const std::size_t bound = 64 * 1024;

    std::ostringstream out, errors;
    EXPECT_EQ(runCheck(files, out, errors), kExitFailure) << c.name;
    EXPECT_EQ(firstNonUtf8Byte(out.str()), std::string::npos) << c.name;
    EXPECT_TRUE(safeOnScreen(out.str()) && safeOnScreen(errors.str())) << c.name << out.str();
    EXPECT_LT(out.str().size(), bound) << c.name;

    for (const ExportFormat format : {ExportFormat::kCsv, ExportFormat::kJson}) {
      std::ostringstream exported, said;
      EXPECT_EQ(writeExport(files, format, exported, said), kExitSuccess) << c.name;
      EXPECT_EQ(firstNonUtf8Byte(exported.str()), std::string::npos) << c.name;
      std::string without_line_ends = exported.str();
      std::erase(without_line_ends, '\r');
      EXPECT_TRUE(safeOnScreen(without_line_ends)) << c.name;
      if (format == ExportFormat::kJson) {
        const auto document = nlohmann::json::parse(exported.str());
        EXPECT_EQ(document["lists"][2]["states"][0]["label"], utf8FromBytes(c.word)) << c.name;
      }
    }

    std::ostringstream page;
    writeReport(files, {"/work", "2026-12-10T09:30:00+01:00"}, page);
    EXPECT_EQ(firstNonUtf8Byte(page.str()), std::string::npos) << c.name;
    EXPECT_TRUE(safeOnScreen(page.str().substr(page.str().find("<body>")))) << c.name;
    EXPECT_LT(page.str().size(), bound) << c.name;

    std::ostringstream imported, import_said;
    EXPECT_EQ(importCsv(files, "list,label,total,male,female,youth\n3," + c.word + ",1,1,0,0\n",
                        "in.csv", false, imported, import_said),
              kExitFailure)
        << c.name;
    EXPECT_TRUE(safeOnScreen(import_said.str())) << c.name << import_said.str();
    EXPECT_LT(import_said.str().size(), 1024u) << c.name;
  }
}

}  // namespace
}  // namespace census
