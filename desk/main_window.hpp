#pragma once

#include <QMainWindow>
#include <QStringList>
#include <QTranslator>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "core/context.hpp"
#include "desk/operators.hpp"
#include "desk/window_timers.hpp"
#include "desk/workflow_run.hpp"
#include "schedule/scheduler.hpp"

class QFileSystemWatcher;
class QFrame;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QTimer;

namespace wfdesk::desk {

class FrmEditor;
class LinesModel;
class LinesView;
class TransmissionView;
class WorkflowPanel;
struct ScheduleMark;

// What the window needs from outside. `person` is called on the UI thread.
struct DeskServices {
  std::string home;
  core::Operator& person;
  core::ProcessLauncher& launcher;
  core::Clock& clock;
  core::GuidSource& guids;
};

// frmMain: the workflow catalogue, the workflow panel and the bottom list,
// which shows the selected workflow's log or its transmission view. No
// workflow is selected until the operator picks one; the panel shows the
// selected workflow with the last result of its own run. A workflow that
// starts by itself (window timer, system schedule) carries a mark in the
// catalogue as in the panel.
class FrmMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit FrmMain(const DeskServices& services, QWidget* parent = nullptr);
  ~FrmMain() override;

  // The start-up sequence, before the window is shown: the workflow option
  // of the arguments (other than our own "--" options), the settings, the
  // texts, the caption, the catalogue, and the run of a named workflow.
  void FormLoad(const QStringList& arguments);

  void ApplyLanguageTexts();
  // Lists the workflows of the data folder anew, keeping the selection
  // while its file is listed. `tell` says whether a failure is told.
  void FillWorkflowList(bool tell = true);
  void ShowLogFile(const std::string& path);
  // Shows the selected workflow in the panel, or none.
  void ListWF_Click();
  // Runs the selected workflow; nothing without a selection or during a run.
  void cmd001_Click();
  void ShowEditor();
  // Starts a run of a workflow of the data folder; false while one is going.
  bool StartRun(const std::string& name);
  // A window timer's start: nothing when the workflow's file has gone.
  bool StartTimedRun(const std::string& name);
  // Asks for the system schedule of the selected workflow: a calendar sets
  // or changes it, an empty one removes it.
  void ScheduleSelected();
  void ApplySchedule(const std::string& name, const std::string& calendar);
  // Where the system's schedules come from; systemd unless a test says otherwise.
  using SchedulerFactory = std::function<std::unique_ptr<schedule::SystemScheduler>()>;
  // Marks the catalogue anew from the schedules of the new factory.
  void SetSchedulerFactory(SchedulerFactory factory);
  WindowTimers& timers() { return *timers_; }

  const std::string& CurrentWorkflowFile() const { return current_workflow_file_; }
  bool running() const { return run_.running(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildMenus();
  void BuildControls();
  void BuildWorkflowList();
  void BuildBottomList();
  void ConnectPanel();
  void BuildStatusBar();
  void LayoutControls();
  void WatchDataFolder();
  std::string SelectedName() const;
  std::string NameOf(const QListWidgetItem& item) const;
  QListWidgetItem* ItemOf(const std::string& name) const;
  void MarkScheduledRows();
  void MarkRow(QListWidgetItem* item, ScheduleMark mark);
  void UpdateExecute();
  void UpdateListHeading();
  void FollowLog();
  void OnModuleStarted(const QString& section, const QString& mtype);
  void OnRunEnded(const QString& result);
  std::string LogFileOf(const std::string& workflow_path) const;
  void ShowLogLine(const QModelIndex& index);
  void ShowAbout();
  QString Text(const char* key) const;
  void OnTimerEdited(WindowTimers::Setting setting);
  // The panel's schedule line and mark, and the selected row's mark.
  void ShowSchedule();
  std::optional<schedule::Schedule> SystemScheduleOf(const std::string& name) const;
  void OnTimerSkipped(const std::string& name);
  void ShowListMenu(const QPoint& where);
  static std::string Runner();

  UiThreadOperator person_;
  core::Context context_;
  // Joined before the members it uses go.
  WorkflowRun run_;
  QTranslator qt_translator_;

  std::string current_workflow_file_;       // of the selected workflow; "" for none
  std::string wf_file_;                     // its file name, on show in lblWFfile
  std::map<std::string, QString> results_;  // the last result of each workflow's run
  std::set<std::string> skipped_;           // the timer runs left out during this run
  int row_before_press_ = -1;

  QWidget* central_ = nullptr;
  QFrame* line1_ = nullptr;
  QLabel* lbl002_ = nullptr;
  QListWidget* list_wf_ = nullptr;
  WorkflowPanel* panel_ = nullptr;
  QLabel* lbl001_ = nullptr;
  LinesView* log_list_ = nullptr;
  LinesModel* log_model_ = nullptr;
  QLabel* status_ = nullptr;
  QMenu* mnu_file001_ = nullptr;
  QAction* mnu_file101_ = nullptr;
  QAction* mnu_file_refresh_ = nullptr;
  QAction* mnu_file_exit_ = nullptr;
  QMenu* mnu_help001_ = nullptr;
  QAction* mnu_help103_ = nullptr;
  TransmissionView* transmissions_ = nullptr;
  FrmEditor* editor_ = nullptr;
  QAction* mnu_file_schedule_ = nullptr;
  QMenu* list_menu_ = nullptr;
  QAction* list_menu_edit_ = nullptr;
  QAction* list_menu_schedule_ = nullptr;
  WindowTimers* timers_ = nullptr;
  SchedulerFactory scheduler_factory_;
  QFileSystemWatcher* watcher_ = nullptr;
  QTimer* refresh_timer_ = nullptr;  // gathers a burst of folder changes
};

}  // namespace wfdesk::desk
