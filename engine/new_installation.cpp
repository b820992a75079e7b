#include "engine/new_installation.hpp"

#include <functional>

#include "core/environment.hpp"
#include "core/files.hpp"
#include "core/language.hpp"
#include "core/process.hpp"
#include "core/settings.hpp"
#include "core/workflow_file.hpp"
#include "engine/modules.hpp"
#include "engine/xslt_module.hpp"

namespace wfdesk::engine {

namespace {

constexpr const char* kSettingsFile = "settings.ini";
// Deeper than any example; ends a copy that a link loop would keep going.
constexpr int kMaxCopyDepth = 16;

std::string Join(const std::string& folder, const std::string& name) {
  return folder + core::kPathSeparator + name;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind(core::kPathSeparator);
  return slash == std::string::npos || slash == 0 ? path.substr(0, slash + 1)
                                                  : path.substr(0, slash);
}

std::string DefaultSettings(core::LanguageCode language) {
  return "[SETTINGS]\r\nlanguage=" + std::to_string(language) +
         "\r\nmodule_dir=modules\r\ndata_dir=data\r\netc_dir=etc\r\ntmp_dir=tmp\r\n"
         "logfile=log/system.log\r\ntextdb=db/transmissions.csv\r\nsilentmode=1\r\n";
}

// Makes what is missing and notes what it made or could not make.
class Maker {
 public:
  explicit Maker(NewInstallationOutcome& outcome) : outcome_(outcome) {}

  bool Folder(const std::string& folder) {
    return Note(core::CreateFolders(folder, outcome_.created));
  }

  // Written beside its place under a hidden name first, so that a killed
  // run leaves no part of a file that a later run would keep.
  void File(const std::string& path, std::string_view bytes) {
    if (core::PathTaken(path)) return;
    const std::string folder = FolderOf(path);
    const std::string draft = Join(folder, "." + core::FileNameOf(path) + ".new");
    (void)core::RemoveOneFile(draft);
    if (!Note(core::WriteNewFile(draft, bytes))) return;
    bool taken = false;
    const core::FileResult renamed = core::RenameWithoutReplacing(draft, path, taken);
    if (renamed) {
      outcome_.created.push_back(path);
      return;
    }
    (void)core::RemoveOneFile(draft);
    if (!taken) Error(renamed.error);  // made meanwhile by someone else: theirs stays
  }

  void Link(const std::string& target, const std::string& path) {
    bool taken = false;
    if (Note(core::CreateLink(target, path, taken)) && !taken) outcome_.created.push_back(path);
  }

  // The normal files and folders of `from` into `to`, hidden ones left out;
  // the files only where `with_files` says so (given the target folder).
  void CopyTree(const std::string& from, const std::string& to, int depth,
                const std::function<bool(const std::string&)>& with_files) {
    std::vector<core::FolderItem> items;
    if (depth > kMaxCopyDepth || !Note(core::ReadFolderItems(from, items))) return;
    for (const auto& item : items) {
      if (item.name.front() == '.' || (depth == 0 && item.name == kSettingsFile)) continue;
      const std::string source = Join(from, item.name);
      const std::string target = Join(to, item.name);
      if (item.is_folder) {
        if (Folder(target)) CopyTree(source, target, depth + 1, with_files);
      } else if (with_files(to) && !core::PathTaken(target)) {
        std::string bytes;
        if (Note(core::ReadFileContent(source, bytes))) File(target, bytes);
      }
    }
  }

  void Error(std::string message) { outcome_.errors.push_back(std::move(message)); }

 private:
  bool Note(const core::FileResult& result) {
    if (!result) Error(result.error);
    return result.ok;
  }

  NewInstallationOutcome& outcome_;
};

// The folders settings.ini names, the folder of each named file included.
std::vector<std::string> NamedFolders(const core::AppSettings& s, const std::string& home) {
  std::vector<std::string> folders;
  for (const std::string* folder : {&s.module_dir, &s.data_dir, &s.etc_dir, &s.tmp_dir}) {
    if (!folder->empty()) folders.push_back(core::AbsolutePath(*folder, home));
  }
  for (const std::string* file : {&s.logfile, &s.textdb}) {
    if (!file->empty()) folders.push_back(FolderOf(core::AbsolutePath(*file, home)));
  }
  return folders;
}

void LinkPrograms(Maker& make, const NewInstallationRequest& request, const std::string& modules,
                  core::LanguageCode language) {
  for (const char* name : {kConverterProgram, kConnectorProgram}) {
    const std::string program = core::CanonicalPath(Join(request.package.module_folder, name));
    if (program.empty()) {
      make.Error(core::FormatLanguageText("lg_mesg_init001", language,
                                          {name, request.package.module_folder}));
    } else {
      make.Link(program, Join(modules, name));
    }
  }
  const std::string xsltproc = core::CanonicalPath(request.package.xsltproc);
  if (xsltproc.empty()) {
    make.Error(core::GetLanguageText("lg_mesg_init002", language));
  } else {
    make.Link(xsltproc, Join(modules, kXsltProcessor));
  }
}

// Whether workflows have run in the installation: it has a system log or a
// transmission database.
bool InUse(const core::AppSettings& s, const std::string& home) {
  return (!s.logfile.empty() && core::PathTaken(core::AbsolutePath(s.logfile, home))) ||
         (!s.textdb.empty() && core::PathTaken(core::AbsolutePath(s.textdb, home)));
}

// Copies the example; into an installation in use only the files of its
// data and etc folders (and below), the workflows and stylesheets.
void CopyExample(Maker& make, const NewInstallationRequest& request,
                 const core::AppSettings& settings, NewInstallationOutcome& outcome) {
  if (request.package.example_folder.empty()) {
    make.Error(core::GetLanguageText("lg_mesg_init003", settings.language));
    return;
  }
  const bool in_use = InUse(settings, request.home);
  std::vector<std::string> configuration;
  for (const std::string* folder : {&settings.data_dir, &settings.etc_dir}) {
    const std::string path = core::CanonicalPath(core::AbsolutePath(*folder, request.home));
    if (!path.empty()) configuration.push_back(path + core::kPathSeparator);
  }
  const auto with_files = [&](const std::string& folder) {
    if (!in_use) return true;
    const std::string path = core::CanonicalPath(folder) + core::kPathSeparator;
    for (const std::string& allowed : configuration) {
      if (path.starts_with(allowed)) return true;
    }
    outcome.example_data_left_out = true;
    return false;
  };
  make.CopyTree(request.package.example_folder, request.home, 0, with_files);
}

}  // namespace

PackageFiles LocatePackageFiles(const std::string& program_folder) {
  PackageFiles files;
  const std::string installed = Join(program_folder, "../lib/wfdesk/modules");
  if (core::DirExists(installed)) {
    files.module_folder = installed;
    files.example_folder = Join(program_folder, "../share/wfdesk/example");
  } else {
    files.module_folder = Join(program_folder, "../tools");
    files.example_folder = Join(program_folder, "../../../examples/installation");
  }
  files.example_folder = core::CanonicalPath(files.example_folder);
  if (!core::DirExists(files.example_folder)) files.example_folder.clear();
  files.xsltproc = core::FindProgramOnPath(kXsltProcessor);
  return files;
}

bool HoldsInstallation(const std::string& home) {
  return core::IsPlainFile(Join(home, kSettingsFile));
}

NewInstallationOutcome CreateInstallation(const NewInstallationRequest& request) {
  NewInstallationOutcome outcome;
  outcome.language = request.language;
  Maker make(outcome);
  if (!make.Folder(request.home)) return outcome;
  make.File(Join(request.home, kSettingsFile), DefaultSettings(request.language));
  if (!HoldsInstallation(request.home)) return outcome;
  const core::AppSettings settings = core::LoadAppSettings(request.home);
  outcome.language = settings.language;
  // Without a data folder (a settings.ini of someone else's, or not text at
  // all) the named folders would be guesses: nothing is made.
  if (!core::HasDataFolder(settings)) {
    make.Error(core::GetLanguageText("lg_appl_err_NoDataDir", settings.language) +
               Join(request.home, kSettingsFile));
    return outcome;
  }
  for (const std::string& folder : NamedFolders(settings, request.home)) make.Folder(folder);
  const std::string modules = settings.module_dir.empty()
                                  ? request.home
                                  : core::AbsolutePath(settings.module_dir, request.home);
  LinkPrograms(make, request, modules, settings.language);
  if (request.example) CopyExample(make, request, settings, outcome);
  return outcome;
}

}  // namespace wfdesk::engine
