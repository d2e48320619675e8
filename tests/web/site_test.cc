#include "web/site.h"

#include <sstream>

#include "dialogue/console.h"
#include "dialogue/facility_dialogue.h"
#include "dialogue/population_entry.h"
#include "records/history.h"
#include "records/state_lists.h"
#include "test_support.h"
#include "web/server.h"

namespace census {
namespace {

const AccessKeys kKeys{8642, std::string(32, 'a'), "census-8642", std::string(32, 'c')};
const std::string kHost = "Host: 127.0.0.1:8642\r\n";
const std::string kCookie = "Cookie: census-8642=" + std::string(32, 'c') + "\r\n";
const std::string kSameOrigin = "Sec-Fetch-Site: same-origin\r\n";

int statusOf(const std::string& answer) {
  return answer.size() > 12 ? std::stoi(answer.substr(9, 3)) : 0;
}

std::string bodyOf(const std::string& answer) {
  const std::size_t end = answer.find("\r\n\r\n");
  return end == std::string::npos ? "" : answer.substr(end + 4);
}

std::string post(const std::string& target, const std::string& headers, const std::string& body) {
  return "POST " + target + " HTTP/1.1\r\n" + headers +
         "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The form fields of a whole list, every figure the same.
std::string listForm(int list_number, const std::string& version, const std::string& figure) {
  std::string body = "version=" + version;
  const StateList& list = stateList(list_number);
  for (std::size_t p = 0; p < list.states.size(); ++p) {
    for (const std::string_view name : kFigureNames) {
      body += "&s" + std::to_string(p + 1) + "-" + std::string(name) + "=" + figure;
    }
  }
  return body;
}

class SiteTest : public InMemory {
 protected:
  std::string exchange(const std::string& request) { return exchangeOnce(site, request); }
  std::string get(const std::string& target) {
    return exchange("GET " + target + " HTTP/1.1\r\n" + kHost + kCookie + "\r\n");
  }
  // The version a page's form carries.
  std::string versionOn(const std::string& page) {
    const std::string mark = "name=\"version\" value=\"";
    const std::size_t at = page.find(mark) + mark.size();
    return page.substr(at, page.find('"', at) - at);
  }

  Site site{files, kKeys};
};

// Who may ask what: every answer carries the security headers, and no
// request but a sound save from a page of the site changes a file.
TEST_F(SiteTest, RequestsPassOnlyWithTheirHostOriginKeyAndFraming) {
  const std::string list1 = listForm(1, contentVersion("Sokoto 1 1 0 0\n"), "7");
  const std::string get_head = "GET / HTTP/1.1\r\n";
  const struct {
    const char* name;
    std::string request;
    int status;
    bool saves = false;
  } cases[] = {
      {"page with cookie", get_head + kHost + kCookie + "\r\n", 200},
      {"localhost is this host too", get_head + "Host: localhost:8642\r\n" + kCookie + "\r\n", 200},
      {"HEAD as GET", "HEAD /lists/1 HTTP/1.1\r\n" + kHost + kCookie + "\r\n", 200},
      {"rebinding host name", get_head + "Host: evil.example:8642\r\n" + kCookie + "\r\n", 421},
      {"another port", get_head + "Host: 127.0.0.1:8643\r\n" + kCookie + "\r\n", 421},
      {"no Host", get_head + kCookie + "\r\n", 421},
      {"no cookie", get_head + kHost + "\r\n", 403},
      {"wrong cookie",
       get_head + kHost + "Cookie: census-8642=" + std::string(32, 'd') + "\r\n\r\n", 403},
      {"token traded", "GET /lists/2?token=" + kKeys.token + " HTTP/1.1\r\n" + kHost + "\r\n", 303},
      {"wrong token", "GET /?token=" + std::string(32, 'b') + " HTTP/1.1\r\n" + kHost + "\r\n",
       403},
      {"token does not let a POST in",
       post("/lists/1?token=" + kKeys.token, kHost + kSameOrigin, list1), 403},
      {"save from the site", post("/lists/1", kHost + kCookie + kSameOrigin, list1), 303, true},
      {"save typed in the address bar",
       post("/lists/1", kHost + kCookie + "Sec-Fetch-Site: none\r\n", list1), 303, true},
      {"save with own Origin",
       post("/lists/1", kHost + kCookie + "Origin: http://localhost:8642\r\n", list1), 303, true},
      {"cross-site form",
       post("/lists/1", kHost + kCookie + "Sec-Fetch-Site: cross-site\r\n", list1), 403},
      {"same-site form on another port",
       post("/lists/1", kHost + kCookie + "Sec-Fetch-Site: same-site\r\n", list1), 403},
      {"foreign Origin",
       post("/lists/1", kHost + kCookie + "Origin: http://127.0.0.1:9000\r\n", list1), 403},
      {"neither Origin nor Sec-Fetch-Site", post("/lists/1", kHost + kCookie, list1), 403},
      {"chunked body",
       "POST /lists/1 HTTP/1.1\r\n" + kHost + kCookie + kSameOrigin +
           "Transfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n",
       411},
      {"POST without length", "POST /lists/1 HTTP/1.1\r\n" + kHost + kCookie + kSameOrigin + "\r\n",
       411},
      {"compressed body",
       "POST /lists/1 HTTP/1.1\r\n" + kHost + kCookie + kSameOrigin +
           "Content-Encoding: gzip\r\nContent-Length: 3\r\n\r\nabc",
       415},
      {"form over 64 KiB", post("/lists/1", kHost + kCookie + kSameOrigin, std::string(65537, 'x')),
       413},
      {"import over 1 MiB",
       post("/import", kHost + kCookie + kSameOrigin, std::string(1024 * 1024 + 1, 'x')), 413},
      {"header over 16 KiB", get_head + kHost + "X-Pad: " + std::string(17000, 'p') + "\r\n\r\n",
       431},
      {"not HTTP", "HELLO\r\n\r\n", 400},
      {"PUT", "PUT / HTTP/1.1\r\n" + kHost + kCookie + "Content-Length: 0\r\n\r\n", 405},
      {"GET a form's target", "GET /import/apply HTTP/1.1\r\n" + kHost + kCookie + "\r\n", 405},
      {"no such page", "GET /etc/passwd HTTP/1.1\r\n" + kHost + kCookie + "\r\n", 404},
      {"no file is served", "GET /datas.dat HTTP/1.1\r\n" + kHost + kCookie + "\r\n", 404},
  };
  for (const auto& c : cases) {
    files.set("datas.dat", "Sokoto 1 1 0 0\n");
    const std::string answer = exchange(c.request);
    EXPECT_EQ(statusOf(answer), c.status) << c.name << "\n" << answer.substr(0, 300);
    EXPECT_NE(answer.find("Content-Security-Policy: default-src 'none'"), std::string::npos)
        << c.name;
    EXPECT_NE(answer.find("X-Content-Type-Options: nosniff"), std::string::npos) << c.name;
    EXPECT_NE(answer.find("Cache-Control: no-store"), std::string::npos) << c.name;
    EXPECT_EQ(readFile("datas.dat") != "Sokoto 1 1 0 0\n", c.saves) << c.name;
    EXPECT_EQ(answer.find(std::string(32, 'p')), std::string::npos) << c.name << " echoes a header";
  }
}

TEST_F(SiteTest, TheTokenIsTradedForAnHttpOnlyStrictCookieAndLeftOutOfTheAddress) {
  const std::string answer =
      exchange("GET /lists/3?token=" + kKeys.token + " HTTP/1.1\r\n" + kHost + "\r\n");
  EXPECT_NE(answer.find("Location: /lists/3\r\n"), std::string::npos) << answer;
  EXPECT_NE(answer.find("Set-Cookie: census-8642=" + kKeys.cookie_value +
                        "; Path=/; HttpOnly; SameSite=Strict\r\n"),
            std::string::npos)
      << answer;
  // Never a redirect to another host.
  const std::string other =
      exchange("GET //evil.example/?token=" + kKeys.token + " HTTP/1.1\r\n" + kHost + "\r\n");
  EXPECT_NE(other.find("Location: /\r\n"), std::string::npos) << other;
}

// A save from the form writes what the dialogue's entry writes for the same
// figures; the warnings of the check show once it is saved.
TEST_F(SiteTest, AListSavedFromTheFormIsTheDialoguesFileByteForByte) {
  const StateList& list = stateList(3);
  std::string typed;
  std::string body = "version=absent";
  for (std::size_t p = 0; p < list.states.size(); ++p) {
    const std::array<int, 4> figures = {100 + static_cast<int>(p), 60, 50, 200};
    for (std::size_t f = 0; f < 4; ++f) {
      typed += std::to_string(figures[f]) + " ";
      body += "&s" + std::to_string(p + 1) + "-" + std::string(kFigureNames[f]) + "=" +
              (f == 0 ? "+" : "%20") + std::to_string(figures[f]);
    }
  }
  std::istringstream in(typed);
  std::ostringstream out;
  std::ostringstream errors;
  Console console(in, out, errors);
  FigureTable table{};
  MemoryFileSystem dialogue_files;
  enterPopulation(dialogue_files, list, console, table);

  const std::string answer = exchange(post("/lists/3", kHost + kCookie + kSameOrigin, body));
  ASSERT_EQ(statusOf(answer), 303) << answer;
  EXPECT_NE(answer.find("Location: /lists/3?saved\r\n"), std::string::npos);
  EXPECT_EQ(readFile("Loc-datas0.dat"), dialogue_files.get("Loc-datas0.dat").value());
  const std::string page = bodyOf(get("/lists/3?saved"));
  EXPECT_NE(page.find("Saved."), std::string::npos);
  EXPECT_NE(page.find("[sex-sum]"), std::string::npos);
  EXPECT_NE(page.find("[youth-over-total]"), std::string::npos);
  EXPECT_NE(page.find("aria-label=\"Kebbi total\" value=\"100\""), std::string::npos);
}

TEST_F(SiteTest, AFigureThatIsNoWholeNumberIsShownAtItsFieldAndNothingIsSaved) {
  const struct {
    std::string typed;
    std::string problem;
  } cases[] = {
      {"12abc", "&#39;12abc&#39; is not a whole number"},
      {"2147483648", "&#39;2147483648&#39; lies outside the 32-bit range"},
      {"", "a figure is needed"},
      {"1.5", "&#39;1.5&#39; is not a whole number"},
      {"%3Cb%3E", "&#39;&lt;b&gt;&#39; is not a whole number"},
  };
  for (const auto& c : cases) {
    std::string body = listForm(1, "absent", "5");
    body += "&s2-male=" + c.typed;  // the last of a name counts
    body.replace(body.find("s2-male=5"), 9, "s2-male=" + c.typed);
    const std::string answer = exchange(post("/lists/1", kHost + kCookie + kSameOrigin, body));
    EXPECT_EQ(statusOf(answer), 422) << c.typed;
    const std::string page = bodyOf(answer);
    EXPECT_NE(page.find("id=\"s2-male-error\">" + c.problem + "</span>"), std::string::npos)
        << c.typed << "\n"
        << page;
    EXPECT_NE(page.find("name=\"s2-male\" id=\"s2-male\" aria-label=\"Lagos male\""),
              std::string::npos);
    EXPECT_NE(page.find("aria-invalid=\"true\""), std::string::npos);
    EXPECT_FALSE(fileExists("datas.dat")) << c.typed;
  }
}

// Two tabs fill list 1 from one version: the first save wins, the second
// gets 409 with what it typed still in the form, beside what the file holds.
TEST_F(SiteTest, ASaveOverAChangedFileIsAConflictThatKeepsWhatWasTyped) {
  files.set("datas.dat", "Sokoto 1 1 0 0\n");
  const std::string version = versionOn(bodyOf(get("/lists/1")));
  ASSERT_EQ(version.size(), 64u);
  const std::string first =
      exchange(post("/lists/1", kHost + kCookie + kSameOrigin, listForm(1, version, "11")));
  ASSERT_EQ(statusOf(first), 303) << first;
  const std::string saved = readFile("datas.dat");

  const std::string second =
      exchange(post("/lists/1", kHost + kCookie + kSameOrigin, listForm(1, version, "22")));
  EXPECT_EQ(statusOf(second), 409);
  EXPECT_EQ(readFile("datas.dat"), saved);
  const std::string page = bodyOf(second);
  EXPECT_NE(page.find("was changed since this form was filled"), std::string::npos);
  EXPECT_NE(page.find("aria-label=\"Kano total\" value=\"22\""), std::string::npos) << page;
  EXPECT_NE(page.find("now in the file: 11"), std::string::npos);
  // The form now carries the file's new version: saving again is meant.
  const std::string again =
      exchange(post("/lists/1", kHost + kCookie + kSameOrigin, listForm(1, versionOn(page), "22")));
  EXPECT_EQ(statusOf(again), 303);
  EXPECT_NE(readFile("datas.dat").find("Kano 22 22 22 22"), std::string::npos);
}

// A save that finds another save under way is answered at once, 503 with
// Retry-After, nothing saved; one that failed past its point of no return
// never says nothing was saved.
TEST_F(SiteTest, ASaveThatCannotTakeTheLockIs503AndADecidedOneSaysSo) {
  files.set("datas.dat", "Sokoto 1 1 0 0\n");
  const std::string form = listForm(1, versionOn(bodyOf(get("/lists/1"))), "11");
  files.setSaveOutcome(MemoryFileSystem::SaveOutcome::kBusy);
  const std::string busy = exchange(post("/lists/1", kHost + kCookie + kSameOrigin, form));
  EXPECT_EQ(statusOf(busy), 503);
  EXPECT_NE(busy.find("\r\nRetry-After: 1\r\n"), std::string::npos) << busy;
  EXPECT_NE(bodyOf(busy).find("another save in this folder"), std::string::npos);
  EXPECT_EQ(statusOf(get("/lists/1")), 200);  // the pages go on answering
  EXPECT_EQ(readFile("datas.dat"), "Sokoto 1 1 0 0\n");

  // Recorded in the history, a save is of several files, decided once its
  // journal is committed.
  files.setSaveOutcome(MemoryFileSystem::SaveOutcome::kFailsWhenDecided);
  RecordingFileSystem recorded(files, SaveWay::kServe, "ada", [] { return std::time_t{1}; });
  Site recording{recorded, kKeys};
  const std::string decided =
      exchangeOnce(recording, post("/lists/1", kHost + kCookie + kSameOrigin, form));
  EXPECT_EQ(statusOf(decided), 500);
  EXPECT_EQ(bodyOf(decided).find("Nothing was saved"), std::string::npos);
  EXPECT_NE(bodyOf(decided).find("the next start of census finishes it"), std::string::npos);
}

TEST_F(SiteTest, FacilityAnswersAreOneWordEachAsTheDialogueSavesThem) {
  std::istringstream in("Kano Clinic Hospital Park Office 2026-12-10\n");
  std::ostringstream out;
  std::ostringstream errors;
  Console console(in, out, errors);
  MemoryFileSystem dialogue_files;
  enterFacilityRecord(dialogue_files, console);

  const std::string good =
      "version=absent&a1=Kano&a2=Clinic&a3=Hospital&a4=Park&a5=Office&a6=2026-12-10";
  std::string blank = good;
  blank.replace(blank.find("Park"), 4, "Green+Park");
  const std::string refused = exchange(post("/facility", kHost + kCookie + kSameOrigin, blank));
  EXPECT_EQ(statusOf(refused), 422);
  EXPECT_NE(
      bodyOf(refused).find("id=\"a4-error\">one word only: the file keeps one word per answer"),
      std::string::npos);
  EXPECT_NE(bodyOf(refused).find("value=\"Green Park\""), std::string::npos);
  EXPECT_FALSE(fileExists("Recs-Loc.dat"));

  EXPECT_EQ(statusOf(exchange(post("/facility", kHost + kCookie + kSameOrigin, good))), 303);
  EXPECT_EQ(readFile("Recs-Loc.dat"), dialogue_files.get("Recs-Loc.dat").value());
  EXPECT_NE(bodyOf(get("/facility")).find("value=\"Hospital\""), std::string::npos);
}

std::string multipart(const std::string& field, const std::string& content,
                      const std::string& more = "") {
  return more + "--XyZ\r\nContent-Disposition: form-data; name=\"" + field +
         "\"; filename=\"f.csv\"\r\nContent-Type: text/csv\r\n\r\n" + content + "\r\n--XyZ--\r\n";
}

std::string postMultipart(const std::string& target, const std::string& body) {
  return "POST " + target + " HTTP/1.1\r\n" + kHost + kCookie + kSameOrigin +
         "Content-Type: multipart/form-data; boundary=XyZ\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST_F(SiteTest, AnImportShowsWhatWouldChangeAndAppliesItAsOneSave) {
  files.set("Loc-datas0.dat", "Kebi 1 1 0 0\nZamfara 2 1 1 0\nKatsina 3 1 2 0\nJigawa 4 2 2 0\n");
  const std::string csv =
      "list,label,total,male,female,youth\n3,Kebi,1,1,0,0\n3,Zamfara,20,10,10,0\n"
      "3,Katsina,3,1,2,0\n3,Jigawa,4,2,2,0\n";
  const std::string preview = exchange(postMultipart("/import", multipart("file", csv)));
  ASSERT_EQ(statusOf(preview), 200) << preview;
  const std::string page = bodyOf(preview);
  EXPECT_NE(page.find("3 figures would change"), std::string::npos) << page;
  EXPECT_NE(page.find("<td>Zamfara</td><td>total</td><td class=\"n\">2 &rarr; 20</td>"),
            std::string::npos);
  EXPECT_EQ(readFile("Loc-datas0.dat").substr(0, 13), "Kebi 1 1 0 0\n");

  const std::string mark = "name=\"version3\" value=\"";
  const std::size_t at = page.find(mark) + mark.size();
  const std::string version = page.substr(at, 64);
  const std::string version_part =
      "--XyZ\r\nContent-Disposition: form-data; name=\"version3\"\r\n\r\n" + version + "\r\n";
  const std::string applied =
      exchange(postMultipart("/import/apply", multipart("csv", csv, version_part)));
  EXPECT_EQ(statusOf(applied), 200) << applied;
  EXPECT_NE(readFile("Loc-datas0.dat").find("Zamfara 20 10 10 0\n"), std::string::npos);

  // Applying the same preview again: the file is no longer what it showed.
  EXPECT_EQ(statusOf(exchange(postMultipart("/import/apply", multipart("csv", csv, version_part)))),
            409);
  const std::string bad = exchange(postMultipart("/import", multipart("file", "list,label\n")));
  EXPECT_EQ(statusOf(bad), 422);
  EXPECT_NE(bodyOf(bad).find("the header has no column"), std::string::npos);
}

// The page of a list is kept between requests, and shown anew once the
// file changes by any hand.
TEST_F(SiteTest, AListPageFollowsEveryChangeOfItsFile) {
  files.set("datas.dat", "Oyo 1 1 0 0\n");
  EXPECT_NE(bodyOf(get("/lists/1")).find("aria-label=\"Oyo total\" value=\"1\""),
            std::string::npos);
  EXPECT_NE(bodyOf(get("/lists/1")).find("aria-label=\"Oyo total\" value=\"1\""),
            std::string::npos);
  files.set("datas.dat", "Oyo 2 1 1 0\n");
  EXPECT_NE(bodyOf(get("/lists/1")).find("aria-label=\"Oyo total\" value=\"2\""),
            std::string::npos);
  files.remove("datas.dat");
  EXPECT_NE(bodyOf(get("/lists/1")).find("is not saved yet"), std::string::npos);
}

TEST_F(SiteTest, CheckFindingsLinkToTheirFieldsAndRows) {
  files.set("datas.dat", "Oyo 1 1 x 0\n");
  files.set("cens-stat.dat", std::string(150, '\n') + "1 2\n");
  const std::string page = bodyOf(get("/check"));
  EXPECT_NE(page.find("<a href=\"/lists/1#s1-female\"><code>datas.dat:1:9: error: "),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("href=\"/grid?page=2#row-151\""), std::string::npos) << page;
  const std::string grid = bodyOf(get("/grid?page=2"));
  EXPECT_NE(grid.find("<tr id=\"row-151\">"), std::string::npos);
  EXPECT_EQ(statusOf(get("/grid?page=3")), 404);
}

// A grid page shows its hundred rows and counts the rest without reading
// them.
TEST_F(SiteTest, AGridPageShowsItsRowsAndCountsAll) {
  std::string grid;
  for (int line = 1; line <= 250; ++line) grid += std::to_string(line) + " 2\n";
  files.set("cens-stat.dat", grid);
  const std::string first = bodyOf(get("/grid"));
  EXPECT_NE(first.find("Rows 1 to 100 of 250."), std::string::npos) << first;
  EXPECT_NE(first.find("<tr id=\"row-100\"><th scope=\"row\">100</th><td class=\"n\">100</td>"),
            std::string::npos);
  EXPECT_EQ(first.find("row-101"), std::string::npos);
  const std::string last = bodyOf(get("/grid?page=3"));
  EXPECT_NE(last.find("Rows 201 to 250 of 250."), std::string::npos) << last;
  EXPECT_NE(last.find("<tr id=\"row-250\">"), std::string::npos);
  EXPECT_EQ(last.find("row-200\""), std::string::npos);
  EXPECT_EQ(statusOf(get("/grid?page=4")), 404);
}

// The exports for DHIS2 are downloads of what `census export` writes.
TEST_F(SiteTest, TheExportsForDhis2AreDownloads) {
  files.set("Loc-datas0.dat", "Kebi 1200 600 580 300\n");
  const std::string json = get("/export.dhis2.json");
  EXPECT_EQ(statusOf(json), 200);
  EXPECT_NE(json.find("Content-Type: application/json\r\n"), std::string::npos) << json;
  EXPECT_NE(bodyOf(json).find("\"orgUnit\": \"NG-KE\""), std::string::npos);
  const std::string adx = get("/export.adx");
  EXPECT_EQ(statusOf(adx), 200);
  EXPECT_NE(adx.find("Content-Type: application/adx+xml; charset=utf-8\r\n"), std::string::npos);
  EXPECT_NE(bodyOf(adx).find("<group orgUnit=\"NG-KE\""), std::string::npos);
  files.set("census-dhis2.json", "{");
  const std::string refused = get("/export.adx");
  EXPECT_EQ(statusOf(refused), 500);
  EXPECT_NE(bodyOf(refused).find("not valid JSON"), std::string::npos);
}

}  // namespace
}  // namespace census
