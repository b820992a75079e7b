#pragma once

#include <string>
#include <vector>

#include "core/language.hpp"

namespace wfdesk::engine {

// The files of the package that a new installation is made from.
struct PackageFiles {
  std::string module_folder;   // our module programs
  std::string example_folder;  // the example installation; "" when there is none
  std::string xsltproc;        // the system's xsltproc; "" when there is none
};

// The package's files as seen from the folder of a running program: an
// installed package keeps them in ../lib/wfdesk/modules and
// ../share/wfdesk/example; a build tree has the programs in ../tools and the
// example in the source tree beside the build folder. xsltproc is the one
// on PATH.
PackageFiles LocatePackageFiles(const std::string& program_folder);

struct NewInstallationRequest {
  std::string home;                              // absolute
  core::LanguageCode language = core::kEnglish;  // for a new settings.ini
  bool example = false;  // with the example workflows, stylesheets and exports
  PackageFiles package;
};

struct NewInstallationOutcome {
  std::vector<std::string> created;              // the paths made, in the order they were made
  std::vector<std::string> errors;               // what could not be done, in the operator's words
  core::LanguageCode language = core::kEnglish;  // that of the installation's settings
  // The installation was in use: of the example only the workflows and
  // stylesheets were copied, its data (exports, invoices, database) not.
  bool example_data_left_out = false;
  bool ok() const { return errors.empty(); }
};

// Makes `home` an installation, or completes one: settings.ini (language,
// module, data, etc, tmp, log and db folders), the folders the settings
// name, links in the module folder to our module programs and xsltproc,
// and with `example` the files of the example installation. Nothing that
// is already there is changed: an existing file, folder or link of the
// same name is kept, so a second call makes nothing. The example's data
// (every file outside its data and etc folders: exports, invoices, the
// database) goes only into an installation not yet in use, one without a
// system log or a database, so that a live installation never sends the
// example's invoices. What cannot be made is reported and the rest still
// made.
NewInstallationOutcome CreateInstallation(const NewInstallationRequest& request);

// Whether the folder is an installation: it holds settings.ini.
bool HoldsInstallation(const std::string& home);

}  // namespace wfdesk::engine
