#include "core/file_lock.hpp"

#include "core/platform.hpp"

namespace wfdesk::core {

FileLock::FileLock(const std::string& path) {
  bool busy = false;
  descriptor_ = platform::TryLockFile(path, busy, error_);
  state_ = descriptor_ >= 0 ? State::kHeld : (busy ? State::kBusy : State::kFailed);
}

FileLock::~FileLock() {
  platform::UnlockFile(descriptor_);
}

}  // namespace wfdesk::core
