#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <string>

#include "os/platform.h"
#include "os/web_post.h"
#include "os/wide_text_win32.h"

namespace census {
namespace {

struct HandleCloser {
  void operator()(void* handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// What went wrong, by WinHTTP's error number, in census's words.
WebAnswer failureOf(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return webFailure(WebFailure::kNameNotFound, "the name is not known");
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return webFailure(WebFailure::kRefused, "the connection was refused");
    case ERROR_WINHTTP_TIMEOUT:
      return webFailure(WebFailure::kTimeout, "no answer within the time allowed");
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
      return webFailure(WebFailure::kCertificate,
                        "Windows does not trust the server's certificate");
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
      return webFailure(WebFailure::kOther,
                        "no secure connection could be made (Windows' secure channel failed)");
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return webFailure(WebFailure::kOther, "the server's answer is not HTTP");
    default:
      // WinHTTP's own numbers have no words outside its module; the
      // system's and the sockets' have census's.
      if (error >= WINHTTP_ERROR_BASE && error < WINHTTP_ERROR_BASE + 200) {
        return webFailure(WebFailure::kOther,
                          "the request failed (WinHTTP error " + std::to_string(error) + ")");
      }
      return webFailure(WebFailure::kOther, systemErrorText(static_cast<int>(error)));
  }
}

std::wstring headersText(const WebPost& post) {
  std::string text;
  for (const auto& [name, value] : post.headers) text += name + ": " + value + "\r\n";
  return wideFromUtf8(text);
}

bool readBody(HINTERNET request, std::string* body, WebAnswer* failure) {
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available)) {
      *failure = failureOf(GetLastError());
      return false;
    }
    if (available == 0) return true;
    if (body->size() + available > kMostWebAnswerBytes) {
      *failure = webFailure(WebFailure::kOther, "the answer is larger than 16 MiB");
      return false;
    }
    const std::size_t had = body->size();
    body->resize(had + available);
    DWORD read = 0;
    if (!WinHttpReadData(request, body->data() + had, available, &read)) {
      *failure = failureOf(GetLastError());
      return false;
    }
    body->resize(had + read);
  }
}

// A header of the answer, of any length; "" where there is none.
std::string headerOf(HINTERNET request, DWORD which) {
  DWORD size = 0;
  if (WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                          &size, WINHTTP_NO_HEADER_INDEX) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
    return "";
  }
  std::wstring value(size / sizeof(wchar_t), L'\0');
  if (!WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                           WINHTTP_NO_HEADER_INDEX)) {
    return "";
  }
  value.resize(size / sizeof(wchar_t));
  return utf8FromWide(value);
}

}  // namespace

bool webPostTakesCaFile() { return false; }

WebAnswer postToWeb(const WebPost& post) {
  const Handle session(WinHttpOpen(L"census", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                   WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return failureOf(GetLastError());
  const int timeout = static_cast<int>(post.timeout.count() * 1000);
  WinHttpSetTimeouts(session.get(), timeout, timeout, timeout, timeout);
  const Handle connection(
      WinHttpConnect(session.get(), wideFromUtf8(post.host).c_str(), post.port, 0));
  if (!connection) return failureOf(GetLastError());
  const Handle request(WinHttpOpenRequest(connection.get(), wideFromUtf8(post.method).c_str(),
                                          wideFromUtf8(post.target).c_str(), nullptr,
                                          WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                          post.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return failureOf(GetLastError());
  // A redirect is said, not followed: it may lead to a login page.
  DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
  const std::wstring headers = headersText(post);
  if (!WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                          const_cast<char*>(post.body.data()), static_cast<DWORD>(post.body.size()),
                          static_cast<DWORD>(post.body.size()), 0) ||
      !WinHttpReceiveResponse(request.get(), nullptr)) {
    return failureOf(GetLastError());
  }
  WebAnswer answer;
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
    return failureOf(GetLastError());
  }
  answer.status = static_cast<int>(status);
  answer.content_type = headerOf(request.get(), WINHTTP_QUERY_CONTENT_TYPE);
  answer.location = headerOf(request.get(), WINHTTP_QUERY_LOCATION);
  // A redirect's body is nothing census reads (and Wine's WinHTTP, told
  // not to follow it, has none to give).
  if (answer.status / 100 != 3) readBody(request.get(), &answer.body, &answer);
  return answer;
}

}  // namespace census
