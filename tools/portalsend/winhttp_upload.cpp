// The upload on Windows, through WinHTTP: HTTPS with the system's TLS and
// certificate store, and no other program to hand the credentials to.
// Written to behave as the curl path does: basic authentication sent with
// the first request, no redirects followed, no cookies kept, the connection
// and the whole upload each bounded by their time-outs.
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/files.hpp"
#include "tools/portalsend/upload.hpp"

namespace wfdesk::tools {

namespace {

struct HandleCloser {
  void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

using Clock = std::chrono::steady_clock;

// Command-line values and file texts are in the ANSI code page.
std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int wide_size = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wide_size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), wide_size);
  return wide;
}

std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) value |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[(value >> 18) & 63];
    out += kDigits[(value >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(value >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[value & 63] : '=';
  }
  return out;
}

// The errors that say the portal cannot be reached (or not in time), or
// dropped the connection, as curl's exit statuses 5, 6, 7, 28, 52, 55 and
// 56 do.
bool Unreachable(DWORD error) {
  return error == ERROR_WINHTTP_TIMEOUT || error == ERROR_WINHTTP_NAME_NOT_RESOLVED ||
         error == ERROR_WINHTTP_CANNOT_CONNECT || error == ERROR_WINHTTP_CONNECTION_ERROR;
}

std::string Describe(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
      return "the operation timed out";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return "the host name could not be resolved";
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return "no connection could be made";
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return "the connection was reset or ended";
    case ERROR_WINHTTP_SECURE_FAILURE:
      return "the TLS certificate or handshake was refused";
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
      return "the portal address is no http or https address";
    default:
      return "the request failed";
  }
}

// One upload's state: what failed first, and the time left.
struct Post {
  const Upload& upload;
  Clock::time_point deadline;
  UploadResult result;

  bool Fail(DWORD error) {
    result.status = static_cast<int>(error == 0 ? ERROR_WINHTTP_INTERNAL_ERROR : error);
    result.unreachable = Unreachable(error);
    result.error = "WinHTTP: (" + std::to_string(result.status) + ") " + Describe(error);
    return false;
  }
  bool Check(BOOL done) { return done ? true : Fail(GetLastError()); }

  // Each blocking step waits at most for the time left of the whole upload.
  bool Bound(HINTERNET request) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return Fail(ERROR_WINHTTP_TIMEOUT);
    const int total = static_cast<int>(left);
    const int connect = std::min(total, upload.connect_seconds * 1000);
    return Check(WinHttpSetTimeouts(request, connect, connect, total, total));
  }

  Handle Open(HINTERNET session, URL_COMPONENTS& parts, Handle& connection);
  bool Send(HINTERNET request, const std::string& body);
  bool Receive(HINTERNET request, std::string& answer);
};

Handle Post::Open(HINTERNET session, URL_COMPONENTS& parts, Handle& connection) {
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  connection.reset(WinHttpConnect(session, host.c_str(), parts.nPort, 0));
  if (!connection) return Fail(GetLastError()), Handle();
  // The path and the query stand side by side in the address.
  const DWORD path_length = parts.dwUrlPathLength + parts.dwExtraInfoLength;
  const std::wstring path =
      path_length == 0 ? std::wstring(L"/") : std::wstring(parts.lpszUrlPath, path_length);
  const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
  Handle request(WinHttpOpenRequest(connection.get(), L"POST", path.c_str(), nullptr,
                                    WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure));
  if (!request) return Fail(GetLastError()), Handle();
  DWORD features = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
  if (!Check(WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &features,
                              sizeof features))) {
    return Handle();
  }
  return request;
}

bool Post::Send(HINTERNET request, const std::string& body) {
  const std::wstring headers = L"Content-Type: text/xml; charset=utf-8\r\nSOAPAction: \"" +
                               Wide(upload.soap_action) + L"\"\r\nAuthorization: Basic " +
                               Wide(Base64(upload.user + ":" + upload.password)) + L"\r\n";
  const auto size = static_cast<DWORD>(body.size());
  return Bound(request) &&
         Check(WinHttpSendRequest(request, headers.c_str(), static_cast<DWORD>(headers.size()),
                                  const_cast<char*>(body.data()), size, size, 0)) &&
         Bound(request) && Check(WinHttpReceiveResponse(request, nullptr));
}

bool Post::Receive(HINTERNET request, std::string& answer) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!Check(WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                                 WINHTTP_NO_HEADER_INDEX))) {
    return false;
  }
  result.http_status = static_cast<int>(status);
  char buffer[16384];
  for (;;) {
    DWORD read = 0;
    if (!Bound(request) || !Check(WinHttpReadData(request, buffer, sizeof buffer, &read))) {
      return false;
    }
    if (read == 0) return true;
    answer.append(buffer, read);
  }
}

// Does the request and nothing else (no files), so that a thread doing it
// can be left behind.
void Converse(Post& post, const std::string& body, std::string& answer) {
  const std::wstring url = Wide(post.upload.url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
      static_cast<DWORD>(-1);
  if (!post.Check(WinHttpCrackUrl(url.c_str(), 0, 0, &parts))) return;
  Handle session(WinHttpOpen(L"wfdesk-portalsend", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return (void)post.Fail(GetLastError());
  Handle connection;
  const Handle request = post.Open(session.get(), parts, connection);
  post.result.ran =
      request && post.Send(request.get(), body) && post.Receive(request.get(), answer);
}

// What the thread doing the request shares with the caller, who may stop
// waiting for it.
struct Exchange {
  Exchange(const Upload& given, Clock::time_point deadline)
      : upload(given), post{upload, deadline, {}} {}
  const Upload upload;
  Post post;
  std::string body, answer;
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
};

// WinHTTP keeps to the time-outs set on each step, but not every
// implementation does (Wine's waits for an answer without end): a request
// that outlives the whole upload's time by this much is left to itself, and
// ends with the program.
constexpr auto kGrace = std::chrono::seconds(2);

// The request on a thread of its own, waited for until the deadline.
bool Exchanged(const std::shared_ptr<Exchange>& exchange) {
  const auto run = [exchange] {
    Converse(exchange->post, exchange->body, exchange->answer);
    const std::lock_guard lock(exchange->mutex);
    exchange->done = true;
    exchange->ended.notify_all();
  };
  try {
    std::thread(run).detach();
  } catch (const std::system_error&) {
    run();
  }
  std::unique_lock lock(exchange->mutex);
  return exchange->ended.wait_until(lock, exchange->post.deadline + kGrace,
                                    [&] { return exchange->done; });
}

UploadResult PostOne(const Upload& upload, const Transfer& transfer) {
  const auto exchange =
      std::make_shared<Exchange>(upload, Clock::now() + std::chrono::seconds(upload.total_seconds));
  UploadResult& result = exchange->post.result;
  if (const auto read = core::ReadFileContent(transfer.request_file, exchange->body); !read) {
    result.error = read.error;
    return result;
  }
  if (!Exchanged(exchange)) {
    Post timed_out{upload, {}, {}};
    timed_out.Fail(ERROR_WINHTTP_TIMEOUT);
    return timed_out.result;
  }
  // As curl, no file for an empty answer.
  if (result.ran && !exchange->answer.empty()) {
    if (const auto saved = core::WriteTextFile(transfer.response_file, exchange->answer, false);
        !saved) {
      result.ran = false;
      result.error = saved.error;
      result.status = static_cast<int>(ERROR_WRITE_FAULT);
    }
  }
  return result;
}

}  // namespace

// One request at a time, each in a WinHTTP session of its own.
BatchEnd Uploader::Post(const std::vector<Transfer>& transfers, const UploadEnded& ended) {
  for (std::size_t i = 0; i < transfers.size(); ++i) {
    const UploadResult result = PostOne(upload_, transfers[i]);
    if (!ended(i, result) || !result.ran || result.status != 0) break;
  }
  return {};
}

}  // namespace wfdesk::tools
