#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/use_future.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <chrono>
#include <future>
#include <thread>
#include <type_traits>

#include "os/web_post.h"

namespace census {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;

// The names a certificate is for (its subject alternative names: DNS names
// and IPv4 addresses), joined with ", "; anything but visible ASCII shown
// as '?', since they come from the server.
std::string namesOf(X509* certificate) {
  std::string names;
  auto* all = static_cast<GENERAL_NAMES*>(
      X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
  for (int i = 0; all != nullptr && i < sk_GENERAL_NAME_num(all); ++i) {
    const GENERAL_NAME* name = sk_GENERAL_NAME_value(all, i);
    std::string text;
    if (name->type == GEN_DNS) {
      const ASN1_STRING* dns = name->d.dNSName;
      text.assign(reinterpret_cast<const char*>(ASN1_STRING_get0_data(dns)),
                  static_cast<std::size_t>(ASN1_STRING_length(dns)));
    } else if (name->type == GEN_IPADD && ASN1_STRING_length(name->d.iPAddress) == 4) {
      const unsigned char* bytes = ASN1_STRING_get0_data(name->d.iPAddress);
      text = std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
             std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
    } else {
      continue;
    }
    for (char& c : text) {
      if (c <= 0x20 || c >= 0x7F) c = '?';
    }
    names += (names.empty() ? "" : ", ") + text;
  }
  GENERAL_NAMES_free(all);
  return names.empty() ? "no name" : names;
}

// One exchange, step by step: each step is started here and run by the
// io_context on a thread of its own, and waited for until the deadline, so
// that the name's lookup, which has no timeout of its own, is bounded too.
class Exchange {
 public:
  explicit Exchange(const WebPost& post)
      : post_(post), deadline_(Clock::now() + post.timeout), work_(io_.get_executor()) {
    runner_ = std::thread([this] { io_.run(); });
  }
  ~Exchange() { halt(); }

  WebAnswer run() {
    tcp::resolver resolver(io_);
    tcp::resolver::results_type found;
    if (!await(resolver.async_resolve(post_.host, std::to_string(post_.port), net::use_future),
               &found)) {
      return failed(WebFailure::kNameNotFound);
    }
    return post_.secure ? postSecure(found) : postPlain(found);
  }

 private:
  void halt() {
    io_.stop();
    if (runner_.joinable()) runner_.join();
  }

  // Waits for a step and takes its result; false with error_ set where it
  // failed or the time is up.
  template <class T>
  bool await(std::future<T> step, T* result) {
    if (step.wait_until(deadline_) == std::future_status::timeout) {
      // The step may still run: nothing it uses may go before it is halted.
      halt();
      error_ = beast::error::timeout;
      return false;
    }
    try {
      if constexpr (std::is_void_v<T>) {
        step.get();
      } else {
        *result = step.get();
      }
      return true;
    } catch (const boost::system::system_error& failure) {
      error_ = failure.code();
      return false;
    }
  }

  // Whether the last step failed only because the server closed the
  // connection without TLS's closing message, as many servers do after a
  // whole answer: the answer read so far stands.
  bool endedWithoutClosing() const {
    return error_ == ssl::error::stream_truncated || error_ == http::error::end_of_stream ||
           error_ == http::error::partial_message;
  }

  WebAnswer failed(WebFailure otherwise) const {
    if (error_ == beast::error::timeout) {
      return webFailure(WebFailure::kTimeout, "no answer within the time allowed");
    }
    if (error_ == net::error::connection_refused) {
      return webFailure(WebFailure::kRefused, "the connection was refused");
    }
    if (error_ == http::error::body_limit) {
      return webFailure(WebFailure::kOther, "the answer is larger than 16 MiB");
    }
    return webFailure(otherwise, error_.message());
  }

  WebAnswer postPlain(const tcp::resolver::results_type& found) {
    beast::tcp_stream stream(io_);
    stream.expires_at(deadline_);
    tcp::endpoint reached;
    if (!await(stream.async_connect(found, net::use_future), &reached)) {
      return failed(WebFailure::kOther);
    }
    return exchange(stream);
  }

  WebAnswer postSecure(const tcp::resolver::results_type& found) {
    ssl::context context(ssl::context::tls_client);
    context.set_verify_mode(ssl::verify_peer);
    if (post_.ca_file.empty()) {
      context.set_default_verify_paths(error_);
    } else {
      context.load_verify_file(post_.ca_file, error_);
    }
    if (error_) {
      return webFailure(WebFailure::kCertificate,
                        "the certificates to trust cannot be read: " + error_.message());
    }
    beast::ssl_stream<beast::tcp_stream> stream(io_, context);
    // OpenSSL checks the name (a host name or an IP address) as it
    // verifies the chain; the names of the server's own certificate are
    // kept, to be said where they are not the host's.
    SSL_set1_host(stream.native_handle(), post_.host.c_str());
    std::string certificate_names;
    stream.set_verify_callback([&](bool verified, ssl::verify_context& checked) {
      X509_STORE_CTX* store = checked.native_handle();
      if (X509_STORE_CTX_get_error_depth(store) == 0 && certificate_names.empty()) {
        certificate_names = namesOf(X509_STORE_CTX_get_current_cert(store));
      }
      return verified;
    });
    // The name the server is asked to show a certificate for (SNI).
    SSL_set_tlsext_host_name(stream.native_handle(), post_.host.c_str());
    beast::get_lowest_layer(stream).expires_at(deadline_);
    tcp::endpoint reached;
    if (!await(beast::get_lowest_layer(stream).async_connect(found, net::use_future), &reached)) {
      return failed(WebFailure::kOther);
    }
    if (!await<void>(stream.async_handshake(ssl::stream_base::client, net::use_future), nullptr)) {
      const long verified = SSL_get_verify_result(stream.native_handle());
      if (verified == X509_V_ERR_HOSTNAME_MISMATCH || verified == X509_V_ERR_IP_ADDRESS_MISMATCH) {
        return webFailure(WebFailure::kCertificate,
                          "it is for " + certificate_names + ", not for " + post_.host);
      }
      if (verified != X509_V_OK) {
        return webFailure(WebFailure::kCertificate, X509_verify_cert_error_string(verified));
      }
      WebAnswer answer = failed(WebFailure::kOther);
      if (answer.failure == WebFailure::kOther) {
        answer.reason = "the secure connection failed: " + answer.reason;
      }
      return answer;
    }
    return exchange(stream);
  }

  // Sends the request on a connected stream and reads the whole answer.
  template <class Stream>
  WebAnswer exchange(Stream& stream) {
    http::request<http::string_body> request{http::string_to_verb(post_.method), post_.target, 11};
    const bool usual_port = post_.port == (post_.secure ? 443 : 80);
    request.set(http::field::host,
                usual_port ? post_.host : post_.host + ":" + std::to_string(post_.port));
    request.set(http::field::user_agent, "census");
    for (const auto& [name, value] : post_.headers) request.set(name, value);
    request.body() = post_.body;
    if (!post_.body.empty() || request.method() == http::verb::post) request.prepare_payload();
    std::size_t bytes = 0;
    if (!await(http::async_write(stream, request, net::use_future), &bytes)) {
      return failed(WebFailure::kOther);
    }
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(kMostWebAnswerBytes);
    if (!await(http::async_read(stream, buffer, parser, net::use_future), &bytes) &&
        !(parser.is_header_done() && endedWithoutClosing())) {
      return failed(WebFailure::kOther);
    }
    const auto& response = parser.get();
    WebAnswer answer;
    answer.status = static_cast<int>(response.result_int());
    answer.content_type = std::string(response[http::field::content_type]);
    answer.location = std::string(response[http::field::location]);
    answer.body = response.body();
    return answer;
  }

  const WebPost& post_;
  const Clock::time_point deadline_;
  net::io_context io_;
  net::executor_work_guard<net::io_context::executor_type> work_;
  std::thread runner_;
  beast::error_code error_;
};

}  // namespace

bool webPostTakesCaFile() { return true; }

WebAnswer postToWeb(const WebPost& post) {
  try {
    return Exchange(post).run();
  } catch (const std::exception& error) {
    return webFailure(WebFailure::kOther, error.what());
  }
}

}  // namespace census
