#pragma once

#include <string>

#include "core/seams.hpp"
#include "core/settings.hpp"

namespace wfdesk::core {

// Everything an operation needs from outside: the installation, its settings
// and the seams to the person, the clock, run ids and outside programs.
struct Context {
  std::string home;  // absolute installation folder, without a trailing "/"
  AppSettings settings;
  Operator& person;
  ProcessLauncher& launcher;
  Clock& clock;
  GuidSource& guids;
};

}  // namespace wfdesk::core
