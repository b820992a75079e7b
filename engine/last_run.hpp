#pragma once

#include <string>

#include "core/context.hpp"

namespace wfdesk::engine {

// The last run of a workflow as its logs tell it.
struct LastRun {
  bool started = false;  // a start line of the workflow was found
  bool ended = false;    // and the result line of that run
  bool running = false;  // no result yet, and the run still holds the workflow's lock
  std::string time;      // "yyyy-mm-dd hh:nn:ss" of the end, else of the start
  std::string result;    // "OK" or the message that stopped the run
};

// Reads the last run of the workflow file `name` from the tail of its run
// log (its DEF logfile, else the system log): its last start line and the
// result line that carries the same run id. Without a result line the run
// is either still going (its lock is held) or was cut short.
LastRun FindLastRun(const core::Context& context, const std::string& name);

// The last run in one line: time and result, or why there is none.
std::string LastRunText(const core::Context& context, const LastRun& run);

}  // namespace wfdesk::engine
