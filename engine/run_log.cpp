#include "engine/run_log.hpp"

#include "core/language.hpp"
#include "core/log.hpp"

namespace wfdesk::engine {

void RunLog::Write(const std::string& log_file, std::string_view message) {
  const core::FileResult written = core::WriteLogLine(context_.clock, log_file, message);
  if (written || operator_told_) return;
  operator_told_ = true;
  context_.person.Tell(
      core::FormatLanguageText("lg_mesg_run004", context_.settings.language, {written.error}));
}

}  // namespace wfdesk::engine
