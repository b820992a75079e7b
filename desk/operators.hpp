#pragma once

#include <QObject>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>

#include "core/seams.hpp"

namespace wfdesk::desk {

// Message boxes with the application's title, wide enough to show it, and
// the message as plain text: OK only for what the operator is told, Yes and
// No for questions (No the default for a confirmation), Yes, No and Cancel
// where the person may stay where they were (Escape cancels). A box is a
// child of the application's active window (the editor or dialog that
// asked), else of `parent`. Call on the UI thread only.
class MessageBoxOperator : public core::Operator {
 public:
  explicit MessageBoxOperator(QWidget* parent = nullptr) : parent_(parent) {}
  void set_parent(QWidget* parent) { parent_ = parent; }

  void Tell(const std::string& message) override;
  bool Ask(const std::string& question) override;
  bool Confirm(const std::string& question) override;
  Answer AskOrCancel(const std::string& question) override;

 private:
  QWidget* parent_;
};

// Hands every message and question to another operator on the thread this
// object lives on (the UI thread); a caller on another thread, such as a
// workflow run, waits for the answer.
class UiThreadOperator : public QObject, public core::Operator {
  Q_OBJECT

 public:
  explicit UiThreadOperator(core::Operator& inner, QObject* parent = nullptr)
      : QObject(parent), inner_(inner) {}
  ~UiThreadOperator() override { Silence(); }

  void Tell(const std::string& message) override;
  bool Ask(const std::string& question) override;
  bool Confirm(const std::string& question) override;
  Answer AskOrCancel(const std::string& question) override;

  // From now on nothing reaches the person: messages are dropped and
  // questions answered No (Cancel where they may be), and a caller waiting
  // for an answer gets that at once. For a window that is going away during
  // a run. UI thread only.
  void Silence();

 private:
  struct Pending;

  // The inner operator's answer, given on this object's thread; `unheard`
  // once silenced.
  int OnOwnThread(std::function<int(core::Operator&)> call, int unheard);

  core::Operator& inner_;
  std::atomic<bool> silenced_{false};
  std::mutex mutex_;
  std::set<std::shared_ptr<Pending>> pending_;  // callers waiting for an answer
};

}  // namespace wfdesk::desk
