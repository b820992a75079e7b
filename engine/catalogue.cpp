#include "engine/catalogue.hpp"

#include "core/files.hpp"
#include "core/language.hpp"
#include "core/workflow_file.hpp"

namespace wfdesk::engine {

WorkflowCatalogue ListWorkflows(const core::Context& context) {
  WorkflowCatalogue catalogue;
  if (!core::HasDataFolder(context.settings)) {
    catalogue.error = core::NoDataFolderMessage(context);
    return catalogue;
  }
  const std::string folder = core::AbsolutePath(context.settings.data_dir, context.home);
  if (!core::DirExists(folder)) {
    catalogue.error =
        core::FormatLanguageText("lg_mesg_run005", context.settings.language, {folder});
    return catalogue;
  }
  std::vector<std::string> names;
  if (const auto listed = core::ReadFolderFileNames(folder, names); !listed) {
    catalogue.error = listed.error;
    return catalogue;
  }
  for (const std::string& name : names) {
    const std::string path = core::WorkflowPath(context, name);
    if (core::ReadWorkflowValue(context, path, "FILE", "type") != core::kWorkflowMarker) continue;
    catalogue.entries.push_back({core::ReadWorkflowValue(context, path, "DEF", "title"), name});
  }
  return catalogue;
}

std::string CatalogueText(const core::Context& context, const WorkflowEntry& entry) {
  return entry.title + context.settings.ListSeparator + entry.file_name;
}

}  // namespace wfdesk::engine
