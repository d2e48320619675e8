#include "web/server.h"

#include <boost/asio.hpp>
#include <chrono>
#include <sstream>
#include <thread>

#include "test_support.h"

namespace census {
namespace {

using tcp = boost::asio::ip::tcp;

class ServerTest : public InMemory {
 protected:
  void SetUp() override {
    std::string reason;
    server = HttpServer::listen(site, 0, log, &reason);
    ASSERT_NE(server, nullptr) << reason;
    site.setKeys({server->port(), std::string(32, 'a'), "census-x", std::string(32, 'c')});
    thread = std::thread([this] { server->run(); });
  }
  void TearDown() override {
    server->stop();
    thread.join();
  }

  // Sends bytes on a new connection and reads what comes back until the
  // server closes it.
  std::string exchange(const std::string& bytes) {
    tcp::socket socket(io);
    socket.connect(
        {boost::asio::ip::address_v4::loopback(), static_cast<unsigned short>(server->port())});
    boost::system::error_code error;
    boost::asio::write(socket, boost::asio::buffer(bytes), error);
    std::string answer;
    boost::asio::read(socket, boost::asio::dynamic_buffer(answer), error);
    return answer;
  }

  boost::asio::io_context io;
  std::ostringstream log;
  Site site{files, {}};
  std::unique_ptr<HttpServer> server;
  std::thread thread;
};

TEST_F(ServerTest, ASecondServerCannotTakeThePort) {
  std::ostringstream other_log;
  std::string reason;
  EXPECT_EQ(HttpServer::listen(site, server->port(), other_log, &reason), nullptr);
  EXPECT_FALSE(reason.empty());
}

// The answer on a real connection, and the log line, which never holds the
// query and so never the token.
TEST_F(ServerTest, AnswersOnLoopbackAndLogsOneLineWithoutTheQuery) {
  const std::string host = "Host: 127.0.0.1:" + std::to_string(server->port()) + "\r\n";
  const std::string answer = exchange("GET /lists/1?token=" + std::string(32, 'a') +
                                      " HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n");
  EXPECT_EQ(answer.substr(0, 12), "HTTP/1.1 303");
  server->stop();
  thread.join();
  thread = std::thread([] {});
  const std::string line = log.str();
  EXPECT_NE(line.find("Z GET /lists/1 303 0 "), std::string::npos) << line;
  EXPECT_EQ(line.find(std::string(32, 'a')), std::string::npos);
}

// A body refused for its size is not read, yet the answer arrives whole:
// the server reads and drops what is still sent before it closes.
TEST_F(ServerTest, ARefusedUploadStillGetsItsAnswer) {
  const std::string host = "Host: 127.0.0.1:" + std::to_string(server->port()) + "\r\n";
  const std::string answer =
      exchange("POST /import HTTP/1.1\r\n" + host + "Content-Length: 5000000\r\n\r\n" +
               std::string(300 * 1024, 'x'));
  EXPECT_EQ(answer.substr(0, 12), "HTTP/1.1 413") << answer.substr(0, 100);
}

// Stopping closes idle connections at once: run() returns well within its
// two seconds though a client holds a connection open.
TEST_F(ServerTest, StopsPromptlyWithAnIdleConnectionOpen) {
  tcp::socket idle(io);
  idle.connect(
      {boost::asio::ip::address_v4::loopback(), static_cast<unsigned short>(server->port())});
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto started = std::chrono::steady_clock::now();
  server->stop();
  thread.join();
  thread = std::thread([] {});
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));
}

}  // namespace
}  // namespace census
