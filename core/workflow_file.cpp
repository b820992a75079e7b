#include "core/workflow_file.hpp"

#include "core/files.hpp"
#include "core/ini.hpp"

namespace wfdesk::core {

std::string WorkflowPath(const Context& context, const std::string& name) {
  return context.settings.data_dir + kPathSeparator + name;
}

std::string ReadWorkflowValue(const Context& context, const std::string& workflow_path,
                              const std::string& section, const std::string& key) {
  IniFile reader;
  reader.SetININame(AbsolutePath(workflow_path, context.home));
  reader.SetSection(section);
  reader.SetKey(key);
  return reader.ReadINISettings().value_or("");
}

}  // namespace wfdesk::core
