// The frame of every page of the site: one stylesheet and one small script
// of its own, the same navigation, and text escaped for HTML.
#pragma once

#include <string>
#include <string_view>

#include "web/http_message.h"

namespace census {

// Text of the program's own or typed by the operator, for HTML: & < > " '
// as entities, and bytes that are not UTF-8 read as Windows-1252.
std::string html(std::string_view text);

// The same, appended to out.
void appendHtml(std::string& out, std::string_view text);

// Text from a data file, for HTML: as html(), with control characters and
// bidirectional controls shown as escapes.
std::string fileHtml(std::string_view text);

// An answer holding a whole page: its title (also the first heading) and
// the HTML of its main part.
HttpAnswer pageAnswer(int status, std::string_view title, const std::string& main_html);

// The one page for an address the site has no page at: 404.
HttpAnswer notFound();

// The answer to a save that found another save in the folder under way:
// 503, with Retry-After, and nothing saved. The server never waits for it.
HttpAnswer busyAnswer(std::string_view title);

// The stylesheet and the script every page links to, at /style.css and
// /form.js.
HttpAnswer stylesheetAnswer();
HttpAnswer scriptAnswer();

}  // namespace census
