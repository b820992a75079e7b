#include "engine/catalogue.hpp"

#include "core/files.hpp"
#include "core/workflow_file.hpp"

namespace wfdesk::engine {

std::optional<std::vector<WorkflowEntry>> ListWorkflows(const core::Context& context) {
  const std::string folder = core::AbsolutePath(context.settings.data_dir, context.home);
  if (!core::DirExists(folder)) return std::nullopt;
  std::vector<WorkflowEntry> entries;
  for (const std::string& name : core::FolderFileNames(folder)) {
    const std::string path = core::WorkflowPath(context, name);
    if (core::ReadWorkflowValue(context, path, "FILE", "type") != core::kWorkflowMarker) continue;
    entries.push_back({core::ReadWorkflowValue(context, path, "DEF", "title"), name});
  }
  return entries;
}

std::string CatalogueText(const core::Context& context, const WorkflowEntry& entry) {
  return entry.title + context.settings.ListSeparator + entry.file_name;
}

}  // namespace wfdesk::engine
