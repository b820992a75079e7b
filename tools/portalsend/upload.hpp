#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wfdesk::tools {

// The portal and how to reach it: what every upload of a run shares.
struct Upload {
  std::string curl;  // the curl program: a path, or "curl" on the PATH (not on Windows)
  std::string url;
  std::string user;
  std::string password;
  std::string soap_action;
  int connect_seconds = 10;  // to wait for the connection
  int total_seconds = 60;    // for one whole upload, the connection included
};

// One invoice's upload.
struct Transfer {
  std::string request_file;   // the body to post
  std::string response_file;  // where the portal's answer goes
};

struct UploadResult {
  bool ran = false;     // the upload ran to its end
  int status = 0;       // curl's exit status; on Windows the WinHTTP error, 0 when none
  int http_status = 0;  // 0 when no answer came
  std::string error;    // what curl (or WinHTTP) said on failure
  // The portal could not be reached in time (or at all), or dropped the
  // connection: later uploads of the same run would fare no better.
  bool unreachable = false;
};

// Why uploads of a batch were left without a result although none failed:
// curl could not be started, ended early or stopped reporting. "" when
// every upload ended, or the batch ended early as Uploader::Post says.
struct BatchEnd {
  std::string error;
  bool unreachable = false;  // as UploadResult::unreachable
};

// Called as each upload of a batch ends, with its place in the batch and
// its result, on the thread that called Uploader::Post; returns false to
// stop the batch.
using UploadEnded = std::function<bool(std::size_t index, const UploadResult& result)>;

// The uploads of a run, batch after batch.
class Uploader {
 public:
  explicit Uploader(Upload upload) : upload_(std::move(upload)) {}

  // Posts each transfer's request with HTTP basic authentication, without
  // following redirects, one after the other, and writes a non-empty answer
  // to its response file. The batch ends early at the first upload that
  // fails (one without an answer, whatever its HTTP status) and when `ended`
  // returns false: the uploads after it are not made. An upload for which
  // `ended` was not called otherwise may have reached the portal without its
  // answer reaching us.
  //
  // On POSIX one curl makes the whole batch, over one connection while the
  // portal keeps it open. The user name and password reach curl through its
  // standard input, never on its command line. curl keeps to the time-outs
  // itself; a curl that reports no upload for the total time-out and a few
  // seconds more is killed, so the call always ends. curl ends with this
  // process, even when it is killed (on Linux; elsewhere with its process
  // group), and leaves no file behind. A curl older than 7.75 cannot report
  // each upload of a batch on its own (its exit status and message, at once):
  // it makes one upload at a time, as many curls as uploads.
  //
  // On Windows each upload goes through WinHTTP in this process (HTTPS
  // through the system's TLS and certificate store), so no other program is
  // started and the credentials go nowhere but into the request.
  BatchEnd Post(const std::vector<Transfer>& transfers, const UploadEnded& ended);

 private:
  Upload upload_;
  // Whether curl reports each upload of a batch on its own: asked of curl
  // at the first batch (POSIX).
  std::optional<bool> reports_each_;
};

}  // namespace wfdesk::tools
