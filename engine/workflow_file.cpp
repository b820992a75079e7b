#include "engine/workflow_file.hpp"

#include "core/files.hpp"
#include "core/ini.hpp"

namespace wfdesk::engine {

std::string WorkflowPath(const core::Context& context, const std::string& name) {
  return context.settings.data_dir + core::kPathSeparator + name;
}

std::string ReadWorkflowValue(const core::Context& context, const std::string& workflow_path,
                              const std::string& section, const std::string& key) {
  core::IniFile reader;
  reader.SetININame(core::AbsolutePath(workflow_path, context.home));
  reader.SetSection(section);
  reader.SetKey(key);
  return reader.ReadINISettings().value_or("");
}

}  // namespace wfdesk::engine
