#pragma once

#include <string>

#include "core/context.hpp"
#include "engine/module.hpp"
#include "engine/run_log.hpp"

namespace wfdesk::engine {

inline constexpr const char* kXsltProcessor = "xsltproc";
// The value of mpXSLTengine that selects the built-in engine.
inline constexpr const char* kBuiltinEngineKey = "builtin";

class BuiltinXslt;

struct XsltOutcome {
  std::string result;  // "OK" or the error text
  // Set when the processor could not be started, was ended at its time
  // limit or by a stop: the module's failure text, for the whole module.
  std::string module_failure;
};

// Transforms one file with the processor of the module folder, or with the
// built-in engine when one is given (compiled from the same stylesheet). The
// lines go to the system log. Counts as done only when the processor exited
// with 0 (any status with ignore_exit_status; the built-in engine ends with
// the status xsltproc would have) and wrote the output file in this run.
// The time limit of the rules applies to the processor only.
XsltOutcome XSLTransform(const core::Context& context, RunLog& log, const std::string& input,
                         const std::string& stylesheet, const std::string& output,
                         const ProgramRules& rules = {}, const BuiltinXslt* builtin = nullptr);

}  // namespace wfdesk::engine
