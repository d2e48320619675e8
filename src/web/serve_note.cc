#include "web/serve_note.h"

#include "base/sha256.h"
#include "base/text.h"

namespace census {
namespace {

constexpr std::string_view kHeading = "census serve\n";
constexpr std::string_view kAddressStart = "http://127.0.0.1:";
constexpr std::string_view kTokenStart = "/?token=";
constexpr std::size_t kTokenDigits = 32;

// "http://127.0.0.1:PORT/?token=HEX", PORT from 1 to 65535 without a
// leading zero.
bool isServeAddress(std::string_view address) {
  if (!address.starts_with(kAddressStart)) return false;
  address.remove_prefix(kAddressStart.size());
  const std::size_t slash = address.find('/');
  const std::string_view port = address.substr(0, slash);
  if (port.empty() || port.size() > 5 || port[0] == '0' ||
      port.find_first_not_of("0123456789") != std::string_view::npos ||
      std::stoi(std::string(port)) > 65535) {
    return false;
  }
  address.remove_prefix(port.size());
  if (!address.starts_with(kTokenStart)) return false;
  address.remove_prefix(kTokenStart.size());
  return address.size() == kTokenDigits && isLowerHex(address);
}

}  // namespace

std::string serveNoteName(std::string_view folder) {
  return "serve-" + sha256Hex(folder).substr(0, 32);
}

std::string serveNoteText(std::string_view address, std::string_view folder) {
  return std::string(kHeading) + std::string(address) + "\n" + std::string(folder);
}

std::optional<std::string> servedAddress(std::string_view note_text, std::string_view folder) {
  if (!note_text.starts_with(kHeading)) return std::nullopt;
  note_text.remove_prefix(kHeading.size());
  const std::size_t line_end = note_text.find('\n');
  if (line_end == std::string_view::npos || note_text.substr(line_end + 1) != folder) {
    return std::nullopt;
  }
  const std::string_view address = note_text.substr(0, line_end);
  if (!isServeAddress(address)) return std::nullopt;
  return std::string(address);
}

}  // namespace census
