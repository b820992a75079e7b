#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <string>
#include <thread>

#include "core/context.hpp"
#include "engine/workflow.hpp"

class QTimer;

namespace wfdesk::desk {

class UiThreadOperator;

// The window's run of a workflow: one at a time, on a worker thread, while
// the window stays live. Its signals fire on the UI thread.
class WorkflowRun : public QObject, private engine::RunObserver {
  Q_OBJECT

 public:
  // `context` carries `person` as its operator.
  WorkflowRun(const core::Context& context, UiThreadOperator& person, QObject* parent = nullptr);
  // Releases a worker that waits for the operator, then waits for the run
  // to end (a running module program is not cut short).
  ~WorkflowRun() override;

  // Starts the workflow file `name` of the data folder; false while a run
  // is going or for no name.
  bool Start(const std::string& name);
  bool running() const { return worker_.joinable(); }
  // The workflow running, or that ran last.
  const std::string& name() const { return name_; }

  // The operator has chosen to end the program once the run is over: from
  // now on the run's messages (its result among them) go only to the log,
  // and the application quits when the run has ended.
  void QuitWhenEnded();
  bool quitting() const { return quit_when_ended_; }

 signals:
  void ModuleStarted(const QString& section, const QString& mtype);
  // Every few hundred milliseconds during a run: time to show what its
  // log has grown by.
  void Following();
  void Ended(const QString& result);

 private:
  void ModuleStarting(const std::string& section, const std::string& mtype) override;
  void OnWorkerDone(const QString& result);

  const core::Context& context_;
  UiThreadOperator& person_;
  engine::WorkflowRunner runner_;
  std::thread worker_;
  std::string name_;
  bool quit_when_ended_ = false;
  QTimer* follow_timer_ = nullptr;
};

}  // namespace wfdesk::desk
