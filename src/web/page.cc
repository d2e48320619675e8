#include "web/page.h"

#include <algorithm>

#include "base/text.h"

namespace census {
namespace {

constexpr std::string_view kNavigation =
    "<nav><a href=\"/\">Files</a> <a href=\"/lists/1\">List 1</a> <a href=\"/lists/2\">List 2</a> "
    "<a href=\"/lists/3\">List 3</a> <a href=\"/facility\">Facility</a> <a href=\"/grid\">Census "
    "grid</a> <a href=\"/check\">Check</a> <a href=\"/report\">Report</a> <a "
    "href=\"/import\">Import</a> <a href=\"/history\">History</a></nav>\n";

constexpr std::string_view kStylesheet =
    R"(body{font:16px/1.45 system-ui,sans-serif;margin:0;color:#1b1b1b;background:#fafaf7}
nav{background:#0b5d3b;padding:.5em 1em}nav a{color:#fff;margin-right:1em;text-decoration:none}
nav a:hover,nav a:focus{text-decoration:underline}
main{padding:1em 1.5em;max-width:70em}h1{font-size:1.5em;margin:.3em 0 .6em}
table{border-collapse:collapse;margin:.5em 0 1em}th,td{padding:.25em .6em;border-bottom:1px solid #ddd;text-align:left;vertical-align:top}
td.n,th.n{text-align:right;font-variant-numeric:tabular-nums}
input[type=text]{font:inherit;width:8em;padding:.15em .3em;border:1px solid #888;border-radius:3px}
input.word{width:14em}input[aria-invalid=true]{border:2px solid #b00020;background:#fff0f0}
.error{color:#b00020;display:block;font-size:.85em}.warning{color:#8a5300}
.notice{background:#e6f4ea;border-left:4px solid #0b5d3b;padding:.5em 1em}
.problem{background:#fdecea;border-left:4px solid #b00020;padding:.5em 1em}
button{font:inherit;padding:.35em 1.2em;background:#0b5d3b;color:#fff;border:0;border-radius:3px;cursor:pointer}
code{font-family:ui-monospace,monospace;white-space:nowrap}.grid td{font-size:.85em}.grid th{font-size:.8em}
tr:target,:target{outline:3px solid #f0b400}
)";

// Checks each field as it is typed, with the rules the server applies on
// saving: a figure is a whole number within 32 bits, an answer one word.
constexpr std::string_view kScript = R"('use strict';
(function () {
  function figureProblem(text) {
    var t = text.trim();
    if (!/^[+-]?[0-9]+$/.test(t)) return t === '' ? 'a figure is needed' : 'not a whole number';
    var n = Number(t);
    if (n < -2147483648 || n > 2147483647) return 'outside the 32-bit range';
    return '';
  }
  function wordProblem(text) {
    if (text === '') return 'an answer needs one word';
    if (/[\s\u0000-\u001f\u007f]/.test(text)) return 'one word only: the file keeps one word per answer';
    return '';
  }
  function check(input) {
    var kind = input.getAttribute('data-kind');
    var problem = kind === 'figure' ? figureProblem(input.value) : wordProblem(input.value);
    var note = document.getElementById(input.id + '-error');
    input.setAttribute('aria-invalid', problem ? 'true' : 'false');
    if (note) note.textContent = problem;
  }
  document.addEventListener('input', function (event) {
    var input = event.target;
    if (input.getAttribute && input.getAttribute('data-kind')) check(input);
  });
})();
)";

HttpAnswer fixedAnswer(std::string_view type, std::string_view body) {
  HttpAnswer answer;
  answer.content_type = type;
  answer.body = body;
  return answer;
}

}  // namespace

void appendHtml(std::string& out, std::string_view text) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x80 && c != '&' && c != '<' && c != '>' && c != '"' &&
           c != '\'';
  });
  if (plain) {
    out += text;
    return;
  }
  appendMarkupEscaped(out, utf8FromBytes(text));
}

std::string html(std::string_view text) {
  std::string escaped;
  appendHtml(escaped, text);
  return escaped;
}

std::string fileHtml(std::string_view text) { return html(visibleText(text)); }

HttpAnswer notFound() {
  return pageAnswer(404, "No such page",
                    "<p>There is no such page. <a href=\"/\">The files</a> lead to every "
                    "page.</p>\n");
}

HttpAnswer busyAnswer(std::string_view title) {
  HttpAnswer answer = pageAnswer(
      503, title,
      "<p class=\"problem\" role=\"alert\">Nothing was saved: another save in this folder "
      "(by the dialogue, an import or another census) is under way. Go back and save again in a "
      "moment.</p>\n");
  answer.headers.emplace_back("Retry-After", "1");
  return answer;
}

HttpAnswer pageAnswer(int status, std::string_view title, const std::string& main_html) {
  HttpAnswer answer;
  answer.status = status;
  answer.body =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>" +
      html(title) +
      " &ndash; census</title>\n<link rel=\"stylesheet\" href=\"/style.css\">\n"
      "<script src=\"/form.js\" defer></script>\n</head>\n<body>\n" +
      std::string(kNavigation) + "<main>\n<h1>" + html(title) + "</h1>\n" + main_html +
      "</main>\n</body>\n</html>\n";
  return answer;
}

HttpAnswer stylesheetAnswer() { return fixedAnswer("text/css; charset=utf-8", kStylesheet); }

HttpAnswer scriptAnswer() { return fixedAnswer("text/javascript; charset=utf-8", kScript); }

}  // namespace census
