#include "desk/window_timers.hpp"

#include <QSettings>
#include <QTimer>
#include <algorithm>

namespace wfdesk::desk {

namespace {

constexpr const char* kOn = "/on";
constexpr const char* kInterval = "/interval";

QSettings PersonalSettings() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, "wfdesk", "wfdesk");
}

}  // namespace

WindowTimers::WindowTimers(const std::string& installation_tag,
                           std::function<bool(const std::string&)> start,
                           std::function<void(const std::string&)> skipped, QObject* parent)
    : QObject(parent),
      tag_(installation_tag),
      start_(std::move(start)),
      skipped_(std::move(skipped)) {}

// Workflow names are bytes of any kind; in hex they make a plain key.
QString WindowTimers::Key(const std::string& workflow) const {
  return "timers/" + QString::fromStdString(tag_) + "/" +
         QString::fromLatin1(QByteArray::fromStdString(workflow).toHex());
}

WindowTimers::Setting WindowTimers::Get(const std::string& workflow) const {
  const QSettings settings = PersonalSettings();
  Setting setting;
  setting.on = settings.value(Key(workflow) + kOn, false).toBool();
  const int interval = settings.value(Key(workflow) + kInterval, setting.interval).toInt();
  setting.interval = std::clamp(interval, 1, kMaxInterval);
  return setting;
}

void WindowTimers::Set(const std::string& workflow, Setting setting) {
  setting.interval = std::clamp(setting.interval, 1, kMaxInterval);
  QSettings settings = PersonalSettings();
  settings.setValue(Key(workflow) + kOn, setting.on);
  settings.setValue(Key(workflow) + kInterval, setting.interval);
  if (setting.on) {
    Arm(workflow, setting.interval);
  } else {
    Stop(workflow);
  }
}

void WindowTimers::Restore(const std::vector<std::string>& workflows) {
  std::vector<std::string> gone;
  for (const auto& [workflow, timer] : timers_) {
    if (std::find(workflows.begin(), workflows.end(), workflow) == workflows.end()) {
      gone.push_back(workflow);
    }
  }
  for (const std::string& workflow : gone) Stop(workflow);
  for (const std::string& workflow : workflows) {
    const Setting setting = Get(workflow);
    if (setting.on && !Armed(workflow)) Arm(workflow, setting.interval);
  }
}

void WindowTimers::StopAll() {
  for (const auto& [workflow, timer] : timers_) delete timer;
  timers_.clear();
}

void WindowTimers::Due(const std::string& workflow) {
  if (held_) return;
  if (!start_(workflow)) skipped_(workflow);
}

void WindowTimers::Arm(const std::string& workflow, int interval) {
  QTimer*& timer = timers_[workflow];
  if (!timer) {
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, workflow] { Due(workflow); });
  }
  timer->start(interval * 1000);
}

void WindowTimers::Stop(const std::string& workflow) {
  const auto found = timers_.find(workflow);
  if (found == timers_.end()) return;
  delete found->second;
  timers_.erase(found);
}

}  // namespace wfdesk::desk
