#pragma once

#include <memory>
#include <string>

#include "core/file_cache.hpp"
#include "core/ini_cache.hpp"
#include "core/seams.hpp"
#include "core/settings.hpp"

namespace wfdesk::core {

// Everything an operation needs from outside: the installation, its settings
// and the seams to the person, the clock, run ids and outside programs, and
// the workflow files and databases it has read, shared by its copies and
// threads.
struct Context {
  std::string home;  // absolute installation folder, without a trailing "/"
  AppSettings settings;
  Operator& person;
  ProcessLauncher& launcher;
  Clock& clock;
  GuidSource& guids;
  std::shared_ptr<IniFileCache> ini_files = std::make_shared<IniFileCache>();
  // The transmission database listed last, read again at every keystroke.
  std::shared_ptr<FileBytesCache> databases = std::make_shared<FileBytesCache>();
};

}  // namespace wfdesk::core
