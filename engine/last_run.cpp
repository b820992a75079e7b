#include "engine/last_run.hpp"

#include <string_view>

#include "core/ascii.hpp"
#include "core/file_lock.hpp"
#include "core/files.hpp"
#include "core/language.hpp"
#include "core/log.hpp"
#include "core/workflow_file.hpp"
#include "engine/run_log.hpp"
#include "engine/workflow.hpp"

namespace wfdesk::engine {

namespace {

// Enough of a log for many runs, without reading years of it.
constexpr std::size_t kTailBytes = std::size_t{4} << 20;
constexpr std::size_t kStampLength = 19;  // "yyyy-mm-dd hh:nn:ss"
// The last kTailBytes of a log, from the first whole line on.
std::string LogTail(const std::string& path) {
  const core::FileGrowth growth = core::InspectGrowth(path);
  if (!growth.is_regular) return "";
  const std::size_t offset = growth.size > kTailBytes ? growth.size - kTailBytes : 0;
  std::string bytes;
  if (!core::ReadFileContentFrom(path, offset, bytes)) return "";
  if (offset > 0) bytes.erase(0, bytes.find('\n') + 1);
  return bytes;
}

// Where the last start line of `label` begins, or npos.
std::size_t LastStartLine(std::string_view log, const std::string& label) {
  const std::string needle = std::string(kWorkflowStartMark) + label;
  for (std::size_t at = log.rfind(needle); at != std::string_view::npos;
       at = at == 0 ? std::string_view::npos : log.rfind(needle, at - 1)) {
    const std::size_t end = log.find('\n', at);
    const std::string_view rest =
        core::StripLineEnd(log.substr(at + needle.size(), end - at - needle.size()));
    if (rest.empty())
      return log.rfind('\n', at) == std::string_view::npos ? 0 : log.rfind('\n', at) + 1;
  }
  return std::string_view::npos;
}

// The run id of the start line at `start`: between the "[" after the time
// stamp and the start mark.
std::string_view RunIdOf(std::string_view log, std::size_t start) {
  const std::size_t open = start + kStampLength + 2;
  const std::size_t mark = log.find(kWorkflowStartMark, start);
  if (open >= log.size() || log[open] != '[' || mark == std::string_view::npos || mark < open) {
    return {};
  }
  return log.substr(open + 1, mark - open - 1);
}

// The result line of the run `run_id` from `from` on.
bool FindResult(std::string_view log, std::size_t from, std::string_view run_id, LastRun& run) {
  const std::string needle = RunMark(run_id, kWorkflowResultMark);
  const std::size_t at = log.find(needle, from);
  if (run_id.empty() || at == std::string_view::npos) return false;
  const std::size_t line_start = log.rfind('\n', at) + 1;  // npos + 1 is 0
  if (at != line_start + kStampLength + 2) return false;
  std::size_t end = log.find('\n', at);
  if (end == std::string_view::npos) end = log.size();
  run.ended = true;
  run.time = std::string(log.substr(line_start, kStampLength));
  run.result =
      std::string(core::StripLineEnd(log.substr(at + needle.size(), end - at - needle.size())));
  return true;
}

// Whether a run of the workflow holds its lock now. Looked at only when the
// last run has no result, so a run starting at this moment is hardly ever
// turned away by the look.
bool RunHoldsLock(const core::Context& context, const std::string& workflow_file) {
  const std::string lock_path = WorkflowLockPath(context, workflow_file);
  if (lock_path.empty() || !core::IsPlainFile(lock_path)) return false;
  const core::FileLock probe(lock_path);
  return probe.state() == core::FileLock::State::kBusy;
}

}  // namespace

LastRun FindLastRun(const core::Context& context, const std::string& name) {
  const std::string workflow_file = core::WorkflowPath(context, name);
  const std::string run_log = core::AbsolutePath(RunLogFile(context, workflow_file), context.home);

  LastRun run;
  const std::string run_text = LogTail(run_log);
  const std::size_t start =
      LastStartLine(run_text, core::EscapeControlCharacters(RunLabel(name, workflow_file)));
  if (start == std::string::npos || run_text.size() < start + kStampLength) return run;
  run.started = true;
  run.time = run_text.substr(start, kStampLength);
  if (!FindResult(run_text, start, RunIdOf(run_text, start), run)) {
    run.running = RunHoldsLock(context, workflow_file);
  }
  return run;
}

std::string LastRunText(const core::Context& context, const LastRun& run) {
  const core::LanguageCode language = context.settings.language;
  if (!run.started) return core::GetLanguageText("lg_mesg_sch012", language);
  if (run.running) return core::FormatLanguageText("lg_mesg_sch020", language, {run.time});
  if (!run.ended) return core::FormatLanguageText("lg_mesg_sch013", language, {run.time});
  return run.time + " " + run.result;
}

}  // namespace wfdesk::engine
