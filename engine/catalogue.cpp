#include "engine/catalogue.hpp"

#include "core/files.hpp"
#include "engine/workflow_file.hpp"

namespace wfdesk::engine {

std::optional<std::vector<WorkflowEntry>> ListWorkflows(const core::Context& context) {
  const std::string folder = core::AbsolutePath(context.settings.data_dir, context.home);
  if (!core::DirExists(folder)) return std::nullopt;
  std::vector<WorkflowEntry> entries;
  for (const std::string& name : core::FolderFileNames(folder)) {
    const std::string path = WorkflowPath(context, name);
    if (ReadWorkflowValue(context, path, "FILE", "type") != kWorkflowMarker) continue;
    entries.push_back({ReadWorkflowValue(context, path, "DEF", "title"), name});
  }
  return entries;
}

std::string CatalogueText(const core::Context& context, const WorkflowEntry& entry) {
  return entry.title + context.settings.ListSeparator + entry.file_name;
}

}  // namespace wfdesk::engine
