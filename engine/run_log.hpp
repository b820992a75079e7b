#pragma once

#include <string>
#include <string_view>

#include "core/context.hpp"

namespace wfdesk::engine {

// Writes the log lines of one run. A line that cannot be written does not
// stop the run; the operator is told once per run, at the first failure.
class RunLog {
 public:
  explicit RunLog(const core::Context& context) : context_(context) {}

  void Write(const std::string& log_file, std::string_view message);

 private:
  const core::Context& context_;
  bool operator_told_ = false;
};

}  // namespace wfdesk::engine
