#include "os/running_note.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "os/platform.h"
#include "test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace census {
namespace {

#ifdef _WIN32
constexpr const char* kPlaceVariable = "LOCALAPPDATA";
#else
constexpr const char* kPlaceVariable = "XDG_RUNTIME_DIR";
#endif

// The notes go to a folder of the test's own, as the variable that names
// their place says; the variables are put back afterwards.
class RunningNoteTest : public InWorkDir {
 protected:
  void SetUp() override {
    InWorkDir::SetUp();
    for (const char* name : {kPlaceVariable, "HOME"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name,
                          value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
    place_ = (std::filesystem::current_path() / "place").string();
    std::filesystem::create_directory(place_);
    std::filesystem::permissions(place_, std::filesystem::perms::owner_all);
    setEnvironment(kPlaceVariable, place_.c_str());
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) setEnvironment(name, value ? value->c_str() : "");
    InWorkDir::TearDown();
  }

  std::string notePath(const std::string& name) const {
    return (std::filesystem::path(place_) / "census" / name).string();
  }

  std::string place_;

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST_F(RunningNoteTest, OneHoldsItTheOthersReadItAndItGoesWithItsHolder) {
  std::string text, reason;
  {
    RunningNote first;
    ASSERT_EQ(first.take("serve-1", &text, &reason), RunningNote::Outcome::kHeld) << reason;
    RunningNote starting;
    EXPECT_EQ(starting.take("serve-1", &text, &reason), RunningNote::Outcome::kHeldByAnother);
    EXPECT_EQ(text, "") << "nothing is written yet";
    ASSERT_TRUE(first.write("census serve\nhttp://127.0.0.1:8642/"));
    ASSERT_TRUE(first.write("census serve\nhttp://127.0.0.1:9/"));
    RunningNote second;
    EXPECT_EQ(second.take("serve-1", &text, &reason), RunningNote::Outcome::kHeldByAnother);
    EXPECT_EQ(text, "census serve\nhttp://127.0.0.1:9/") << "a write replaces the note whole";
    EXPECT_FALSE(second.write("mine")) << "only the holder writes";
    RunningNote other_folder;
    EXPECT_EQ(other_folder.take("serve-2", &text, &reason), RunningNote::Outcome::kHeld);
  }
  RunningNote next;
  text = "left";
  EXPECT_EQ(next.take("serve-1", &text, &reason), RunningNote::Outcome::kHeld);
  std::ifstream note(notePath("serve-1"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(note), {}), "")
      << "a holder that is gone leaves no address";
}

#ifndef _WIN32
// What stands where the notes go is the user's own, or no note is kept:
// a note is never written through a link or into a folder others share.
TEST_F(RunningNoteTest, APlaceThatIsNotTheUsersAloneKeepsNoNote) {
  const std::string folder = place_ + "/census";
  const std::string victim = place_ + "/victim";
  const struct {
    const char* what;
    void (*prepare)(const std::string& folder, const std::string& victim);
  } cases[] = {
      {"the note a link to another file",
       [](const std::string& f, const std::string& v) {
         ::mkdir(f.c_str(), 0700);
         ::symlink(v.c_str(), (f + "/serve-1").c_str());
       }},
      {"the note readable by others",
       [](const std::string& f, const std::string&) {
         ::mkdir(f.c_str(), 0700);
         std::ofstream((f + "/serve-1").c_str()) << "x";
         ::chmod((f + "/serve-1").c_str(), 0644);
       }},
      {"the folder open to others",
       [](const std::string& f, const std::string&) { ::mkdir(f.c_str(), 0755); }},
      {"the folder a link",
       [](const std::string& f, const std::string& v) {
         ::mkdir((v + ".d").c_str(), 0700);
         ::symlink((v + ".d").c_str(), f.c_str());
       }},
      {"the folder a file",
       [](const std::string& f, const std::string&) { std::ofstream(f.c_str()) << "x"; }},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(folder);
    std::filesystem::remove_all(victim + ".d");
    std::ofstream(victim.c_str()) << "the victim's";
    c.prepare(folder, victim);
    RunningNote note;
    std::string text, reason;
    EXPECT_EQ(note.take("serve-1", &text, &reason), RunningNote::Outcome::kUnavailable) << c.what;
    EXPECT_FALSE(reason.empty()) << c.what;
    EXPECT_FALSE(note.write("census serve")) << c.what;
    std::ifstream kept(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the victim's") << c.what;
    EXPECT_FALSE(std::filesystem::exists(victim + ".d/serve-1")) << c.what;
  }
}

TEST_F(RunningNoteTest, WithoutARuntimeFolderTheNotesGoUnderHome) {
  setEnvironment("XDG_RUNTIME_DIR", "");
  setEnvironment("HOME", place_.c_str());
  RunningNote note;
  std::string text, reason;
  ASSERT_EQ(note.take("serve-1", &text, &reason), RunningNote::Outcome::kHeld) << reason;
  EXPECT_TRUE(std::filesystem::exists(place_ + "/.local/state/census/serve-1"));
  setEnvironment("HOME", "");
  RunningNote homeless;
  EXPECT_EQ(homeless.take("serve-2", &text, &reason), RunningNote::Outcome::kUnavailable);
}
#endif

TEST(SystemErrorText, SaysTheCommonErrorsInWords) {
#ifdef _WIN32
  const struct {
    int code;
    const char* words;
  } cases[] = {
      {10048, "the port is in use by another program"},
      {10061, "the connection was refused"},
      {11001, "the name is not known"},
      {112, "No space left on device"},
  };
  for (const auto& c : cases) EXPECT_EQ(systemErrorText(c.code), c.words) << c.code;
  const std::string unknown = systemErrorText(54321);
  EXPECT_FALSE(unknown.empty());
  EXPECT_EQ(unknown.find("Unknown error"), std::string::npos) << unknown;
#else
  EXPECT_EQ(systemErrorText(ENOENT), "No such file or directory");
#endif
}

}  // namespace
}  // namespace census
