#pragma once

namespace wfdesk::cli {

enum ExitStatus : int {
  kSucceeded = 0,
  kFailed = 1,  // the run failed, problems were found, a record action was refused
  kWrongUsage = 2,
  kBusy = 3,  // the workflow is already running, or another writer holds its database
};

// The whole command-line program; returns its exit status.
int Main(int argc, char** argv);

}  // namespace wfdesk::cli
