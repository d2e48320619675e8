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
  HttpAnswer (*answer)(Site::Pages& pages, const HttpRequest& request);
};

constexpr std::array kRoutes = {
    Route{"GET", "/", [](Site::Pages& p, const HttpRequest&) { return filesPage(p.files); }},
    Route{"GET", "/lists/1",
          [](Site::Pages& p, const HttpRequest& r) { return listPage(p.files, p.memory, 1, r); }},
    Route{"GET", "/lists/2",
          [](Site::Pages& p, const HttpRequest& r) { return listPage(p.files, p.memory, 2, r); }},
    Route{"GET", "/lists/3",
          [](Site::Pages& p, const HttpRequest& r) { return listPage(p.files, p.memory, 3, r); }},
    Route{"POST", "/lists/1",
          [](Site::Pages& p, const HttpRequest& r) { return saveList(p.files, 1, r); }},
    Route{"POST", "/lists/2",
          [](Site::Pages& p, const HttpRequest& r) { return saveList(p.files, 2, r); }},
    Route{"POST", "/lists/3",
          [](Site::Pages& p, const HttpRequest& r) { return saveList(p.files, 3, r); }},
    Route{"GET", "/facility",
          [](Site::Pages& p, const HttpRequest& r) { return facilityPage(p.files, r); }},
    Route{"POST", "/facility",
          [](Site::Pages& p, const HttpRequest& r) { return saveFacility(p.files, r); }},
    Route{"GET", "/grid",
          [](Site::Pages& p, const HttpRequest& r) { return gridPage(p.files, r); }},
    Route{"GET", "/check", [](Site::Pages& p, const HttpRequest&) { return checkPage(p.files); }},
    Route{"GET", "/report", [](Site::Pages& p, const HttpRequest&) { return reportPage(p.files); }},
    Route{"GET", "/export.csv",
          [](Site::Pages& p, const HttpRequest&) { return exportDownload(p.files, false); }},
    Route{"GET", "/export.json",
          [](Site::Pages& p, const HttpRequest&) { return exportDownload(p.files, true); }},
    Route{"GET", "/export.dhis2.json",
          [](Site::Pages& p, const HttpRequest&) {
            return dhis2Download(p.files, Dhis2Format::kDataValueSet);
          }},
    Route{"GET", "/export.adx",
          [](Site::Pages& p, const HttpRequest&) {
            return dhis2Download(p.files, Dhis2Format::kAdx);
          }},
    Route{"GET", "/import", [](Site::Pages&, const HttpRequest&) { return importPage(); }},
    Route{"POST", "/import",
          [](Site::Pages& p, const HttpRequest& r) { return previewImport(p.files, r); }},
    Route{"POST", "/import/apply",
          [](Site::Pages& p, const HttpRequest& r) { return applyImport(p.files, r); }},
    Route{"GET", "/history",
          [](Site::Pages& p, const HttpRequest&) { return historyPage(p.files); }},
    Route{
        "POST", "/history/restore",
        [](Site::Pages& p, const HttpRequest& r) { return restoreSave(p.files, p.restoring, r); }},
    Route{"GET", "/style.css", [](Site::Pages&, const HttpRequest&) { return stylesheetAnswer(); }},
    Route{"GET", "/form.js", [](Site::Pages&, const HttpRequest&) { return scriptAnswer(); }},
};

HttpAnswer route(Site::Pages& pages, const HttpRequest& request) {
  const std::string method = request.method == "HEAD" ? "GET" : request.method;
  std::string allowed;
  for (const Route& route : kRoutes) {
    if (route.path != request.path()) continue;
    if (route.method == method) return route.answer(pages, request);
    allowed += allowed.empty() ? "" : ", ";
    allowed += route.method == "GET" ? "GET, HEAD" : route.method;
  }
  if (!allowed.empty()) {
    HttpAnswer answer =
        pageAnswer(405, "Method not allowed", "<p>This page is not sent that way.</p>\n");
    answer.headers.emplace_back("Allow", allowed);
    return answer;
  }
  return notFound();
}

}  // namespace

HttpAnswer Site::answer(const HttpRequest& request) {
  std::optional<HttpAnswer> refused = accessRefusal(request, keys_);
  HttpAnswer answer = refused ? std::move(*refused) : route(pages_, request);
  addSecurityHeaders(answer, !refused && request.path() == "/report" && answer.status == 200);
  return answer;
}

}  // namespace census
