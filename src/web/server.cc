#include "web/server.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <limits>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "base/exit_status.h"
#include "base/text.h"
#include "os/running_note.h"
#include "web/exclusive_listen.h"
#include "web/page.h"
#include "web/serve_note.h"

namespace census {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;
using Parser = http::request_parser<http::string_body>;
using Response = http::response<http::string_body>;

constexpr auto kRequestTime = std::chrono::seconds(5);
constexpr auto kIdleTime = std::chrono::seconds(2);
constexpr auto kStopTime = std::chrono::seconds(2);

void prepareParser(Parser& parser) {
  parser.header_limit(static_cast<std::uint32_t>(kMostHeaderBytes));
  // Judged per path once the header is read: framingRefusal, then the
  // path's own limit while the body arrives.
  parser.body_limit(std::numeric_limits<std::uint64_t>::max());
}

BodyFraming framingOf(const Parser& parser) {
  const http::request_header<>& header = parser.get().base();
  BodyFraming framing;
  framing.has_content_length = header.find(http::field::content_length) != header.end();
  framing.content_length =
      static_cast<std::size_t>(parser.content_length().value_or(0) & 0x7FFFFFFFFFFFFFFF);
  framing.has_transfer_encoding = header.find(http::field::transfer_encoding) != header.end();
  framing.has_content_encoding = header.find(http::field::content_encoding) != header.end();
  return framing;
}

HttpRequest requestOf(Parser& parser) {
  http::request<http::string_body> message = parser.release();
  HttpRequest request;
  request.method = std::string(message.method_string());
  request.target = std::string(message.target());
  for (const auto& field : message) {
    request.headers.emplace_back(asciiLowered(field.name_string()), std::string(field.value()));
  }
  request.body = std::move(message.body());
  return request;
}

Response responseOf(HttpAnswer answer, bool keep_alive, bool head) {
  Response response{static_cast<http::status>(answer.status), 11};
  response.set(http::field::content_type, answer.content_type);
  for (const auto& [name, value] : answer.headers) response.insert(name, value);
  response.keep_alive(keep_alive);
  response.content_length(answer.body.size());
  if (!head) response.body() = std::move(answer.body);
  return response;
}

// An answer of the carrier's own, before the site has seen the request.
HttpAnswer carrierAnswer(int status, std::string_view title, std::string_view text) {
  HttpAnswer answer = pageAnswer(status, title, "<p>" + std::string(text) + "</p>\n");
  addSecurityHeaders(answer, false);
  answer.close = true;
  return answer;
}

HttpAnswer badRequest() {
  return carrierAnswer(400, "Bad request", "The request could not be read as HTTP/1.1.");
}

HttpAnswer headerTooLarge() {
  return carrierAnswer(431, "Header too large", "A request's header is at most 16 KiB.");
}

// What the server does with a request at each stage of reading it: the one
// chain of decisions for a connection and for exchangeOnce alike.
struct Decision {
  enum class Next { kAnswer, kReadBody, kSilent } next = Next::kAnswer;
  HttpAnswer answer;  // where next is kAnswer
};

Decision answerWith(HttpAnswer answer) { return {Decision::Next::kAnswer, std::move(answer)}; }

// A refusal of the request's framing, which ends its connection.
Decision refusal(HttpAnswer refused) {
  addSecurityHeaders(refused, false);
  refused.close = true;
  return answerWith(std::move(refused));
}

// Whether an error is a fault of the request's text, not of the connection.
bool isRequestFault(const beast::error_code& error) {
  return error.category() == beast::error_code(http::error::bad_method).category();
}

// Once the header is read, or failed: *method and *path are the request's.
Decision afterHeader(const beast::error_code& error, Parser& parser, std::string* method,
                     std::string* path) {
  if (error == http::error::header_limit) return answerWith(headerTooLarge());
  // A connection closed between requests has nobody to answer.
  if (error == http::error::end_of_stream) return {Decision::Next::kSilent, {}};
  if (error)
    return isRequestFault(error) ? answerWith(badRequest()) : Decision{Decision::Next::kSilent, {}};
  const http::request_header<>& header = parser.get().base();
  *method = std::string(header.method_string());
  const std::string_view target = header.target();
  *path = std::string(target.substr(0, target.find('?')));
  if (auto refused = framingRefusal(*method, *path, framingOf(parser))) {
    return refusal(std::move(*refused));
  }
  parser.body_limit(mostBodyBytes(*path));
  return {Decision::Next::kReadBody, {}};
}

// Once the body is read, or failed: the site's answer, or the carrier's.
Decision afterBody(const beast::error_code& error, Parser& parser, Site& site,
                   const std::string& method, const std::string& path) {
  if (error == http::error::body_limit) {
    return refusal(*framingRefusal(method, path, {true, mostBodyBytes(path) + 1}));
  }
  if (error)
    return isRequestFault(error) ? answerWith(badRequest()) : Decision{Decision::Next::kSilent, {}};
  try {
    return answerWith(site.answer(requestOf(parser)));
  } catch (const std::exception&) {
    // Out of memory, say: this request fails, the server goes on.
    return answerWith(carrierAnswer(500, "Server error", "This request could not be answered."));
  }
}

// "2026-12-10T09:30:00Z GET /lists/1 200 5234 0.4ms"
std::string logLine(std::string_view method, std::string_view path, int status, std::size_t bytes,
                    Clock::time_point started) {
  const std::tm utc = utcTime(std::time(nullptr));
  char time[32];
  std::strftime(time, sizeof time, "%Y-%m-%dT%H:%M:%SZ", &utc);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.1fms", ms);
  return std::string(time) + " " + safeForScreen(utf8Cut(method, 16)) + " " +
         safeForScreen(utf8Cut(path, 200)) + " " + std::to_string(status) + " " +
         std::to_string(bytes) + " " + elapsed + "\n";
}

// Why a port cannot be had, in census's own words for the common causes:
// the system's own may be no words at all ("Unknown error (10048)").
std::string listenFailure(const beast::error_code& error) {
  if (error == net::error::address_in_use) return "the port is in use by another program";
  if (error == net::error::access_denied) return "the system does not let census take the port";
  if (error.category() == boost::system::system_category()) return systemErrorText(error.value());
  return error.message();
}

class Server;

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, Server& server);
  ~Session();
  void start() { readHeader(); }
  // Closes the connection where it waits for a request.
  void closeIfIdle() {
    beast::error_code ignored;
    if (!busy_) stream_.socket().close(ignored);
  }

 private:
  void readHeader();
  void onHeader(beast::error_code error);
  void onBody(beast::error_code error);
  void answer(HttpAnswer answer, bool keep_alive, bool head);
  void onWritten(beast::error_code error, bool keep_alive);
  void closeGently();

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<Parser> parser_;
  Response response_;
  Server& server_;
  bool first_ = true;
  bool busy_ = false;
  std::size_t drained_ = 0;  // bytes read and dropped while closing
  Clock::time_point started_;
  std::string method_;
  std::string path_;
};

class Server final : public HttpServer {
 public:
  Server(Site& site, std::ostream& log)
      : site_(site), log_(log), acceptor_(io_), signals_(io_), deadline_(io_) {}

  bool open(int port, std::string* reason) {
    const tcp::endpoint endpoint(net::ip::address_v4::loopback(),
                                 static_cast<unsigned short>(port));
    beast::error_code error;
    acceptor_.open(endpoint.protocol(), error);
    if (!error) prepareExclusiveListen(acceptor_, error);
    if (!error) acceptor_.bind(endpoint, error);
    if (!error) acceptor_.listen(net::socket_base::max_listen_connections, error);
    if (error) {
      *reason = listenFailure(error);
      return false;
    }
    port_ = acceptor_.local_endpoint().port();
    return true;
  }

  int port() const override { return port_; }

  void run() override {
    signals_.add(SIGINT);
    signals_.add(SIGTERM);
    signals_.async_wait([this](beast::error_code error, int) {
      if (!error) beginStop();
    });
    accept();
    io_.run();
  }

  void stop() override {
    net::post(io_, [this] { beginStop(); });
  }

  Site& site() { return site_; }
  bool stopping() const { return stopping_; }
  void log(const std::string& line) { log_ << line << std::flush; }
  void add(Session* session) { sessions_.insert(session); }
  void remove(Session* session) {
    sessions_.erase(session);
    if (stopping_ && sessions_.empty()) deadline_.cancel();
  }

 private:
  void accept() {
    acceptor_.async_accept(io_, [this](beast::error_code error, tcp::socket socket) {
      if (stopping_) return;
      if (!error) {
        std::make_shared<Session>(std::move(socket), *this)->start();
        accept();
        return;
      }
      // Out of descriptors, say: try again in a while rather than spin.
      deadline_.expires_after(std::chrono::milliseconds(100));
      deadline_.async_wait([this](beast::error_code) {
        if (!stopping_) accept();
      });
    });
  }

  void beginStop() {
    if (stopping_) return;
    stopping_ = true;
    beast::error_code ignored;
    acceptor_.close(ignored);
    signals_.cancel(ignored);
    // Closing one may end it, and take it out of the set.
    const std::set<Session*> sessions = sessions_;
    for (Session* session : sessions) session->closeIfIdle();
    if (sessions_.empty()) return;
    deadline_.expires_after(kStopTime);
    deadline_.async_wait([this](beast::error_code error) {
      if (!error) io_.stop();
    });
  }

  Site& site_;
  std::ostream& log_;
  net::io_context io_{1};
  tcp::acceptor acceptor_;
  net::signal_set signals_;
  net::steady_timer deadline_;
  std::set<Session*> sessions_;
  int port_ = 0;
  bool stopping_ = false;
};

Session::Session(tcp::socket socket, Server& server) : stream_(std::move(socket)), server_(server) {
  server_.add(this);
}

Session::~Session() { server_.remove(this); }

void Session::readHeader() {
  if (server_.stopping()) {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    return;
  }
  busy_ = false;
  parser_.emplace();
  prepareParser(*parser_);
  stream_.expires_after(first_ ? kRequestTime : kIdleTime);
  http::async_read_header(
      stream_, buffer_, *parser_,
      [self = shared_from_this()](beast::error_code error, std::size_t) { self->onHeader(error); });
}

void Session::onHeader(beast::error_code error) {
  busy_ = true;
  started_ = Clock::now();
  Decision decision = afterHeader(error, *parser_, &method_, &path_);
  if (decision.next == Decision::Next::kSilent) return;
  if (decision.next == Decision::Next::kAnswer)
    return answer(std::move(decision.answer), false, false);
  stream_.expires_after(kRequestTime);
  http::async_read(
      stream_, buffer_, *parser_,
      [self = shared_from_this()](beast::error_code error, std::size_t) { self->onBody(error); });
}

void Session::onBody(beast::error_code error) {
  const bool keep_alive = !error && parser_->get().keep_alive();
  Decision decision = afterBody(error, *parser_, server_.site(), method_, path_);
  if (decision.next == Decision::Next::kSilent) return;
  const bool keep = keep_alive && !decision.answer.close && !server_.stopping();
  answer(std::move(decision.answer), keep, method_ == "HEAD");
}

void Session::answer(HttpAnswer answer, bool keep_alive, bool head) {
  const int status = answer.status;
  const std::size_t bytes = answer.body.size();
  response_ = responseOf(std::move(answer), keep_alive, head);
  server_.log(logLine(method_.empty() ? "-" : method_, path_.empty() ? "-" : path_, status, bytes,
                      started_));
  stream_.expires_after(kRequestTime);
  http::async_write(stream_, response_,
                    [self = shared_from_this(), keep_alive](beast::error_code error, std::size_t) {
                      self->onWritten(error, keep_alive);
                    });
}

void Session::onWritten(beast::error_code error, bool keep_alive) {
  if (error) return;
  if (!keep_alive) return closeGently();
  first_ = false;
  method_.clear();
  path_.clear();
  readHeader();
}

// Ends the sending side and reads what the client still sends (the body of
// a refused request, say) for a moment before the socket closes: closed at
// once with bytes unread, it would reset the connection, and the client
// could lose the answer before reading it.
void Session::closeGently() {
  constexpr std::size_t kMostDrained = 2 * 1024 * 1024;
  busy_ = false;  // nothing more to answer: a stop may close it
  if (drained_ == 0) {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.expires_after(std::chrono::seconds(1));
  }
  buffer_.clear();
  stream_.async_read_some(buffer_.prepare(16 * 1024),
                          [self = shared_from_this()](beast::error_code error, std::size_t read) {
                            self->drained_ += read + 1;
                            if (!error && self->drained_ < kMostDrained) self->closeGently();
                          });
}

}  // namespace

std::unique_ptr<HttpServer> HttpServer::listen(Site& site, int port, std::ostream& log,
                                               std::string* reason) {
  auto server = std::make_unique<Server>(site, log);
  if (!server->open(port, reason)) return nullptr;
  return server;
}

std::string exchangeOnce(Site& site, std::string_view request_bytes) {
  Parser parser;
  prepareParser(parser);
  beast::error_code error;
  std::size_t used = parser.put(net::buffer(request_bytes.data(), request_bytes.size()), error);
  // Bytes that end before the header or the body does are a request cut short.
  if (!error && !parser.is_header_done()) error = http::error::need_more;
  std::string method;
  std::string path;
  Decision decision = afterHeader(error, parser, &method, &path);
  if (decision.next == Decision::Next::kReadBody) {
    while (!error && !parser.is_done() && used < request_bytes.size()) {
      used +=
          parser.put(net::buffer(request_bytes.data() + used, request_bytes.size() - used), error);
    }
    if (!error && !parser.is_done()) error = http::error::need_more;
    decision = afterBody(error, parser, site, method, path);
  }
  // Here every request gets its answer, even one a connection would drop.
  if (decision.next != Decision::Next::kAnswer) decision = answerWith(badRequest());
  std::ostringstream bytes;
  bytes << responseOf(std::move(decision.answer), false, method == "HEAD");
  return std::move(bytes).str();
}

namespace {

// The working directory, as census serve names the folder it serves.
std::string servedFolder() {
  std::error_code ignored;
  const std::u8string directory = std::filesystem::current_path(ignored).u8string();
  return std::string(directory.begin(), directory.end());
}

// "http://127.0.0.1:8642/" of "http://127.0.0.1:8642/?token=...": the
// address as it may be shown to anyone.
std::string withoutToken(const std::string& address) {
  return address.substr(0, address.find('?'));
}

// Takes the running note of folder; where a census serve that is still
// starting holds it, waits up to 5 seconds, if told to, for it to write
// its address.
RunningNote::Outcome takeServeNote(RunningNote& note, const std::string& folder, bool wait,
                                   std::string* held_text) {
  const std::string name = serveNoteName(folder);
  std::string reason;
  RunningNote::Outcome outcome = note.take(name, held_text, &reason);
  for (int tries = 0; wait && tries < 50 && outcome == RunningNote::Outcome::kHeldByAnother &&
                      !servedAddress(*held_text, folder);
       ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    held_text->clear();
    outcome = note.take(name, held_text, &reason);
  }
  return outcome;
}

// Where the window closes as census ends (a shortcut's), keeps it open
// until a key is pressed, so that the message above it can be read.
void keepWindowUntilKey(Platform& platform, std::ostream& errors) {
  if (!platform.windowClosesOnExit()) return;
  platform.showWindow();
  errors << "census: press any key to close this window\n" << std::flush;
  platform.waitForKey();
}

int openRunningServer(const std::string& address, const std::string& folder, Platform& platform,
                      std::ostream& errors) {
  errors << "census: census serve already serves " << safeForScreen(folder) << " at "
         << withoutToken(address) << "\n";
  if (platform.openInBrowser(address)) {
    errors << "census: opened it in the browser\n";
  } else {
    errors << "census: no browser to open; open " << address << " in one\n";
    keepWindowUntilKey(platform, errors);
  }
  return kExitSuccess;
}

}  // namespace

int runServe(FileSystem& files, RecordingFileSystem& restoring, Platform& platform, int port,
             bool open_browser, std::ostream& errors) {
  // One census serve per folder keeps the running note: a second start
  // with --open (the shortcut's) opens the browser on that one.
  const std::string folder = servedFolder();
  // The note is the folder's however its name was typed: other letters, a
  // link or ".." lead to the same note.
  std::string identity = workingFolderIdentity();
  if (identity.empty()) identity = folder;
  RunningNote note;
  std::string held_text;
  const RunningNote::Outcome outcome = takeServeNote(note, identity, open_browser, &held_text);
  const std::optional<std::string> running = servedAddress(held_text, identity);
  if (open_browser && outcome == RunningNote::Outcome::kHeldByAnother && running) {
    return openRunningServer(*running, folder, platform, errors);
  }
  const std::optional<AccessKeys> placeholder = makeAccessKeys(port);
  if (!placeholder) {
    errors << "census: cannot read the system's random source for a token\n";
    if (open_browser) keepWindowUntilKey(platform, errors);
    return kExitUsage;
  }
  raiseOpenFileLimit();
  // The server's one thread never waits for another save: a page that
  // saves answers 503 instead, and every other page goes on answering.
  files.setSavePatience(std::chrono::milliseconds(0));
  Site site(files, *placeholder, &restoring);
  std::string reason;
  std::unique_ptr<HttpServer> server = HttpServer::listen(site, port, errors, &reason);
  if (!server) {
    if (running && withoutToken(*running) == "http://127.0.0.1:" + std::to_string(port) + "/") {
      reason = "census serve already serves this folder there";
    }
    errors << "census: cannot listen on 127.0.0.1:" << port << ": " << reason << "\n";
    if (open_browser) keepWindowUntilKey(platform, errors);
    return kExitUsage;
  }
  // The keys name the port that was had, which port 0 leaves to the system.
  AccessKeys keys = *placeholder;
  keys.port = server->port();
  keys.cookie_name = "census-" + std::to_string(keys.port);
  site.setKeys(keys);
  if (outcome == RunningNote::Outcome::kHeld) {
    note.write(serveNoteText(entryAddress(keys), identity));
  }
  platform.showWindow();  // a shortcut's window, started minimized
  errors << "census: serving " << safeForScreen(folder) << " at " << entryAddress(keys) << "\n"
         << "census: press " << stopKeys() << " to stop\n"
         << std::flush;
  if (open_browser && !platform.openInBrowser(entryAddress(keys))) {
    errors << "census: no browser to open; open the address above in one\n" << std::flush;
  }
  server->run();
  errors << "census: stopped\n" << std::flush;
  return kExitSuccess;
}

}  // namespace census
