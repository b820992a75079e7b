#pragma once

#include <string>

namespace wfdesk::tools {

struct Upload {
  std::string curl;  // the curl program: a path, or "curl" on the PATH (not on Windows)
  std::string url;
  std::string user;
  std::string password;
  std::string request_file;   // the body to post
  std::string response_file;  // where the portal's answer goes
  std::string soap_action;
  int connect_seconds = 10;  // to wait for the connection
  int total_seconds = 60;    // for the whole upload, the connection included
};

struct UploadResult {
  bool ran = false;     // the upload ran to its end
  int status = 0;       // curl's exit status; on Windows the WinHTTP error, 0 when none
  int http_status = 0;  // 0 when no answer came
  std::string error;    // what curl (or WinHTTP) said on failure
  // The portal could not be reached in time (or at all): later uploads of
  // the same run would fare no better.
  bool unreachable = false;
};

// Posts the request with HTTP basic authentication, without following
// redirects, and writes a non-empty answer to the response file.
//
// On POSIX it runs curl. The user name and password reach curl through its
// standard input, never on its command line. curl keeps to the time-outs
// itself; a curl that outlives the total time-out by a few seconds all the
// same is killed, so the call always ends. curl ends with this process,
// even when it is killed (on Linux; elsewhere with its process group), and
// leaves no file behind.
//
// On Windows it posts through WinHTTP in this process (HTTPS through the
// system's TLS and certificate store), so no other program is started and
// the credentials go nowhere but into the request.
UploadResult PostUpload(const Upload& upload);

}  // namespace wfdesk::tools
