#include "core/file_lock.hpp"

#include <thread>

#include "core/platform/platform.hpp"

namespace wfdesk::core {

FileLock::FileLock(const std::string& path, Heritage heritage) {
  bool busy = false;
  descriptor_ =
      platform::TryLockFile(path, heritage == Heritage::kSharedWithPrograms, busy, error_);
  state_ = descriptor_ >= 0 ? State::kHeld : (busy ? State::kBusy : State::kFailed);
}

FileLock::FileLock(const std::string& path, std::chrono::milliseconds patience) {
  constexpr std::chrono::milliseconds kRetryPause{20};
  const auto deadline = std::chrono::steady_clock::now() + patience;
  bool busy = true;
  while (true) {
    descriptor_ = platform::TryLockFile(path, false, busy, error_);
    if (descriptor_ >= 0 || !busy || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(kRetryPause);
  }
  state_ = descriptor_ >= 0 ? State::kHeld : (busy ? State::kBusy : State::kFailed);
}

FileLock::~FileLock() {
  platform::UnlockFile(descriptor_);
}

}  // namespace wfdesk::core
