#include "web/site.h"

#include <array>

#include "web/page.h"
#include "web/pages.h"

namespace census {
namespace {

// One page of the site: its method, its path, and what answers it. The
// style sheet and the script are the only fixed answers.
struct Route {
  std::string_view method;
  std::string_view path;
  HttpAnswer (*answer)(FileSystem& files, const HttpRequest& request);
};

constexpr std::array kRoutes = {
    Route{"GET", "/", [](FileSystem& f, const HttpRequest&) { return filesPage(f); }},
    Route{"GET", "/lists/1", [](FileSystem& f, const HttpRequest& r) { return listPage(f, 1, r); }},
    Route{"GET", "/lists/2", [](FileSystem& f, const HttpRequest& r) { return listPage(f, 2, r); }},
    Route{"GET", "/lists/3", [](FileSystem& f, const HttpRequest& r) { return listPage(f, 3, r); }},
    Route{"POST", "/lists/1",
          [](FileSystem& f, const HttpRequest& r) { return saveList(f, 1, r); }},
    Route{"POST", "/lists/2",
          [](FileSystem& f, const HttpRequest& r) { return saveList(f, 2, r); }},
    Route{"POST", "/lists/3",
          [](FileSystem& f, const HttpRequest& r) { return saveList(f, 3, r); }},
    Route{"GET", "/facility", facilityPage},
    Route{"POST", "/facility", saveFacility},
    Route{"GET", "/grid", gridPage},
    Route{"GET", "/check", [](FileSystem& f, const HttpRequest&) { return checkPage(f); }},
    Route{"GET", "/report", [](FileSystem& f, const HttpRequest&) { return reportPage(f); }},
    Route{"GET", "/export.csv",
          [](FileSystem& f, const HttpRequest&) { return exportDownload(f, false); }},
    Route{"GET", "/export.json",
          [](FileSystem& f, const HttpRequest&) { return exportDownload(f, true); }},
    Route{"GET", "/import", [](FileSystem&, const HttpRequest&) { return importPage(); }},
    Route{"POST", "/import", previewImport},
    Route{"POST", "/import/apply", applyImport},
    Route{"GET", "/style.css", [](FileSystem&, const HttpRequest&) { return stylesheetAnswer(); }},
    Route{"GET", "/form.js", [](FileSystem&, const HttpRequest&) { return scriptAnswer(); }},
};

HttpAnswer route(FileSystem& files, const HttpRequest& request) {
  const std::string method = request.method == "HEAD" ? "GET" : request.method;
  std::string allowed;
  for (const Route& route : kRoutes) {
    if (route.path != request.path()) continue;
    if (route.method == method) return route.answer(files, request);
    allowed += allowed.empty() ? "" : ", ";
    allowed += route.method == "GET" ? "GET, HEAD" : route.method;
  }
  if (!allowed.empty()) {
    HttpAnswer answer =
        pageAnswer(405, "Method not allowed", "<p>This page is not sent that way.</p>\n");
    answer.headers.emplace_back("Allow", allowed);
    return answer;
  }
  return pageAnswer(404, "No such page",
                    "<p>There is no such page. <a href=\"/\">The files</a> lead to every "
                    "page.</p>\n");
}

}  // namespace

HttpAnswer Site::answer(const HttpRequest& request) {
  std::optional<HttpAnswer> refused = accessRefusal(request, keys_);
  HttpAnswer answer = refused ? std::move(*refused) : route(files_, request);
  addSecurityHeaders(answer, !refused && request.path() == "/report" && answer.status == 200);
  return answer;
}

}  // namespace census
