#include "desk/workflow_run.hpp"

#include <QCoreApplication>
#include <QTimer>

#include "desk/operators.hpp"
#include "desk/text_codec.hpp"

namespace wfdesk::desk {

namespace {

constexpr int kFollowMilliseconds = 300;

}  // namespace

WorkflowRun::WorkflowRun(const core::Context& context, UiThreadOperator& person, QObject* parent)
    : QObject(parent), context_(context), person_(person) {
  follow_timer_ = new QTimer(this);
  follow_timer_->setInterval(kFollowMilliseconds);
  connect(follow_timer_, &QTimer::timeout, this, &WorkflowRun::Following);
}

WorkflowRun::~WorkflowRun() {
  if (!worker_.joinable()) return;
  // The worker may wait for a message box this thread will never show.
  person_.Silence();
  worker_.join();
}

bool WorkflowRun::Start(const std::string& name) {
  if (running() || name.empty()) return false;
  name_ = name;
  follow_timer_->start();
  worker_ = std::thread([this, name] {
    const QString result = DecodeAuto(runner_.RunWorkflow(context_, name, this).result);
    // Dropped when this object is gone: its destructor joins instead.
    QMetaObject::invokeMethod(
        this, [this, result] { OnWorkerDone(result); }, Qt::QueuedConnection);
  });
  return true;
}

void WorkflowRun::QuitWhenEnded() {
  quit_when_ended_ = true;
  person_.Silence();
}

void WorkflowRun::ModuleStarting(const std::string& section, const std::string& mtype) {
  const QString section_text = DecodeAuto(section);
  const QString mtype_text = DecodeAuto(mtype);
  QMetaObject::invokeMethod(
      this, [this, section_text, mtype_text] { emit ModuleStarted(section_text, mtype_text); },
      Qt::QueuedConnection);
}

void WorkflowRun::OnWorkerDone(const QString& result) {
  worker_.join();
  follow_timer_->stop();
  emit Following();  // the last lines of the log
  emit Ended(result);
  if (quit_when_ended_) QCoreApplication::quit();
}

}  // namespace wfdesk::desk
