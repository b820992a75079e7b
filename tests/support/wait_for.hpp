#pragma once

#include <chrono>
#include <thread>

namespace wfdesk::testing {

// Whether the predicate came true within the time-out, asked every `poll`:
// for what another process or the system does in its own time.
template <typename Predicate>
bool WaitFor(Predicate predicate, std::chrono::milliseconds timeout = std::chrono::seconds(10),
             std::chrono::microseconds poll = std::chrono::milliseconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!predicate()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(poll);
  }
  return true;
}

}  // namespace wfdesk::testing
