#pragma once

#include <string>

#include "core/context.hpp"

namespace wfdesk::engine {

// The last run of a workflow as its logs tell it.
struct LastRun {
  bool started = false;  // a start line of the workflow was found
  bool ended = false;    // and the result the runner wrote after it
  std::string time;      // "yyyy-mm-dd hh:nn:ss" of the end, else of the start
  std::string result;    // "OK" or the message that stopped the run
};

// Reads the last run of the workflow file `name` from the tail of its run
// log (its DEF logfile, else the system log) and the result line the runner
// wrote to the system log after that start. The system log does not say
// which workflow a result belongs to: the first result after the start is
// taken, which a run of another workflow ending in between can precede.
LastRun FindLastRun(const core::Context& context, const std::string& name);

// The last run in one line: time and result, or why there is none.
std::string LastRunText(const core::Context& context, const LastRun& run);

}  // namespace wfdesk::engine
