#pragma once

#include <string>

namespace wfdesk::tools {

struct Upload {
  std::string curl;  // the curl program: a path, or "curl" on the PATH
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
  bool ran = false;     // curl ran to its end
  int curl_status = 0;  // curl's exit status
  int http_status = 0;  // 0 when no answer came
  std::string error;    // what curl said on failure
  // The portal could not be reached in time (or at all): later uploads of
  // the same run would fare no better.
  bool unreachable = false;
};

// Posts the request with curl. The user name and password reach curl
// through its standard input, never on its command line. curl keeps to the
// time-outs itself; a curl that outlives the total time-out by a few
// seconds all the same is killed, so the call always ends.
UploadResult PostWithCurl(const Upload& upload);

}  // namespace wfdesk::tools
