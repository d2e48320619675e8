// The program's one text policy. The data files are bytes, and the dialogue
// echoes them unchanged; every output that has an encoding (CSV, JSON, HTML,
// and findings and messages on a terminal) is valid UTF-8. A byte sequence
// that is not UTF-8 is read as Windows-1252, as the WHATWG Encoding Standard
// maps it, since that is what a Windows console or Notepad most likely
// wrote. On a screen, a word from a file also shows its control characters
// and bidirectional controls as visible escapes, and is cut when long.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace census {

// The bytes as UTF-8: valid UTF-8 sequences as they are, every other byte
// read as Windows-1252.
//   utf8FromBytes("H\xF4pital") == "H\xC3\xB4pital"  // "Hôpital"
std::string utf8FromBytes(std::string_view bytes);

// The length of the valid UTF-8 sequence at the front of bytes, with its
// code point; 0 where there is none (a byte that starts none, a sequence
// cut short, overlong, a surrogate or beyond U+10FFFF).
std::size_t utf8SequenceAt(std::string_view bytes, char32_t* code_point);

// The text with A to Z as a to z; every other byte as it is.
std::string asciiLowered(std::string_view text);

// Whether every byte of text is one of 0-9 and a-f, as sha256Hex and the
// tokens write them; true of "".
bool isLowerHex(std::string_view text);

// Appends the character c, a Unicode scalar value, as UTF-8.
void appendUtf8(char32_t c, std::string& out);

// Where the first byte that is not part of a valid UTF-8 sequence stands,
// or npos where all of them are.
std::size_t firstNonUtf8Byte(std::string_view bytes);

// Words longer than this many characters are cut on a screen.
inline constexpr std::size_t kMostCharactersShown = 80;

// A word from a file as findings and messages show it: in single quotes, as
// UTF-8, with control characters, bidirectional controls and invisible
// marks as escapes in the manner of C ("\e", "\t", "\x07", "\u202E"), a
// backslash as "\\", and where it is longer than kMostCharactersShown
// characters, cut with "..." and its whole length in bytes after it.
//   quotedForScreen("Kebi") == "'Kebi'"
//   quotedForScreen("a\x1b]52;c;\x07") == "'a\\e]52;c;\\x07'"
std::string quotedForScreen(std::string_view bytes);

// The same, without the quotes and with backslashes as they are, for a name
// in a message: a path, a file name.
std::string safeForScreen(std::string_view bytes);

// The bytes as UTF-8 with control characters, bidirectional controls and
// invisible marks shown as escapes, as in quotedForScreen, but whole,
// without quotes and with backslashes as they are: text from a file for CSV
// and HTML.
std::string visibleText(std::string_view bytes);

// At most `most` characters of the bytes as UTF-8, and "…" after them where
// there was more: a bounded piece of text for a page.
std::string utf8Cut(std::string_view bytes, std::size_t most);

// Text made safe for HTML and SVG, appended to out: & < > " and ' as
// entities, every other byte as it is.
void appendMarkupEscaped(std::string& out, std::string_view text);
std::string escapeMarkup(std::string_view text);

}  // namespace census
