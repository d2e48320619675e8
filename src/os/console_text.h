// Text between the program, which speaks UTF-8, and a console that takes
// and gives UTF-16 (the Windows console, through WriteConsoleW and
// ReadConsoleW): stream buffers that convert at the platform floor, so that
// every letter of "Ọ̀yọ́ → Ìbàdàn…" shows as itself whatever the console's
// code page, and what is typed reaches the program, and its files, as
// UTF-8. The console calls themselves are given as functions, so the
// conversion is the same, and tested, on every platform.
#pragma once

#include <functional>
#include <streambuf>
#include <string>
#include <string_view>

namespace census {

// UTF-16 from UTF-8. A byte that starts no sequence, or a sequence cut
// short or too long, becomes U+FFFD, as the console cannot show it anyway.
std::u16string utf16FromUtf8(std::string_view text);

// UTF-8 from UTF-16. A lone surrogate becomes U+FFFD.
std::string utf8FromUtf16(std::u16string_view text);

// Hands what is written to the console at once, as UTF-16, as an
// unbuffered stream would, so that it shows before any key is waited for
// or the screen cleared. A sequence cut between two writes waits for its end.
class ConsoleWriteBuffer final : public std::streambuf {
 public:
  // write shows the text and returns false where the console failed.
  explicit ConsoleWriteBuffer(std::function<bool(std::u16string_view)> write);

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  bool writeWhole();

  std::function<bool(std::u16string_view)> write_;
  std::string pending_;
  bool failed_ = false;
};

// Gives what is typed at the console as UTF-8 with "\n" line ends; Ctrl+Z
// at the start of a line ends the input, as it always did on Windows.
class ConsoleReadBuffer final : public std::streambuf {
 public:
  // read appends what the console gives next to *text; it returns false at
  // the end of the input or where the console failed.
  explicit ConsoleReadBuffer(std::function<bool(std::u16string* text)> read);

 protected:
  int_type underflow() override;

 private:
  std::function<bool(std::u16string*)> read_;
  std::u16string waiting_;  // a high surrogate whose low half has not come yet
  std::string given_;
  bool at_line_start_ = true;
  bool ended_ = false;
};

}  // namespace census
