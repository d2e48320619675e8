#include "web/http_message.h"

#include <algorithm>

#include "base/text.h"

namespace census {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// '+' is a blank and %XX a byte; a '%' not followed by two hex digits
// stands for itself.
std::string decodeFormText(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      decoded.push_back(' ');
    } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
               hexValue(text[i + 2]) >= 0) {
      decoded.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      decoded.push_back(c);
    }
  }
  return decoded;
}

// The value of a parameter of a header value: boundary in
// "multipart/form-data; boundary=xyz", name in "form-data; name="file"".
std::optional<std::string_view> headerParameter(std::string_view value, std::string_view name) {
  std::size_t at = value.find(';');
  while (at != std::string_view::npos) {
    std::string_view rest = value.substr(at + 1);
    const std::size_t start = rest.find_first_not_of(" \t");
    if (start == std::string_view::npos) break;
    rest.remove_prefix(start);
    const std::size_t equals = rest.find('=');
    const std::size_t next = rest.find(';');
    if (equals != std::string_view::npos && equals < next &&
        asciiLowered(rest.substr(0, equals)) == name) {
      std::string_view found = rest.substr(equals + 1);
      if (found.starts_with('"')) {
        const std::size_t end = found.find('"', 1);
        if (end == std::string_view::npos) return std::nullopt;
        return found.substr(1, end - 1);
      }
      return found.substr(0, std::min(found.find(';'), found.size()));
    }
    at = next == std::string_view::npos ? next : value.size() - rest.size() + next;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string_view> HttpRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (key == name) return std::string_view(value);
  }
  return std::nullopt;
}

std::string_view HttpRequest::path() const {
  const std::string_view whole(target);
  return whole.substr(0, whole.find('?'));
}

std::string_view HttpRequest::query() const {
  const std::size_t mark = target.find('?');
  return mark == std::string::npos ? std::string_view() : std::string_view(target).substr(mark + 1);
}

std::vector<std::pair<std::string, std::string>> decodeFormFields(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> fields;
  while (!text.empty()) {
    const std::size_t amp = text.find('&');
    const std::string_view field = text.substr(0, amp);
    text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
    if (field.empty()) continue;
    const std::size_t equals = field.find('=');
    fields.emplace_back(decodeFormText(field.substr(0, equals)),
                        equals == std::string_view::npos
                            ? std::string()
                            : decodeFormText(field.substr(equals + 1)));
  }
  return fields;
}

std::optional<std::string> formField(const std::vector<std::pair<std::string, std::string>>& fields,
                                     std::string_view name) {
  for (const auto& [key, value] : fields) {
    if (key == name) return value;
  }
  return std::nullopt;
}

std::optional<std::string> multipartField(std::string_view content_type, std::string_view body,
                                          std::string_view name) {
  if (!asciiLowered(content_type).starts_with("multipart/form-data")) return std::nullopt;
  const std::optional<std::string_view> boundary = headerParameter(content_type, "boundary");
  if (!boundary || boundary->empty() || boundary->size() > 200) return std::nullopt;
  const std::string delimiter = "--" + std::string(*boundary);
  std::size_t at = body.find(delimiter);
  while (at != std::string_view::npos) {
    std::size_t part = at + delimiter.size();
    if (body.substr(part, 2) == "--") return std::nullopt;  // the closing delimiter
    if (body.substr(part, 2) != "\r\n") return std::nullopt;
    part += 2;
    const std::size_t headers_end = body.find("\r\n\r\n", part);
    if (headers_end == std::string_view::npos) return std::nullopt;
    const std::string_view part_headers = body.substr(part, headers_end - part);
    const std::size_t content = headers_end + 4;
    const std::size_t next = body.find("\r\n" + delimiter, content);
    if (next == std::string_view::npos) return std::nullopt;
    // The part's own name, from its Content-Disposition line.
    std::string_view rest = part_headers;
    while (!rest.empty()) {
      const std::size_t line_end = std::min(rest.find("\r\n"), rest.size());
      const std::string_view line = rest.substr(0, line_end);
      rest = line_end == rest.size() ? std::string_view() : rest.substr(line_end + 2);
      const std::size_t colon = line.find(':');
      if (colon == std::string_view::npos ||
          asciiLowered(line.substr(0, colon)) != "content-disposition") {
        continue;
      }
      const std::optional<std::string_view> part_name = headerParameter(line, "name");
      if (part_name && *part_name == name) return std::string(body.substr(content, next - content));
    }
    at = next + 2;
  }
  return std::nullopt;
}

}  // namespace census
