#include "dialogue/pass_loop.h"

#include <sstream>

#include "dialogue/credits.h"
#include "test_support.h"

namespace census {
namespace {

using PassLoop = InMemory;

struct TranscriptCase {
  const char* name;
  std::string input;
  std::string expected;  // everything between the sign-on and the sign-off
};

TEST_F(PassLoop, WritesExactTranscripts) {
  const std::string prompt_line = "  <---- Enter The Value For The Option Needed <---- \n";
  const TranscriptCase cases[] = {
      {"quit at once", "-1\n", promptBlock()},
      {"two passes count 1 then 2", "5\n0\n7 11\n-1\n",
       promptBlock() + echoText(5) + bannerText(1) + promptBlock() + echoText(7) + bannerText(2) +
           promptBlock()},
      {"-1 as option code is a code, not a quit", "3\n-1\n-1\n",
       promptBlock() + echoText(3) + bannerText(1) + promptBlock()},
      {"pass value 0 continues", "0 0 -1",
       promptBlock() + echoText(0) + bannerText(1) + promptBlock()},
      {"signed and padded numbers", "+4 -0012 -1",
       promptBlock() + echoText(4) + bannerText(1) + promptBlock()},
      {"bad words at the pass prompt repeat the block", "abc 12abc 1.5 99999999999 - 2 0 -1",
       promptBlock() + promptBlock() + promptBlock() + promptBlock() + promptBlock() +
           promptBlock() + echoText(2) + bannerText(1) + promptBlock()},
      {"bad words at the option prompt repeat its line", "2 x 2147483648 11 -1",
       promptBlock() + echoText(2) + prompt_line + prompt_line + bannerText(1) + promptBlock()},
      {"end of input at the pass prompt", "", promptBlock()},
      {"end of input at the option prompt", "6", promptBlock() + echoText(6)},
      {"end of input after bad words", "6 oops", promptBlock() + echoText(6) + prompt_line},
      {"extreme pass values", "2147483647 0 -2147483648 0 -1",
       promptBlock() + echoText(2147483647) + bannerText(1) + promptBlock() +
           echoText(-2147483647 - 1) + bannerText(2) + promptBlock()},
  };
  for (const TranscriptCase& c : cases) {
    platform.calls.clear();
    EXPECT_EQ(runSession(c.input), signOnText() + c.expected + signOffText()) << c.name;
    EXPECT_EQ(platform.calls, std::vector<std::string>{"key"}) << c.name;
  }
}

TEST_F(PassLoop, FlushesEveryPromptBeforeItsRead) {
  // A stream that records what had reached the output when each read began.
  class WatchingBuffer : public std::streambuf {
   public:
    WatchingBuffer(std::string input, const std::stringstream& output)
        : input_(std::move(input)), output_(output) {}
    std::vector<std::string> seen_at_read;

   protected:
    int_type underflow() override {
      if (served_) return traits_type::eof();
      seen_at_read.push_back(output_.str());
      served_ = true;
      setg(input_.data(), input_.data(), input_.data() + input_.size());
      return traits_type::to_int_type(input_[0]);
    }

   private:
    std::string input_;
    const std::stringstream& output_;
    bool served_ = false;
  };
  std::stringstream out;
  std::ostringstream errors;
  WatchingBuffer buffer("-1\n", out);
  std::istream in(&buffer);
  runCensus(in, out, errors, platform, files);
  ASSERT_EQ(buffer.seen_at_read.size(), 1u);
  EXPECT_EQ(buffer.seen_at_read[0], signOnText() + promptBlock());
}

TEST_F(PassLoop, UnknownOptionCodesRunNothing) {
  writeFile("datas.dat", "Oyo 1 2 3 4\n");
  EXPECT_EQ(runSession("1 0 1 11 1 -5 -1"), signOnText() + promptBlock() + echoText(1) +
                                                bannerText(1) + promptBlock() + echoText(1) +
                                                bannerText(2) + promptBlock() + echoText(1) +
                                                bannerText(3) + promptBlock() + signOffText());
  EXPECT_EQ(readFile("datas.dat"), "Oyo 1 2 3 4\n");
  EXPECT_FALSE(fileExists("Recs-Loc.dat"));
}

TEST(CreditLines, AreFramedWithTheirRunsOfBlanks) {
  struct Frame {
    std::string_view line;
    std::size_t blanks;
  };
  const Frame frames[] = {{kSignOnCredit1, 14}, {kSignOnCredit2, 1},   {kSignOnCredit3, 14},
                          {kSignOnCredit4, 1},  {kSignOffCredit1, 27}, {kSignOffCredit2, 27}};
  for (const Frame& frame : frames) {
    const std::string_view line = frame.line;
    ASSERT_TRUE(line.starts_with(" -->" + std::string(frame.blanks, ' '))) << line;
    EXPECT_NE(line[4 + frame.blanks], ' ') << line;
    EXPECT_TRUE(line.ends_with(" !!!\n")) << line;
  }
  EXPECT_TRUE(kSignOnCredit2.ends_with("  !!!\n"));
  EXPECT_FALSE(kSignOnCredit2.ends_with("   !!!\n"));
}

}  // namespace
}  // namespace census
