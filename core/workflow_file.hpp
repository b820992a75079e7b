#pragma once

#include <string>

#include "core/context.hpp"

namespace wfdesk::core {

inline constexpr const char* kWorkflowMarker = "qvworkflow";
inline constexpr const char* kGenWorkflow = "genWorkflow";

// Whether the settings name a data folder. An empty data_dir (as a missing,
// unreadable or garbled settings.ini gives) names none, and neither does the
// file-system root: the workflow paths would begin there.
bool HasDataFolder(const AppSettings& settings);

// What the operator is told when HasDataFolder fails, in their language.
std::string NoDataFolderMessage(const Context& context);

// The path of a workflow file as logs show it: data folder, "/", name.
std::string WorkflowPath(const Context& context, const std::string& name);

// A key of a workflow file as the file is now; the context keeps the file
// parsed while it is unchanged. A relative path is taken from the
// installation folder, an absolute one as it stands.
std::string ReadWorkflowValue(const Context& context, const std::string& workflow_path,
                              const std::string& section, const std::string& key);

// The environment variable that hands a module program the absolute path
// of its workflow's transmission database.
inline constexpr const char* kTransmissionDbVariable = "WFDESK_TRANSMISSION_DB";

// The transmission database a workflow keeps, as configured: its WORKFLOW
// dbfile, else the textdb file of the settings. A relative path is taken
// from the current folder.
std::string WorkflowDatabaseFile(const Context& context, const std::string& workflow_path);

}  // namespace wfdesk::core
