#pragma once

#include <string>
#include <vector>

#include "core/context.hpp"

namespace wfdesk::engine {

struct WorkflowEntry {
  std::string title;
  std::string file_name;
};

// The workflows of the data folder, or why they could not be listed.
struct WorkflowCatalogue {
  std::vector<WorkflowEntry> entries;
  std::string error;  // "" when the data folder was listed
  bool ok() const { return error.empty(); }
};

// The workflows of the data folder, in the order the folder lists its files:
// every file whose FILE type is exactly "qvworkflow". Fails when the settings
// name no data folder, or it does not exist or cannot be listed.
WorkflowCatalogue ListWorkflows(const core::Context& context);

// title, the list separator, file name: the text the workflow list shows.
std::string CatalogueText(const core::Context& context, const WorkflowEntry& entry);

}  // namespace wfdesk::engine
