#include "engine/last_run.hpp"

#include <string_view>

#include "core/files.hpp"
#include "core/language.hpp"
#include "core/log.hpp"
#include "core/workflow_file.hpp"

namespace wfdesk::engine {

namespace {

// Enough of a log for many runs, without reading years of it.
constexpr std::size_t kTailBytes = std::size_t{4} << 20;
constexpr std::size_t kStampLength = 19;  // "yyyy-mm-dd hh:nn:ss"
constexpr std::string_view kStartMark = "] WORKFLOW START: ";
constexpr std::string_view kResultMark = "WORKFLOW END: ";

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

std::string_view StripLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return line;
}

// Where the last start line of `label` begins, or npos.
std::size_t LastStartLine(std::string_view log, const std::string& label) {
  const std::string needle = std::string(kStartMark) + label;
  for (std::size_t at = log.rfind(needle); at != std::string_view::npos;
       at = at == 0 ? std::string_view::npos : log.rfind(needle, at - 1)) {
    const std::size_t end = log.find('\n', at);
    const std::string_view rest =
        StripLineEnd(log.substr(at + needle.size(), end - at - needle.size()));
    if (rest.empty())
      return log.rfind('\n', at) == std::string_view::npos ? 0 : log.rfind('\n', at) + 1;
  }
  return std::string_view::npos;
}

// The first result line from `from` on whose stamp is not before `stamp`.
bool FindResult(std::string_view log, std::size_t from, std::string_view stamp, LastRun& run) {
  while (from < log.size()) {
    std::size_t end = log.find('\n', from);
    if (end == std::string_view::npos) end = log.size();
    const std::string_view line = StripLineEnd(log.substr(from, end - from));
    from = end + 1;
    if (line.size() < kStampLength + 2 || line.substr(0, kStampLength) < stamp) continue;
    const std::string_view message = line.substr(kStampLength + 2);
    if (!message.starts_with(kResultMark)) continue;
    run.ended = true;
    run.time = std::string(line.substr(0, kStampLength));
    run.result = std::string(message.substr(kResultMark.size()));
    return true;
  }
  return false;
}

}  // namespace

LastRun FindLastRun(const core::Context& context, const std::string& name) {
  const std::string workflow_file = core::WorkflowPath(context, name);
  std::string run_log = core::ReadWorkflowValue(context, workflow_file, "DEF", "logfile");
  if (run_log.empty()) run_log = context.settings.logfile;
  run_log = core::AbsolutePath(run_log, context.home);
  const std::string system_log = core::AbsolutePath(context.settings.logfile, context.home);

  LastRun run;
  const std::string run_text = LogTail(run_log);
  const std::size_t start =
      LastStartLine(run_text, core::EscapeControlCharacters(name + " (" + workflow_file + ")"));
  if (start == std::string::npos || run_text.size() < start + kStampLength) return run;
  run.started = true;
  run.time = run_text.substr(start, kStampLength);
  if (run_log == system_log) {
    FindResult(run_text, start, run.time, run);
  } else {
    FindResult(LogTail(system_log), 0, run.time, run);
  }
  return run;
}

std::string LastRunText(const core::Context& context, const LastRun& run) {
  const core::LanguageCode language = context.settings.language;
  if (!run.started) return core::GetLanguageText("lg_mesg_sch012", language);
  if (!run.ended) return core::FormatLanguageText("lg_mesg_sch013", language, {run.time});
  return run.time + " " + run.result;
}

}  // namespace wfdesk::engine
