#include "engine/xslt_builtin.hpp"

#include <system_error>

#include "core/files.hpp"
#include "core/process.hpp"

namespace wfdesk::engine {

namespace {

// How many inputs the thread transforms before the module has logged them:
// enough to keep it busy, few to be found transformed but not yet archived
// after a stop or a crash.
constexpr std::size_t kLookAhead = 32;

}  // namespace

BuiltinXsltAhead::BuiltinXsltAhead(const BuiltinXslt& engine, std::vector<BuiltinXsltJob> jobs)
    : engine_(engine), jobs_(std::move(jobs)), done_(jobs_.size()) {
  try {
    thread_ = std::thread([this] { Work(); });
  } catch (const std::system_error&) {
    // No thread to be had: Take transforms each input itself.
  }
}

BuiltinXsltAhead::~BuiltinXsltAhead() {
  {
    const std::lock_guard lock(mutex_);
    cancelled_ = true;
  }
  progressed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

BuiltinXsltDone BuiltinXsltAhead::Do(std::size_t index) const {
  BuiltinXsltDone done;
  done.stopped = core::StopRequested();
  if (done.stopped) return done;
  const BuiltinXsltJob& job = jobs_[index];
  done.output_taken = core::PathTaken(job.output);
  if (done.output_taken) return done;
  const std::string stamp_before = core::FileStamp(job.output);
  done.result = engine_.Transform(job.input, job.output);
  done.written = core::IsPlainFile(job.output) && core::FileStamp(job.output) != stamp_before;
  return done;
}

void BuiltinXsltAhead::Work() {
  for (std::size_t index = 0; index < jobs_.size(); ++index) {
    {
      std::unique_lock lock(mutex_);
      // Once that far ahead, it sleeps until half of them are taken, not
      // waking for each one.
      if (index >= taken_ + kLookAhead) {
        progressed_.wait(lock, [&] { return cancelled_ || index < taken_ + kLookAhead / 2; });
      }
      if (cancelled_) return;
    }
    BuiltinXsltDone done = Do(index);
    const std::lock_guard lock(mutex_);
    done_[index] = std::move(done);
    finished_ = index + 1;
    progressed_.notify_all();
  }
}

BuiltinXsltDone BuiltinXsltAhead::Take(std::size_t index) {
  if (!thread_.joinable()) return Do(index);
  std::unique_lock lock(mutex_);
  progressed_.wait(lock, [&] { return finished_ > index; });
  taken_ = index + 1;
  progressed_.notify_all();
  return std::move(done_[index]);
}

}  // namespace wfdesk::engine
