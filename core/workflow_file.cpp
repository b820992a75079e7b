#include "core/workflow_file.hpp"

#include "core/ascii.hpp"
#include "core/files.hpp"
#include "core/language.hpp"

namespace wfdesk::core {

namespace {

// A root ("/", "C:\\") with nothing but separators and dots after it.
bool IsRootFolder(std::string_view folder) {
  const std::size_t first = folder.find_first_of(kPathSeparators);
  if (first == std::string_view::npos || !IsAbsolutePath(folder)) return false;
  const std::string_view drive = folder.substr(0, first);
  if (!drive.empty() && !(drive.size() == 2 && drive[1] == ':')) return false;
  return folder.substr(first).find_first_not_of(std::string(kPathSeparators) + ".") ==
         std::string_view::npos;
}

}  // namespace

bool HasDataFolder(const AppSettings& settings) {
  const std::string_view folder = TrimSpaces(settings.data_dir);
  return !folder.empty() && !IsRootFolder(folder);
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

std::string WorkflowDatabaseFile(const Context& context, const std::string& workflow_path) {
  const std::string dbfile = ReadWorkflowValue(context, workflow_path, "WORKFLOW", "dbfile");
  return dbfile.empty() ? context.settings.textdb : dbfile;
}

}  // namespace wfdesk::core
