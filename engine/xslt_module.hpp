#pragma once

#include <string>

#include "core/context.hpp"
#include "engine/module.hpp"
#include "engine/run_log.hpp"

namespace wfdesk::engine {

inline constexpr const char* kXsltProcessor = "xsltproc";
// The value of mpXSLTengine that selects the built-in engine.
inline constexpr const char* kBuiltinEngineKey = "builtin";

struct XsltOutcome {
  std::string result;  // "OK" or the error text
  // Set when the processor could not be started, was ended at its time
  // limit or by a stop: the module's failure text, for the whole module.
  std::string module_failure;
  // Set when the output's name was taken before the engine began: nothing
  // was done, so that no file is replaced.
  bool output_taken = false;
};

// Transforms one file with the processor of the module folder. The lines go
// to the system log. Counts as done only when the processor exited with 0
// (any status with ignore_exit_status) and wrote the output file in this run.
// With mpXSLTengine=builtin the module transforms in this process instead,
// with the same lines (the engine named where the processor is) and the
// same test, the status being the one xsltproc would have ended with; the
// time limit (mpTimeout) applies to the processor only.
XsltOutcome XSLTransform(const core::Context& context, RunLog& log, const std::string& input,
                         const std::string& stylesheet, const std::string& output,
                         const ProgramRules& rules = {});

}  // namespace wfdesk::engine
