#pragma once

#include <memory>
#include <string>

#include "core/ini_cache.hpp"
#include "core/seams.hpp"
#include "core/settings.hpp"

namespace wfdesk::core {

// Everything an operation needs from outside: the installation, its settings
// and the seams to the person, the clock, run ids and outside programs, and
// the workflow files it has parsed, shared by its copies and threads.
struct Context {
  std::string home;  // absolute installation folder, without a trailing "/"
  AppSettings settings;
  Operator& person;
  ProcessLauncher& launcher;
  Clock& clock;
  GuidSource& guids;
  std::shared_ptr<IniFileCache> ini_files = std::make_shared<IniFileCache>();
};

}  // namespace wfdesk::core
