#include "core/file_lock.hpp"

#include "core/platform.hpp"

namespace wfdesk::core {

FileLock::FileLock(const std::string& path, Heritage heritage) {
  bool busy = false;
  descriptor_ =
      platform::TryLockFile(path, heritage == Heritage::kSharedWithPrograms, busy, error_);
  state_ = descriptor_ >= 0 ? State::kHeld : (busy ? State::kBusy : State::kFailed);
}

FileLock::~FileLock() {
  platform::UnlockFile(descriptor_);
}

}  // namespace wfdesk::core
