#pragma once

#include <QMainWindow>
#include <QStringList>
#include <atomic>
#include <string>
#include <thread>

#include "core/context.hpp"
#include "desk/operators.hpp"
#include "engine/workflow.hpp"
#include "textdb/records.hpp"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTimer;
class QFrame;

namespace wfdesk::desk {

class FrmEditor;
class LinesModel;
}  // namespace wfdesk::desk

namespace wfdesk::textdb {
struct ActionResult;
}  // namespace wfdesk::textdb

namespace wfdesk::desk {

// What the window needs from outside. `person` is called on the UI thread.
struct DeskServices {
  std::string home;
  core::Operator& person;
  core::ProcessLauncher& launcher;
  core::Clock& clock;
  core::GuidSource& guids;
};

// frmMain: the workflow catalogue, the workflow panel and the log view.
// A run goes on one worker thread while the window stays live; the execute
// actions are disabled until it has ended.
class FrmMain : public QMainWindow, private engine::RunObserver {
  Q_OBJECT

 public:
  explicit FrmMain(const DeskServices& services, QWidget* parent = nullptr);
  ~FrmMain() override;

  // The start-up sequence, before the window is shown: the workflow option
  // of the arguments (other than our own "--" options), the settings, the
  // texts, the caption, the catalogue, and the run of a named workflow.
  void FormLoad(const QStringList& arguments);

  void ApplyLanguageTexts();
  void FillWorkflowList();
  void ShowLogFile(const std::string& path);
  void ListWF_Click();
  void cmd001_Click();
  void ShowEditor();

  // The transmission view of the bottom list, and the record actions on
  // the element whose row is selected (shown in lblEID).
  void ShowTransmissions(bool show);
  void FillDBlist();
  void EditRecord();
  void ToggleRecordTag();
  void DeleteRecord();

  const std::string& CurrentWorkflowFile() const { return current_workflow_file_; }
  bool running() const { return run_thread_.joinable(); }
  const core::Context& context() const { return context_; }

 signals:
  // A run started from the window has ended and its result is on show.
  void RunFinished(const QString& result);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildControls();
  void LayoutControls();
  void ModuleStarting(const std::string& section, const std::string& mtype) override;
  void OnRunEnded(const QString& result);
  void SetRunning(bool running);
  std::string LogFileOf(const std::string& workflow_path) const;
  void ShowLogLine(const QModelIndex& index);
  void ShowAbout();
  void BuildRecordControls();
  // Switches the bottom list's mode without filling it.
  void SetTransmissionView(bool show);
  void ApplyRecordTexts();
  void UpdateRecordActions();
  std::string ChosenElement() const;
  void AfterRecordAction(const textdb::ActionResult& result, const std::string& element);

  UiThreadOperator person_;
  core::Context context_;
  engine::WorkflowRunner runner_;
  std::thread run_thread_;
  std::atomic<bool> run_ended_{true};
  std::string running_name_;
  bool quit_when_run_ends_ = false;

  std::string current_workflow_file_;
  std::string wf_file_;  // the file name on show in lblWFfile
  int row_before_press_ = -1;

  QWidget* central_ = nullptr;
  QFrame* line1_ = nullptr;
  QLabel* lbl002_ = nullptr;
  QListWidget* list_wf_ = nullptr;
  QGroupBox* frame001_ = nullptr;
  QLabel* lbl_wf_file_ = nullptr;
  QLabel* lbl_wf_name_ = nullptr;
  QLabel* lbl_wf_name_out_ = nullptr;
  QLabel* lbl_message_ = nullptr;
  QLabel* lbl_eid_ = nullptr;
  QPushButton* cmd001_ = nullptr;
  QLabel* lbl_pname_ = nullptr;
  QLabel* lbl001_ = nullptr;
  QListView* log_list_ = nullptr;
  LinesModel* log_model_ = nullptr;
  QLineEdit* text002_ = nullptr;
  QMenu* mnu_file001_ = nullptr;
  QAction* mnu_file101_ = nullptr;
  QMenu* mnu_help001_ = nullptr;
  QAction* mnu_help103_ = nullptr;
  QTimer* follow_timer_ = nullptr;
  QMenu* mnu_records_ = nullptr;
  QAction* mnu_records_show_ = nullptr;
  QAction* mnu_records_edit_ = nullptr;
  QAction* mnu_records_toggle_ = nullptr;
  QAction* mnu_records_delete_ = nullptr;
  bool showing_transmissions_ = false;
  textdb::RecordList records_;        // the database last loaded; one blank entry at first
  std::vector<std::string> row_ids_;  // the element ID of each transmission row
  FrmEditor* editor_ = nullptr;
};

}  // namespace wfdesk::desk
