#include "os/console_text.h"

#include <cstdint>

#include "base/text.h"

namespace census {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The length of the UTF-8 sequence a byte starts, or 0 for one that starts none.
std::size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

void appendUtf16(std::u16string& text, char32_t c) {
  if (c < 0x10000) {
    text += static_cast<char16_t>(c);
    return;
  }
  c -= 0x10000;
  text += static_cast<char16_t>(0xD800 + (c >> 10));
  text += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
}

// Where the text ends with the start of a sequence whose rest has not come
// yet, how many bytes that start is; 0 otherwise.
std::size_t unfinishedTail(std::string_view text) {
  for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    const auto byte = static_cast<unsigned char>(text[text.size() - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation: look further back
    return sequenceLength(byte) > back ? back : 0;
  }
  return 0;
}

}  // namespace

std::u16string utf16FromUtf8(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t c = kReplacement;
    // A byte that starts no whole sequence is one replacement of its own.
    const std::size_t length = utf8SequenceAt(text.substr(i), &c);
    appendUtf16(wide, length == 0 ? kReplacement : c);
    i += length == 0 ? 1 : length;
  }
  return wide;
}

std::string utf8FromUtf16(std::u16string_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool low_follows = i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (high && low_follows) {
      appendUtf8(0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[i + 1] - 0xDC00), narrow);
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      appendUtf8(kReplacement, narrow);
    } else {
      appendUtf8(unit, narrow);
    }
  }
  return narrow;
}

ConsoleWriteBuffer::ConsoleWriteBuffer(std::function<bool(std::u16string_view)> write)
    : write_(std::move(write)) {}

ConsoleWriteBuffer::int_type ConsoleWriteBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char byte = traits_type::to_char_type(c);
  return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize ConsoleWriteBuffer::xsputn(const char* text, std::streamsize count) {
  if (failed_) return 0;
  pending_.append(text, static_cast<std::size_t>(count));
  return writeWhole() ? count : 0;
}

int ConsoleWriteBuffer::sync() { return writeWhole() ? 0 : -1; }

bool ConsoleWriteBuffer::writeWhole() {
  if (failed_) return false;
  const std::size_t whole = pending_.size() - unfinishedTail(pending_);
  if (whole == 0) return true;
  const std::u16string text = utf16FromUtf8(std::string_view(pending_).substr(0, whole));
  pending_.erase(0, whole);
  failed_ = !write_(text);
  return !failed_;
}

ConsoleReadBuffer::ConsoleReadBuffer(std::function<bool(std::u16string* text)> read)
    : read_(std::move(read)) {}

ConsoleReadBuffer::int_type ConsoleReadBuffer::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  given_.clear();
  while (given_.empty() && !ended_) {
    std::u16string text = std::move(waiting_);
    waiting_.clear();
    if (!read_(&text)) {
      ended_ = true;
    } else if (at_line_start_ && !text.empty() && text.front() == u'\x1A') {
      ended_ = true;  // Ctrl+Z at the start of a line
      text.clear();
    }
    // A pair of surrogates may come in two reads.
    if (!ended_ && !text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
      waiting_ = text.back();
      text.pop_back();
    }
    std::u16string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
      lines += text[i];
    }
    given_ = utf8FromUtf16(lines);
  }
  if (given_.empty()) return traits_type::eof();
  at_line_start_ = given_.back() == '\n';
  setg(given_.data(), given_.data(), given_.data() + given_.size());
  return traits_type::to_int_type(*gptr());
}

}  // namespace census
