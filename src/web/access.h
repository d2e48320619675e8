// Who may ask the server what, and how a request must be framed. The
// server listens on 127.0.0.1 only, yet any page in the operator's browser
// and any program on the machine can reach it; so besides the address:
//   - a secret token, in the address census serve prints and nowhere else,
//     is traded at the first visit for a cookie of this server's own;
//   - the Host header must name this server by its loopback address or
//     "localhost" and its port, which defeats DNS rebinding;
//   - a POST must come from a page of this server (Sec-Fetch-Site, or else
//     Origin), which defeats cross-site forms;
//   - a body needs Content-Length and is bounded; no transfer or content
//     coding is taken.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "web/http_message.h"

namespace census {

// The keys of one server: its port, the token it printed and the cookie it
// trades the token for.
struct AccessKeys {
  int port = 0;
  std::string token;         // 32 hexadecimal digits: 128 bits
  std::string cookie_name;   // "census-8642"
  std::string cookie_value;  // 32 hexadecimal digits
};

// Fresh keys for a server on this port, from the operating system's random
// source; nullopt where that cannot be read.
std::optional<AccessKeys> makeAccessKeys(int port);

// The address to open: "http://127.0.0.1:8642/?token=...".
std::string entryAddress(const AccessKeys& keys);

// The most bytes a request's body may have on this path: 1 MiB for an
// import, 64 KiB for every other form.
std::size_t mostBodyBytes(std::string_view path);

// The most bytes of a request line and its headers.
inline constexpr std::size_t kMostHeaderBytes = 16 * 1024;

// What the header of a request says of its body, before the body is read.
struct BodyFraming {
  bool has_content_length = false;
  std::size_t content_length = 0;
  bool has_transfer_encoding = false;
  bool has_content_encoding = false;
};

// The refusal of a request whose body cannot be taken, judged from its
// header alone: 411 for a POST without Content-Length or any request with
// Transfer-Encoding, 415 for Content-Encoding, 413 for a body over the
// path's limit. nullopt where the body may be read.
std::optional<HttpAnswer> framingRefusal(std::string_view method, std::string_view path,
                                         const BodyFraming& framing);

// The refusal of a request that may not go on, or the answer that trades a
// token for the cookie: 421 for a Host that is not this server, 405 for a
// method other than GET, HEAD and POST, 403 without the cookie or the
// token, or for a POST from elsewhere; a GET with the right token gets 303
// to the same address without it, and the cookie. nullopt where the
// request may go on to its page.
std::optional<HttpAnswer> accessRefusal(const HttpRequest& request, const AccessKeys& keys);

// The headers every answer carries: a Content-Security-Policy that allows
// nothing from elsewhere, nosniff, no-store and a same-origin referrer.
// allow_inline_style for a page that brings its own <style> (the report).
void addSecurityHeaders(HttpAnswer& answer, bool allow_inline_style);

}  // namespace census
