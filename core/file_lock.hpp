#pragma once

#include <chrono>
#include <string>

namespace wfdesk::core {

// An exclusive advisory lock on a file, held for the object's lifetime and
// released by the operating system when the process ends, even by a crash.
// A second lock on the same file fails, in this process as in any other.
class FileLock {
 public:
  enum class State { kHeld, kBusy, kFailed };
  // Whether programs started while the lock is held hold it too, so that it
  // lasts as long as the last of them even when this process is killed.
  enum class Heritage { kThisProcessOnly, kSharedWithPrograms };

  explicit FileLock(const std::string& path, Heritage heritage = Heritage::kThisProcessOnly);
  // Waits up to `patience` while another holder has the lock, trying again
  // every few milliseconds; busy when it was not released in that time.
  FileLock(const std::string& path, std::chrono::milliseconds patience);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  State state() const { return state_; }
  const std::string& error() const { return error_; }

 private:
  int descriptor_ = -1;
  State state_ = State::kFailed;
  std::string error_;
};

}  // namespace wfdesk::core
