#include "web/access.h"

#include <array>

#include "os/platform.h"
#include "web/page.h"

namespace census {
namespace {

constexpr std::size_t kMostFormBytes = 64 * 1024;
constexpr std::size_t kMostImportBytes = 1024 * 1024;

std::optional<std::string> randomHex(std::size_t bytes) {
  std::array<unsigned char, 32> buffer{};
  if (bytes > buffer.size() || !secureRandomBytes(std::span(buffer).first(bytes))) {
    return std::nullopt;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < bytes; ++i) {
    hex += kHex[buffer[i] >> 4];
    hex += kHex[buffer[i] & 0xF];
  }
  return hex;
}

// Compares secrets in a time that does not depend on where they differ.
bool sameSecret(std::string_view given, std::string_view secret) {
  if (given.size() != secret.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < secret.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i] ^ secret[i]);
  }
  return difference == 0;
}

HttpAnswer refusal(int status, std::string_view title, const std::string& text) {
  HttpAnswer answer = pageAnswer(status, title, "<p>" + text + "</p>\n");
  return answer;
}

// The value of the cookie of that name in a Cookie header, if any.
std::optional<std::string_view> cookieValue(std::string_view header, std::string_view name) {
  while (!header.empty()) {
    const std::size_t semicolon = header.find(';');
    std::string_view pair = header.substr(0, semicolon);
    header =
        semicolon == std::string_view::npos ? std::string_view() : header.substr(semicolon + 1);
    while (pair.starts_with(' ')) pair.remove_prefix(1);
    const std::size_t equals = pair.find('=');
    if (equals != std::string_view::npos && pair.substr(0, equals) == name) {
      return pair.substr(equals + 1);
    }
  }
  return std::nullopt;
}

bool isOwnHost(std::string_view host, int port) {
  const std::string suffix = ":" + std::to_string(port);
  return host == "127.0.0.1" + suffix || host == "localhost" + suffix;
}

bool isOwnOrigin(std::string_view origin, int port) {
  return origin.starts_with("http://") && isOwnHost(origin.substr(7), port);
}

bool fromOwnPage(const HttpRequest& request, int port) {
  if (const auto site = request.header("sec-fetch-site")) {
    return *site == "same-origin" || *site == "none";
  }
  const auto origin = request.header("origin");
  return origin && isOwnOrigin(*origin, port);
}

const std::string kHowToGetIn =
    "This census server lets in only the browser that opened the address it printed when it "
    "started, with its token (<code>http://127.0.0.1:PORT/?token=&hellip;</code>). Open that "
    "address again, or stop the server and start <code>census serve</code> anew.";

}  // namespace

std::optional<AccessKeys> makeAccessKeys(int port) {
  const auto token = randomHex(16);
  const auto cookie = randomHex(16);
  if (!token || !cookie) return std::nullopt;
  return AccessKeys{port, *token, "census-" + std::to_string(port), *cookie};
}

std::string entryAddress(const AccessKeys& keys) {
  return "http://127.0.0.1:" + std::to_string(keys.port) + "/?token=" + keys.token;
}

std::size_t mostBodyBytes(std::string_view path) {
  return path == "/import" || path == "/import/apply" ? kMostImportBytes : kMostFormBytes;
}

std::optional<HttpAnswer> framingRefusal(std::string_view method, std::string_view path,
                                         const BodyFraming& framing) {
  if (framing.has_transfer_encoding || (method == "POST" && !framing.has_content_length)) {
    return refusal(411, "Length required",
                   "A request body needs a Content-Length header; no transfer coding is taken.");
  }
  if (framing.has_content_encoding) {
    return refusal(415, "Unsupported coding", "A request body is taken only as it is, uncoded.");
  }
  if (framing.content_length > mostBodyBytes(path)) {
    return refusal(413, "Too large",
                   path.starts_with("/import")
                       ? "An import is at most 1 MiB; the figures of all three lists take a few "
                         "kilobytes."
                       : "A form is at most 64 KiB.");
  }
  return std::nullopt;
}

std::optional<HttpAnswer> accessRefusal(const HttpRequest& request, const AccessKeys& keys) {
  const auto host = request.header("host");
  if (!host || !isOwnHost(*host, keys.port)) {
    return refusal(421, "Wrong address",
                   "This server answers only at 127.0.0.1 or localhost, with its port.");
  }
  const bool post = request.method == "POST";
  if (!post && request.method != "GET" && request.method != "HEAD") {
    HttpAnswer answer =
        refusal(405, "Method not allowed", "Pages are read with GET and forms sent with POST.");
    answer.headers.emplace_back("Allow", "GET, HEAD, POST");
    return answer;
  }
  const auto cookie_header = request.header("cookie");
  const auto cookie = cookie_header ? cookieValue(*cookie_header, keys.cookie_name) : std::nullopt;
  const bool has_cookie = cookie && sameSecret(*cookie, keys.cookie_value);
  const auto fields = decodeFormFields(request.query());
  const auto token = formField(fields, "token");
  if (token && !post) {
    if (!sameSecret(*token, keys.token)) {
      return refusal(403, "Wrong token", kHowToGetIn);
    }
    HttpAnswer answer;
    answer.status = 303;
    answer.body.clear();
    // Only a path of this server: never "//elsewhere".
    const std::string_view path = request.path();
    const bool own_path = path.starts_with('/') && !path.starts_with("//");
    answer.headers.emplace_back("Location", own_path ? std::string(path) : "/");
    answer.headers.emplace_back("Set-Cookie", keys.cookie_name + "=" + keys.cookie_value +
                                                  "; Path=/; HttpOnly; SameSite=Strict");
    return answer;
  }
  if (!has_cookie) return refusal(403, "Not let in", kHowToGetIn);
  if (post && !fromOwnPage(request, keys.port)) {
    return refusal(403, "Refused", "A form is taken only from a page of this census server.");
  }
  return std::nullopt;
}

void addSecurityHeaders(HttpAnswer& answer, bool allow_inline_style) {
  answer.headers.emplace_back(
      "Content-Security-Policy",
      std::string("default-src 'none'; ") +
          (allow_inline_style ? "style-src 'unsafe-inline'; " : "style-src 'self'; ") +
          "script-src 'self'; img-src 'self'; form-action 'self'; frame-ancestors 'none'; "
          "base-uri 'none'");
  answer.headers.emplace_back("X-Content-Type-Options", "nosniff");
  answer.headers.emplace_back("Cache-Control", "no-store");
  answer.headers.emplace_back("Referrer-Policy", "same-origin");
}

}  // namespace census
