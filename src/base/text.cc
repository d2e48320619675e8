#include "base/text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace census {
namespace {

// Windows-1252 from 0x80 to 0x9F; the rest of 0xA0 to 0xFF is Latin-1.
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::size_t utf8SequenceAt(std::string_view bytes, char32_t* code_point) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    *code_point = lead;
    return 1;
  }
  std::size_t length = 0;
  char32_t value = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i) & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code_point = value;
  return length;
}

std::string asciiLowered(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool isLowerHex(std::string_view text) {
  return text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

namespace {

// The next character of bytes, as UTF-8 reads it or else as Windows-1252;
// returns how many bytes it took.
std::size_t nextCharacter(std::string_view bytes, char32_t* code_point) {
  if (const std::size_t length = utf8SequenceAt(bytes, code_point)) return length;
  const unsigned char byte = static_cast<unsigned char>(bytes[0]);
  *code_point = byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte;
  return 1;
}

// Characters a screen must not be handed raw: controls, which a terminal
// obeys, and the bidirectional controls and invisible marks, which turn or
// hide the text around them.
bool mustBeEscaped(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2069) || c == 0xFEFF;
}

void appendEscape(char32_t c, std::string& out) {
  struct Named {
    char32_t c;
    const char* escape;
  };
  static constexpr Named kNamed[] = {
      {'\t', "\\t"}, {'\n', "\\n"}, {'\r', "\\r"}, {0x1B, "\\e"}, {'\\', "\\\\"}};
  for (const Named& named : kNamed) {
    if (named.c == c) {
      out += named.escape;
      return;
    }
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  const int digits = c < 0x100 ? 2 : 4;
  out += c < 0x100 ? "\\x" : "\\u";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
    out.push_back(kHex[(c >> shift) & 0xF]);
}

// The bytes with escapes; where most is not npos, cut after that many
// characters, the cut said by "..." and the whole length.
std::string escaped(std::string_view bytes, std::size_t most, bool escape_backslash, bool* cut) {
  std::string out;
  std::size_t shown = 0;
  *cut = false;
  for (std::string_view rest = bytes; !rest.empty(); ++shown) {
    if (shown == most) {
      *cut = true;
      return out;
    }
    char32_t c = 0;
    rest.remove_prefix(nextCharacter(rest, &c));
    if (mustBeEscaped(c) || (escape_backslash && c == '\\')) {
      appendEscape(c, out);
    } else {
      appendUtf8(c, out);
    }
  }
  return out;
}

std::string forScreen(std::string_view bytes, bool quotes) {
  bool cut = false;
  // In a quoted word a backslash is escaped too, so that every escape reads
  // one way; a name (a Windows path) keeps its backslashes.
  const std::string text = escaped(bytes, kMostCharactersShown, quotes, &cut);
  const std::string quote = quotes ? "'" : "";
  if (!cut) return quote + text + quote;
  return quote + text + "..." + quote + " (" + std::to_string(bytes.size()) + " bytes)";
}

}  // namespace

void appendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string utf8FromBytes(std::string_view bytes) {
  if (firstNonUtf8Byte(bytes) == std::string_view::npos) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (std::string_view rest = bytes; !rest.empty();) {
    char32_t c = 0;
    rest.remove_prefix(nextCharacter(rest, &c));
    appendUtf8(c, out);
  }
  return out;
}

std::size_t firstNonUtf8Byte(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    // Eight bytes of ASCII at a time: no byte with its high bit set.
    std::uint64_t word = 0;
    if (at + sizeof word <= bytes.size()) {
      std::memcpy(&word, bytes.data() + at, sizeof word);
      if ((word & 0x8080808080808080) == 0) {
        at += sizeof word;
        continue;
      }
    }
    if (static_cast<unsigned char>(bytes[at]) < 0x80) {
      ++at;
      continue;
    }
    char32_t ignored = 0;
    const std::size_t length = utf8SequenceAt(bytes.substr(at), &ignored);
    if (length == 0) return at;
    at += length;
  }
  return std::string_view::npos;
}

std::string quotedForScreen(std::string_view bytes) { return forScreen(bytes, true); }

std::string safeForScreen(std::string_view bytes) { return forScreen(bytes, false); }

std::string visibleText(std::string_view bytes) {
  bool cut = false;
  return escaped(bytes, std::string_view::npos, false, &cut);
}

std::string utf8Cut(std::string_view bytes, std::size_t most) {
  std::string out;
  std::size_t taken = 0;
  for (std::string_view rest = bytes; !rest.empty(); ++taken) {
    if (taken == most) return out + "\u2026";
    char32_t c = 0;
    rest.remove_prefix(nextCharacter(rest, &c));
    appendUtf8(c, out);
  }
  return out;
}

void appendMarkupEscaped(std::string& out, std::string_view text) {
  static constexpr std::array<std::pair<char, std::string_view>, 5> kEntities = {
      {{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&#39;"}}};
  for (const char c : text) {
    const auto entity = std::find_if(kEntities.begin(), kEntities.end(),
                                     [c](const auto& pair) { return pair.first == c; });
    if (entity == kEntities.end()) {
      out.push_back(c);
    } else {
      out += entity->second;
    }
  }
}

std::string escapeMarkup(std::string_view text) {
  std::string escaped;
  appendMarkupEscaped(escaped, text);
  return escaped;
}

}  // namespace census
