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
};

struct UploadResult {
  bool ran = false;     // curl ran to its end
  int curl_status = 0;  // curl's exit status
  int http_status = 0;  // 0 when no answer came
  std::string error;    // what curl said on failure
};

// Posts the request with curl. The user name and password reach curl
// through its standard input, never on its command line.
UploadResult PostWithCurl(const Upload& upload);

}  // namespace wfdesk::tools
