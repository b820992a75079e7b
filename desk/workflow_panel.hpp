#pragma once

#include <QGroupBox>
#include <QPixmap>
#include <optional>

#include "core/language.hpp"
#include "desk/window_timers.hpp"
#include "schedule/scheduler.hpp"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace wfdesk::desk {

// What starts a workflow without the operator: the window's timer, the
// system's schedule (enabled or not yet), or both.
struct ScheduleMark {
  bool timer = false;
  bool system = false;
  bool any() const { return timer || system; }
};

// The clock that marks a workflow which starts by itself, drawn in `ink`;
// for an unmarked one a clear pixmap of the same size, so that the texts
// beside the marks stay in line.
QPixmap ScheduleMarkPixmap(ScheduleMark mark, const QColor& ink);
// What starts it, in words ("Starts by itself: window timer"); "" for none.
QString ScheduleMarkText(ScheduleMark mark, core::LanguageCode language);

// frame001, the workflow panel: the selected workflow's file, name and last
// result, Execute, the window's timer and the line that says which schedules
// apply, marked when the workflow starts by itself. It knows nothing of the
// list, the run or the scheduler: the window says what to show, and hears of
// the operator's doings through the signals, which fire on the UI thread.
class WorkflowPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit WorkflowPanel(QWidget* parent = nullptr);

  void ApplyTexts(core::LanguageCode language);
  // The workflow's file name and its name from the file; "" for no workflow.
  // Clears the element and the result's details.
  void ShowWorkflow(const QString& file, const QString& name);
  // A failure in red; "OK" is no alarm.
  void ShowResult(const QString& result);
  // Shows the timer without telling of an edit.
  void ShowTimer(WindowTimers::Setting setting);
  // The schedule line and the mark: the timer as shown, and the system's
  // schedule of the workflow if it has one.
  void ShowSchedule(const std::optional<schedule::Schedule>& system);
  // Execute is enabled while a workflow is shown and a run is allowed.
  void AllowRun(bool allowed);

  ScheduleMark mark() const { return mark_; }
  // lblEID, which the transmission view fills with the chosen element.
  QLabel* element() const { return lbl_eid_; }

 signals:
  // Execute was pressed.
  void RunRequested();
  // The operator turned the timer on or off or changed its interval, with a
  // workflow shown.
  void TimerEdited(WindowTimers::Setting setting);

 private:
  void BuildTimerControls();
  void LayoutControls();
  void OnTimerEdited();
  void ShowMark();
  QString Text(const char* key) const;

  core::LanguageCode language_ = core::kEnglish;
  bool shown_ = false;  // a workflow is on show
  bool run_allowed_ = true;
  ScheduleMark mark_;

  QLabel* lbl_wf_file_ = nullptr;
  QLabel* lbl_wf_name_ = nullptr;
  QLabel* lbl_wf_name_out_ = nullptr;
  QLabel* lbl_message_ = nullptr;
  QLabel* lbl_eid_ = nullptr;
  QPushButton* cmd001_ = nullptr;
  QLabel* lbl_pname_ = nullptr;
  QCheckBox* chk_wf_timer_ = nullptr;
  QLabel* lbl_wf_timer_interval_ = nullptr;
  QSpinBox* txt_wf_timer_interval_ = nullptr;
  QLabel* lbl_wf_schedule_ = nullptr;
  QLabel* lbl_wf_mark_icon_ = nullptr;
  QLabel* lbl_wf_mark_ = nullptr;
};

}  // namespace wfdesk::desk
