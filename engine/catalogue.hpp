#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/context.hpp"

namespace wfdesk::engine {

struct WorkflowEntry {
  std::string title;
  std::string file_name;
};

// The workflows of the data folder, in the order the folder lists its files:
// every file whose FILE type is exactly "qvworkflow". Nothing when the data
// folder does not exist.
std::optional<std::vector<WorkflowEntry>> ListWorkflows(const core::Context& context);

// title, the list separator, file name: the text the workflow list shows.
std::string CatalogueText(const core::Context& context, const WorkflowEntry& entry);

}  // namespace wfdesk::engine
