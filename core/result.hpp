#pragma once

#include <string>

namespace wfdesk::core {

// Outcome of an operation that may be refused by the operating system. The
// text says what went wrong in words an operator can act on.
struct FileResult {
  bool ok = true;
  std::string error;

  explicit operator bool() const { return ok; }
  static FileResult Ok() { return {}; }
  static FileResult Failed(std::string message) { return {false, std::move(message)}; }
};

}  // namespace wfdesk::core
