#include "core/workflow_file.hpp"

#include "core/ascii.hpp"
#include "core/files.hpp"
#include "core/language.hpp"

namespace wfdesk::core {

bool HasDataFolder(const AppSettings& settings) {
  const std::string_view folder = TrimSpaces(settings.data_dir);
  const bool root = folder.starts_with(kPathSeparator) &&
                    folder.find_first_not_of("/.") == std::string_view::npos;
  return !folder.empty() && !root;
}

std::string NoDataFolderMessage(const Context& context) {
  return GetLanguageText("lg_appl_err_NoDataDir", context.settings.language) +
         AbsolutePath(context.settings.SettingsFile, context.home);
}

std::string WorkflowPath(const Context& context, const std::string& name) {
  return context.settings.data_dir + kPathSeparator + name;
}

std::string ReadWorkflowValue(const Context& context, const std::string& workflow_path,
                              const std::string& section, const std::string& key) {
  return context.ini_files->Read(AbsolutePath(workflow_path, context.home), section, key)
      .value_or("");
}

}  // namespace wfdesk::core
