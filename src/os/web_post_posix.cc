#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <exception>

#include "os/web_post.h"

namespace census {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;
using net::use_awaitable;

// Sends the request on a connected stream and reads the answer into it.
template <class Stream>
net::awaitable<void> exchange(Stream& stream, const WebPost& post, WebAnswer& answer) {
  http::request<http::string_body> request{http::verb::post, post.target, 11};
  request.set(http::field::host, post.host);
  request.set(http::field::user_agent, "census");
  for (const auto& [name, value] : post.headers) request.set(name, value);
  request.body() = post.body;
  request.prepare_payload();
  beast::error_code error;
  auto noting = net::redirect_error(use_awaitable, error);
  co_await http::async_write(stream, request, noting);
  beast::flat_buffer buffer;
  http::response_parser<http::string_body> parser;
  parser.body_limit(kMostWebAnswerBytes);
  if (!error) co_await http::async_read(stream, buffer, parser, noting);
  if (error == http::error::body_limit) {
    answer = webFailure(WebFailure::kOther, "the answer is larger than 16 MiB");
  } else if (error == beast::error::timeout) {
    answer = webFailure(WebFailure::kTimeout, "no answer within the time allowed");
  } else if (error) {
    answer = webFailure(WebFailure::kOther, error.message());
  } else {
    const auto& response = parser.get();
    answer = WebAnswer{};
    answer.status = static_cast<int>(response.result_int());
    answer.content_type = std::string(response[http::field::content_type]);
    answer.body = response.body();
  }
}

// A failure to connect, by its reason.
WebAnswer connectFailure(const beast::error_code& error) {
  if (error == beast::error::timeout) {
    return webFailure(WebFailure::kTimeout, "no connection within the time allowed");
  }
  if (error == net::error::connection_refused) {
    return webFailure(WebFailure::kRefused, "the connection was refused");
  }
  return webFailure(WebFailure::kOther, error.message());
}

net::awaitable<void> postPlain(net::io_context& io, const tcp::resolver::results_type& found,
                               const WebPost& post, WebAnswer& answer) {
  beast::tcp_stream stream(io);
  stream.expires_after(post.timeout);
  beast::error_code error;
  auto noting = net::redirect_error(use_awaitable, error);
  co_await stream.async_connect(found, noting);
  if (error) {
    answer = connectFailure(error);
    co_return;
  }
  co_await exchange(stream, post, answer);
}

net::awaitable<void> postSecure(net::io_context& io, const tcp::resolver::results_type& found,
                                const WebPost& post, WebAnswer& answer) {
  ssl::context context(ssl::context::tls_client);
  context.set_verify_mode(ssl::verify_peer);
  beast::error_code error;
  if (post.ca_file.empty()) {
    context.set_default_verify_paths(error);
  } else {
    context.load_verify_file(post.ca_file, error);
  }
  if (error) {
    answer = webFailure(WebFailure::kCertificate,
                        "the certificates to trust cannot be read: " + error.message());
    co_return;
  }
  beast::ssl_stream<beast::tcp_stream> stream(io, context);
  stream.set_verify_callback(ssl::host_name_verification(post.host));
  // The name the server is asked to show a certificate for (SNI).
  SSL_set_tlsext_host_name(stream.native_handle(), post.host.c_str());
  beast::get_lowest_layer(stream).expires_after(post.timeout);
  auto noting = net::redirect_error(use_awaitable, error);
  co_await beast::get_lowest_layer(stream).async_connect(found, noting);
  if (error) {
    answer = connectFailure(error);
    co_return;
  }
  co_await stream.async_handshake(ssl::stream_base::client, noting);
  if (const long verified = SSL_get_verify_result(stream.native_handle());
      error && verified != X509_V_OK) {
    answer = webFailure(WebFailure::kCertificate, X509_verify_cert_error_string(verified));
    co_return;
  }
  if (error) {
    answer =
        error == beast::error::timeout
            ? webFailure(WebFailure::kTimeout, "no answer within the time allowed")
            : webFailure(WebFailure::kOther, "the secure connection failed: " + error.message());
    co_return;
  }
  co_await exchange(stream, post, answer);
}

net::awaitable<void> postFound(net::io_context& io, const WebPost& post, WebAnswer& answer) {
  tcp::resolver resolver(io);
  beast::error_code error;
  auto noting = net::redirect_error(use_awaitable, error);
  const std::string port = std::to_string(post.port);
  const auto found = co_await resolver.async_resolve(post.host, port, noting);
  if (error) {
    answer = webFailure(WebFailure::kNameNotFound, error.message());
    co_return;
  }
  if (post.secure) {
    co_await postSecure(io, found, post, answer);
  } else {
    co_await postPlain(io, found, post, answer);
  }
}

}  // namespace

bool webPostTakesCaFile() { return true; }

WebAnswer postToWeb(const WebPost& post) {
  WebAnswer answer = webFailure(WebFailure::kTimeout, "no answer within the time allowed");
  try {
    net::io_context io;
    bool ended = false;
    net::co_spawn(io, postFound(io, post, answer), [&](std::exception_ptr thrown) {
      ended = true;
      if (thrown) answer = webFailure(WebFailure::kOther, "the request could not be made");
    });
    // The stream's deadline ends each step; this one bounds the name's
    // lookup too, which has none of its own.
    io.run_for(post.timeout + std::chrono::seconds(1));
    if (!ended) answer = webFailure(WebFailure::kTimeout, "no answer within the time allowed");
  } catch (const std::exception& error) {
    answer = webFailure(WebFailure::kOther, error.what());
  }
  return answer;
}

}  // namespace census
