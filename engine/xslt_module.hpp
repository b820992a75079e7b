#pragma once

#include <string>

#include "core/context.hpp"
#include "engine/run_log.hpp"

namespace wfdesk::engine {

inline constexpr const char* kXsltProcessor = "xsltproc";

struct XsltOutcome {
  std::string result;        // "OK" or the error text
  bool not_started = false;  // the processor could not be started at all
  std::string start_error;   // why, when not started
};

// Transforms one file with the processor of the module folder. The lines go
// to the system log. Counts as done only when the processor exited with 0
// and wrote the output file in this run.
XsltOutcome XSLTransform(const core::Context& context, RunLog& log, const std::string& input,
                         const std::string& stylesheet, const std::string& output);

}  // namespace wfdesk::engine
