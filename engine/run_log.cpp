#include "engine/run_log.hpp"

#include "core/language.hpp"
#include "core/log.hpp"
#include "core/workflow_file.hpp"

namespace wfdesk::engine {

std::string RunMark(std::string_view run_id, std::string_view mark) {
  return "[" + std::string(run_id) + std::string(mark);
}

std::string RunLabel(const std::string& name, const std::string& workflow_file) {
  return name + " (" + workflow_file + ")";
}

std::string RunLogFile(const core::Context& context, const std::string& workflow_file) {
  const std::string own = core::ReadWorkflowValue(context, workflow_file, "DEF", "logfile");
  return own.empty() ? context.settings.logfile : own;
}

void RunLog::Write(const std::string& log_file, std::string_view message) {
  const core::FileResult written = writer_.Write(context_.clock, log_file, message);
  if (written || operator_told_) return;
  operator_told_ = true;
  writer_.Release();
  context_.person.Tell(
      core::FormatLanguageText("lg_mesg_run004", context_.settings.language, {written.error}));
}

}  // namespace wfdesk::engine
