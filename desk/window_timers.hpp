#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <string>

class QTimer;

namespace wfdesk::desk {

// The window's own schedule: while the window is open, a workflow whose
// timer is on runs every `interval` seconds. A run that would overlap one
// still going is skipped, never queued. Each workflow's timer is kept in
// the person's own settings of the window (QSettings), per installation,
// never in the workflow file.
class WindowTimers : public QObject {
  Q_OBJECT

 public:
  struct Setting {
    bool on = false;
    int interval = 3600;  // seconds
  };
  static constexpr int kMaxInterval = 7 * 24 * 3600;

  // `start` starts a run of a workflow, false when one is going; `skipped`
  // is told of each run left out. Both are called on the UI thread.
  WindowTimers(const std::string& installation_tag, std::function<bool(const std::string&)> start,
               std::function<void(const std::string&)> skipped, QObject* parent = nullptr);

  Setting Get(const std::string& workflow) const;
  // Keeps the setting and arms or stops the workflow's timer.
  void Set(const std::string& workflow, Setting setting);
  // Stops every timer, keeping the settings: the window is going.
  void StopAll();
  // While held, a timer that is due starts nothing and is not counted as
  // skipped: the window is asking whether to close.
  void Hold(bool held) { held_ = held; }
  bool held() const { return held_; }
  // Arms the timers that are on for these workflows; stops the others.
  void Restore(const std::vector<std::string>& workflows);
  bool Armed(const std::string& workflow) const { return timers_.count(workflow) > 0; }

  // The interval of a workflow has passed: its timer calls this.
  void Due(const std::string& workflow);

 private:
  void Arm(const std::string& workflow, int interval);
  void Stop(const std::string& workflow);
  QString Key(const std::string& workflow) const;

  std::string tag_;
  std::function<bool(const std::string&)> start_;
  std::function<void(const std::string&)> skipped_;
  std::map<std::string, QTimer*> timers_;
  bool held_ = false;
};

}  // namespace wfdesk::desk
