// Hands each fuzz input to the site as the bytes of one request, read with
// the server's own parser, limits and rules, over data files held in
// memory. The seeds carry this site's Host and cookie, so that the fuzzer
// reaches the pages and forms behind the access rules.
//
// Checked on every input, besides what the sanitizers catch: the answer is
// HTTP/1.1 with a status and every security header; a file changes only
// through a POST that the site answered as a save (303, or 200 from an
// import's apply); the cookie is set only for the token; and neither
// secret comes back unless the request's body typed it into a field.
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <string_view>

#include "fakes/memory_file_system.h"
#include "web/server.h"
#include "web/site.h"

namespace census {
namespace {

const AccessKeys kKeys{8642, "0123456789abcdef0123456789abcdef", "census-8642",
                       "fedcba9876543210fedcba9876543210"};

void require(bool holds, const char* what) {
  if (holds) return;
  std::cerr << "violated: " << what << "\n";
  std::abort();
}

std::map<std::string, std::string> snapshot(const MemoryFileSystem& files) {
  std::map<std::string, std::string> contents;
  for (const char* name :
       {"datas.dat", "Loc-datas.dat", "Loc-datas0.dat", "Recs-Loc.dat", "cens-stat.dat"}) {
    contents[name] = files.get(name).value_or("<missing>");
  }
  return contents;
}

void runOne(std::string_view input) {
  MemoryFileSystem files;
  files.set("datas.dat", "Oyo 10 5 5 2\nLagos 1 x 0 0\nJos 3 1 2 9\n");
  files.set("Loc-datas0.dat", "Kebi 1 1 0 0\nZamfara 2 1 1 0\nKatsina 3 2 1 0\nJigawa 4 2 2 0\n");
  files.set("cens-stat.dat", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n-1 x\n");
  const auto before = snapshot(files);
  Site site(files, kKeys);
  const std::string answer = exchangeOnce(site, input);

  require(answer.starts_with("HTTP/1.1 ") && answer.size() > 12, "an HTTP/1.1 status line");
  const int status = std::atoi(answer.substr(9, 3).c_str());
  require(status >= 200 && status < 600, "a status code");
  const std::string_view head = std::string_view(answer).substr(0, answer.find("\r\n\r\n"));
  require(head.find("\r\nContent-Security-Policy: default-src 'none'") != std::string_view::npos,
          "a Content-Security-Policy");
  require(head.find("\r\nX-Content-Type-Options: nosniff") != std::string_view::npos, "nosniff");
  require(head.find("\r\nCache-Control: no-store") != std::string_view::npos, "no-store");
  // A secret may come back only where the request's own body typed it
  // into a field, or as the cookie traded for the token.
  const std::size_t body_at = input.find("\r\n\r\n");
  const std::string_view body =
      body_at == std::string_view::npos ? std::string_view() : input.substr(body_at);
  const auto typed = [&](const std::string& secret) {
    return body.find(secret) != std::string_view::npos;
  };
  require(answer.find(kKeys.token) == std::string::npos || typed(kKeys.token),
          "no answer holds the token");
  if (head.find("\r\nSet-Cookie:") != std::string_view::npos) {
    require(status == 303 && input.find(kKeys.token) != std::string_view::npos,
            "the cookie only for the token");
  }
  require(std::string_view(answer).substr(head.size()).find(kKeys.cookie_value) ==
                  std::string_view::npos ||
              typed(kKeys.cookie_value),
          "no answer echoes the cookie");
  if (snapshot(files) != before) {
    require(input.starts_with("POST ") && (status == 303 || status == 200),
            "a file changes only through a save");
  }
}

}  // namespace
}  // namespace census

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  census::runOne(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
