#include "desk/main_window.hpp"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFileSystemWatcher>
#include <QIcon>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>

#include "core/environment.hpp"
#include "core/files.hpp"
#include "core/log.hpp"
#include "core/settings.hpp"
#include "core/workflow_file.hpp"
#include "desk/editor_window.hpp"
#include "desk/geometry.hpp"
#include "desk/lines_model.hpp"
#include "desk/lines_view.hpp"
#include "desk/text_codec.hpp"
#include "desk/texts.hpp"
#include "desk/transmission_view.hpp"
#include "desk/window_timers.hpp"
#include "desk/workflow_panel.hpp"
#include "engine/catalogue.hpp"
#include "engine/run_log.hpp"

namespace wfdesk::desk {

namespace {

constexpr int kClientWidth = 14415;  // twips
constexpr int kClientHeight = 9495;
constexpr std::size_t kMaxFileName = 1000;
constexpr int kRefreshMilliseconds = 200;
constexpr int kRawTextRole = Qt::UserRole;

QString Decoded(const std::string& bytes) {
  return DecodeAuto(bytes);
}

// A list view that takes the focus without choosing a row: it makes its
// first row current when focused with no current row, which would put a
// workflow nobody picked behind the Execute button. With no row to show the
// focus, its frame does: one colour and width while it has the focus, and
// the same room for the rows either way.
class WorkflowList : public QListWidget {
 public:
  explicit WorkflowList(QWidget* parent) : QListWidget(parent) {
    setStyleSheet(
        "QListWidget { border: 1px solid palette(mid); padding: 1px; }"
        "QListWidget:focus { border: 2px solid palette(highlight); padding: 0px; }");
  }

 protected:
  void focusInEvent(QFocusEvent* event) override {
    QListWidget::focusInEvent(event);
    const QModelIndex current = currentIndex();
    if (current.isValid() && !selectionModel()->isSelected(current)) {
      selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
  }
};

}  // namespace

FrmMain::FrmMain(const DeskServices& services, QWidget* parent)
    : QMainWindow(parent),
      person_(services.person, this),
      context_{services.home, {}, person_, services.launcher, services.clock, services.guids},
      run_(context_, person_) {
  setObjectName("frmMain");
  BuildMenus();
  BuildControls();
  BuildStatusBar();
  editor_ = new FrmEditor(
      context_, [this] { return current_workflow_file_; }, this);
  connect(&run_, &WorkflowRun::Following, this, &FrmMain::FollowLog);
  connect(&run_, &WorkflowRun::ModuleStarted, this, &FrmMain::OnModuleStarted);
  connect(&run_, &WorkflowRun::Ended, this, &FrmMain::OnRunEnded);
  watcher_ = new QFileSystemWatcher(this);
  refresh_timer_ = new QTimer(this);
  refresh_timer_->setSingleShot(true);
  refresh_timer_->setInterval(kRefreshMilliseconds);
  connect(watcher_, &QFileSystemWatcher::directoryChanged, refresh_timer_,
          qOverload<>(&QTimer::start));
  connect(refresh_timer_, &QTimer::timeout, this, [this] { FillWorkflowList(false); });
  const std::string canonical = core::CanonicalPath(context_.home);
  timers_ = new WindowTimers(
      schedule::InstallationTag(canonical.empty() ? context_.home : canonical),
      [this](const std::string& name) { return StartTimedRun(name); },
      [this](const std::string& name) { OnTimerSkipped(name); }, this);
  scheduler_factory_ = [this] { return schedule::MakeSystemScheduler(context_, Runner()); };
}

// run_ goes first of the members: it releases a worker waiting for the
// operator and joins it, without an event loop.
FrmMain::~FrmMain() = default;

void FrmMain::BuildMenus() {
  mnu_file001_ = Named(menuBar()->addMenu(QString()), "mnu_file001");
  mnu_file101_ =
      Named(mnu_file001_->addAction(QString(), this, &FrmMain::ShowEditor), "mnu_file101");
  mnu_file_refresh_ = Named(
      mnu_file001_->addAction(QString(), this, [this] { FillWorkflowList(); }), "mnu_file_refresh");
  mnu_file_refresh_->setShortcut(QKeySequence::Refresh);
  mnu_file_schedule_ = Named(mnu_file001_->addAction(QString(), this, &FrmMain::ScheduleSelected),
                             "mnu_file_schedule");
  mnu_file001_->addSeparator();
  mnu_file_exit_ =
      Named(mnu_file001_->addAction(QString(), this, &QWidget::close), "mnu_file_exit");
  mnu_file_exit_->setShortcut(QKeySequence::Quit);
  mnu_help001_ = Named(menuBar()->addMenu(QString()), "mnu_help001");
  mnu_help103_ =
      Named(mnu_help001_->addAction(QString(), this, &FrmMain::ShowAbout), "mnu_help103");
}

void FrmMain::BuildControls() {
  central_ = new QWidget(this);
  setCentralWidget(central_);
  line1_ = Named(new QFrame(central_), "Line1");
  line1_->setFrameShape(QFrame::HLine);
  line1_->setFrameShadow(QFrame::Sunken);
  lbl002_ = Named(new QLabel(central_), "lbl002");
  BuildWorkflowList();
  panel_ = new WorkflowPanel(central_);
  BuildBottomList();
  ConnectPanel();

  // Below the designed size the controls would overlap.
  central_->setMinimumSize(Twips(kClientWidth), Twips(kClientHeight));
  resize(Twips(kClientWidth),
         Twips(kClientHeight) + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
  LayoutControls();
  UpdateExecute();
}

void FrmMain::BuildWorkflowList() {
  list_wf_ = Named(new WorkflowList(central_), "ListWF");
  list_wf_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_wf_->installEventFilter(this);
  list_wf_->viewport()->installEventFilter(this);
  // The right mouse button opens the editor; the context menu comes from
  // the keyboard (menu key, Shift+F10).
  list_wf_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_menu_ = Named(new QMenu(this), "mnu_list");
  list_menu_edit_ = list_menu_->addAction(QString(), this, &FrmMain::ShowEditor);
  list_menu_schedule_ = list_menu_->addAction(QString(), this, &FrmMain::ScheduleSelected);
  connect(list_wf_, &QWidget::customContextMenuRequested, this, &FrmMain::ShowListMenu);
  connect(list_wf_, &QListWidget::itemSelectionChanged, this, &FrmMain::ListWF_Click);
  // A click on the workflow already selected shows it again (with its result).
  connect(list_wf_, &QListWidget::itemClicked, this, [this] {
    if (list_wf_->currentRow() == row_before_press_) ListWF_Click();
  });
  connect(list_wf_, &QListWidget::itemDoubleClicked, this, &FrmMain::cmd001_Click);
}

void FrmMain::BuildBottomList() {
  lbl001_ = Named(new QLabel(central_), "lbl001");
  log_list_ = Named(new LinesView(central_), "logList");
  log_model_ = new LinesModel(log_list_);
  log_list_->SetLinesModel(log_model_);
  transmissions_ =
      new TransmissionView(context_, {log_list_, log_model_, panel_->element(), central_}, this);
  menuBar()->insertMenu(mnu_help001_->menuAction(), transmissions_->menu());
  connect(log_list_, &QListView::doubleClicked, this, &FrmMain::ShowLogLine);
  connect(transmissions_, &TransmissionView::ShowingChanged, this, [this](bool showing) {
    if (!showing) ShowLogFile(LogFileOf(current_workflow_file_));
    UpdateListHeading();
  });
}

void FrmMain::ConnectPanel() {
  connect(panel_, &WorkflowPanel::RunRequested, this, &FrmMain::cmd001_Click);
  connect(panel_, &WorkflowPanel::TimerEdited, this, &FrmMain::OnTimerEdited);
}

void FrmMain::BuildStatusBar() {
  // A permanent widget: the menus' hints do not wipe it out.
  status_ = Named(new QLabel(statusBar()), "lblStatus");
  status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  statusBar()->addPermanentWidget(status_, 1);
}

void FrmMain::LayoutControls() {
  const Growth grow = GrowthOver(central_->size(), kClientWidth, kClientHeight);
  const int upper = grow.height / 2;
  const int lower = grow.height - upper;
  line1_->setGeometry(0, 0, central_->width(), 2);
  PlaceTwips(lbl002_, 120, 240, 6855, 255);
  PlaceTwips(list_wf_, 120, 480, 7095, 4155, grow.width, upper);
  PlaceTwips(panel_, 7320, 360, 6975, 4575);
  panel_->move(panel_->x() + grow.width, panel_->y());
  PlaceTwips(lbl001_, 120, 4800 + upper * 15, 2775, 255);
  PlaceTwips(transmissions_->filter(), 3000, 4740 + upper * 15, 4095, 300);
  PlaceTwips(log_list_, 120, 5040 + upper * 15, 14175, 4155, grow.width, lower);
}

void FrmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  LayoutControls();
}

void FrmMain::FormLoad(const QStringList& arguments) {
  std::vector<std::string> texts;
  for (const QString& argument : arguments) texts.push_back(argument.toStdString());
  const std::string workflow =
      core::GetCommandLineParam("f", core::SplitProgramArguments(texts).OthersJoined());
  context_.settings = core::LoadAppSettings(context_.home);
  ApplyLanguageTexts();
  setWindowTitle(QString::fromUtf8(core::kAppTitle.data(), qsizetype(core::kAppTitle.size())) +
                 " / " + QString::fromStdString(core::VersionText()));
  FillWorkflowList();
  if (!workflow.empty()) {
    // Before the window is shown, so on this thread and to its end. Without
    // a data folder nothing runs, and the list has told the operator so.
    const QString result =
        Decoded(core::HasDataFolder(context_.settings)
                    ? engine::WorkflowRunner().RunWorkflow(context_, workflow).result
                    : core::NoDataFolderMessage(context_));
    results_[workflow] = result;
    panel_->ShowResult(result);
    status_->setText(Text("lg_desk_status_ended").arg(Decoded(workflow), result));
  }
}

void FrmMain::WatchDataFolder() {
  if (!watcher_->directories().isEmpty()) watcher_->removePaths(watcher_->directories());
  if (!core::HasDataFolder(context_.settings)) return;
  const QString folder = QString::fromStdString(context_.settings.data_dir);
  if (core::DirExists(context_.settings.data_dir)) watcher_->addPath(folder);
}

QString FrmMain::Text(const char* key) const {
  return LanguageText(key, context_.settings.language);
}

void FrmMain::ApplyLanguageTexts() {
  // Qt's own texts (Yes, No, Cancel) in the same language.
  QCoreApplication::removeTranslator(&qt_translator_);
  if (context_.settings.language == core::kGerman &&
      qt_translator_.load("qtbase_de", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(&qt_translator_);
  }
  mnu_file001_->setTitle(Text("lg_menu_file001"));
  mnu_file101_->setText(Text("lg_menu_file101"));
  mnu_file_refresh_->setText(Text("lg_desk_menu_refresh"));
  mnu_file_exit_->setText(Text("lg_desk_menu_exit"));
  mnu_help001_->setTitle(Text("lg_menu_help001"));
  mnu_help103_->setText(Text("lg_menu_help103"));
  panel_->ApplyTexts(context_.settings.language);
  lbl002_->setText(Text("lg_appl_lblb002"));
  mnu_file_schedule_->setText(Text("lg_desk_menu_schedule"));
  list_menu_edit_->setText(Text("lg_menu_file101"));
  list_menu_schedule_->setText(Text("lg_desk_menu_schedule"));
  transmissions_->ApplyTexts();
  UpdateListHeading();
}

void FrmMain::UpdateListHeading() {
  lbl001_->setText(transmissions_->showing() ? Text("lg_desk_transmissions")
                                             : Text("lg_appl_lblb001"));
}

void FrmMain::FillWorkflowList(bool tell) {
  const std::string selected = wf_file_;
  const QSignalBlocker quiet(list_wf_);
  list_wf_->clear();
  const engine::WorkflowCatalogue catalogue = engine::ListWorkflows(context_);
  if (!catalogue.ok() && tell) person_.Tell(catalogue.error);
  for (const auto& entry : catalogue.entries) {
    const std::string raw = engine::CatalogueText(context_, entry);
    auto* item = new QListWidgetItem(Decoded(raw), list_wf_);
    item->setData(kRawTextRole, QByteArray::fromStdString(raw));
    if (!selected.empty() && entry.file_name == selected) {
      list_wf_->setCurrentItem(item);
      item->setSelected(true);
    }
  }
  // A data folder deleted and made again is watched anew.
  WatchDataFolder();
  std::vector<std::string> listed;
  for (const auto& entry : catalogue.entries) listed.push_back(entry.file_name);
  timers_->Restore(listed);
  MarkScheduledRows();
  if (list_wf_->selectedItems().isEmpty()) {
    list_wf_->setCurrentRow(-1);
    if (!selected.empty()) ListWF_Click();  // its file has gone
  }
}

std::string FrmMain::SelectedName() const {
  const QList<QListWidgetItem*> selected = list_wf_->selectedItems();
  return selected.isEmpty() ? std::string() : NameOf(*selected.front());
}

// The file name from the row's text as the catalogue made it, whatever the
// row shows.
std::string FrmMain::NameOf(const QListWidgetItem& item) const {
  const std::string text = item.data(kRawTextRole).toByteArray().toStdString();
  const auto separator = text.find(context_.settings.ListSeparator);
  if (separator == std::string::npos) return {};
  return text.substr(separator + context_.settings.ListSeparator.size(), kMaxFileName);
}

QListWidgetItem* FrmMain::ItemOf(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (int row = 0; row < list_wf_->count(); ++row) {
    if (NameOf(*list_wf_->item(row)) == name) return list_wf_->item(row);
  }
  return nullptr;
}

// The system's schedules come in one list for the whole catalogue.
void FrmMain::MarkScheduledRows() {
  std::set<std::string> system;
  if (const auto scheduler = scheduler_factory_()) {
    for (const schedule::Schedule& found : scheduler->List()) system.insert(found.workflow);
  }
  for (int row = 0; row < list_wf_->count(); ++row) {
    QListWidgetItem* item = list_wf_->item(row);
    const std::string name = NameOf(*item);
    MarkRow(item, {timers_->Get(name).on, system.count(name) > 0});
  }
}

void FrmMain::MarkRow(QListWidgetItem* item, ScheduleMark mark) {
  const QPalette& colours = list_wf_->palette();
  QIcon icon(ScheduleMarkPixmap(mark, colours.color(QPalette::Text)));
  icon.addPixmap(ScheduleMarkPixmap(mark, colours.color(QPalette::HighlightedText)),
                 QIcon::Selected);
  item->setIcon(icon);
  const QString starters = ScheduleMarkText(mark, context_.settings.language);
  item->setToolTip(starters);
  item->setData(Qt::AccessibleDescriptionRole, starters);
}

void FrmMain::SetSchedulerFactory(SchedulerFactory factory) {
  scheduler_factory_ = std::move(factory);
  MarkScheduledRows();
}

void FrmMain::ListWF_Click() {
  const std::string name = SelectedName();
  const std::string path = name.empty() ? std::string() : core::WorkflowPath(context_, name);
  current_workflow_file_ = path;
  wf_file_ = name;
  panel_->ShowWorkflow(
      Decoded(name),
      name.empty() ? QString() : Decoded(core::ReadWorkflowValue(context_, path, "DEF", "name")));
  const auto result = results_.find(name);
  panel_->ShowResult(result == results_.end() ? QString() : result->second);
  const bool was_showing = transmissions_->showing();
  transmissions_->SetWorkflow(name);  // leaving the transmission view shows the log
  if (!was_showing) ShowLogFile(name.empty() ? std::string() : LogFileOf(path));
  panel_->ShowTimer(timers_->Get(name));
  ShowSchedule();
  UpdateExecute();
}

std::string FrmMain::LogFileOf(const std::string& workflow_path) const {
  return engine::RunLogFile(context_, workflow_path);
}

void FrmMain::UpdateExecute() {
  panel_->AllowRun(!run_.running());
  const bool chosen = !wf_file_.empty();
  for (QAction* action : {mnu_file101_, list_menu_edit_, mnu_file_schedule_, list_menu_schedule_}) {
    action->setEnabled(chosen);
  }
}

void FrmMain::cmd001_Click() {
  if (wf_file_.empty() || run_.running()) return;
  if (!core::DirExists(context_.settings.data_dir)) {
    person_.Tell(Text("lg_desk_data_folder_gone")
                     .arg(Decoded(core::AbsolutePath(context_.settings.data_dir, context_.home)))
                     .toStdString());
  } else if (!core::IsPlainFile(current_workflow_file_)) {
    person_.Tell(Text("lg_desk_workflow_gone").arg(Decoded(wf_file_)).toStdString());
  } else {
    // Run from the panel, its log is what the person wants to follow.
    if (StartRun(wf_file_)) transmissions_->Show(false);
    return;
  }
  FillWorkflowList(false);
}

bool FrmMain::StartRun(const std::string& name) {
  if (name.empty() || run_.quitting() || !run_.Start(name)) return false;
  results_.erase(name);
  if (name == wf_file_) panel_->ShowResult({});
  skipped_.clear();
  status_->setText(Text("lg_desk_status_running").arg(Decoded(name)));
  UpdateExecute();
  if (name == wf_file_ && !transmissions_->showing()) {
    ShowLogFile(LogFileOf(current_workflow_file_));
  }
  return true;
}

bool FrmMain::StartTimedRun(const std::string& name) {
  // A workflow whose file or data folder has gone is not started; the list,
  // made anew, stops its timer.
  if (!core::IsPlainFile(core::AbsolutePath(core::WorkflowPath(context_, name), context_.home))) {
    refresh_timer_->start();
    return true;
  }
  return StartRun(name);
}

void FrmMain::OnTimerEdited(WindowTimers::Setting setting) {
  if (wf_file_.empty()) return;
  timers_->Set(wf_file_, setting);
  ShowSchedule();
}

void FrmMain::ShowSchedule() {
  panel_->ShowSchedule(SystemScheduleOf(wf_file_));
  if (QListWidgetItem* item = ItemOf(wf_file_)) MarkRow(item, panel_->mark());
}

std::optional<schedule::Schedule> FrmMain::SystemScheduleOf(const std::string& name) const {
  const auto scheduler = name.empty() ? nullptr : scheduler_factory_();
  return scheduler ? scheduler->Find(name) : std::nullopt;
}

// Said beside the run that is going, and logged once per run and workflow,
// not at every tick of a short interval.
void FrmMain::OnTimerSkipped(const std::string& name) {
  const QString message = Text("lg_desk_timer_skipped").arg(Decoded(name));
  status_->setText(Text("lg_desk_status_running").arg(Decoded(run_.name())) + "  ·  " + message);
  if (!skipped_.insert(name).second) return;
  (void)core::WriteLogLine(context_.clock, context_.settings.logfile, message.toStdString());
}

void FrmMain::ScheduleSelected() {
  const std::string name = wf_file_;
  if (name.empty()) return;
  const auto scheduler = scheduler_factory_();
  const auto current = scheduler->Find(name);
  bool ok = false;
  const QString calendar = QInputDialog::getText(
      this, Text("lg_desk_schedule_title").arg(Decoded(name)),
      Text(schedule::SystemSchedulerHelp().calendar_question).arg(Decoded(name)), QLineEdit::Normal,
      current ? QString::fromStdString(current->calendar) : QString(), &ok);
  if (ok) ApplySchedule(name, calendar.trimmed().toStdString());
}

// The program a system schedule starts: wfdesk-cli beside this window's
// program, else on PATH; "" when there is none. Looked for at each use, so
// one installed meanwhile is found.
std::string FrmMain::Runner() {
  return schedule::CommandLineProgramBeside(core::RunningProgramPath());
}

void FrmMain::ApplySchedule(const std::string& name, const std::string& calendar) {
  // Removing needs no runner; a schedule without one would start nothing.
  if (!calendar.empty() && Runner().empty()) {
    person_.Tell(Text("lg_desk_schedule_no_runner").toStdString());
    return;
  }
  const auto scheduler = scheduler_factory_();
  const schedule::ScheduleChange change =
      calendar.empty() ? scheduler->Remove(name)
                       : schedule::ScheduleWorkflow(context_, *scheduler, name, calendar);
  person_.Tell(change.message);
  MarkScheduledRows();
  ShowSchedule();
}

void FrmMain::ShowListMenu(const QPoint& where) {
  list_menu_->popup(list_wf_->viewport()->mapToGlobal(where));
}

void FrmMain::OnModuleStarted(const QString& section, const QString& mtype) {
  status_->setText(Text("lg_desk_status_module").arg(Decoded(run_.name()), section, mtype));
}

void FrmMain::FollowLog() {
  if (transmissions_->showing()) return;
  const int last = log_model_->rowCount() - 1;
  const bool at_end = log_list_->currentIndex().row() == last;
  if (log_model_->FollowFile() && at_end) {
    log_list_->setCurrentIndex(log_model_->index(log_model_->rowCount() - 1));
    log_list_->scrollToBottom();
  }
}

void FrmMain::OnRunEnded(const QString& result) {
  const std::string& name = run_.name();
  results_[name] = result;
  if (name == wf_file_) panel_->ShowResult(result);
  status_->setText(Text("lg_desk_status_ended").arg(Decoded(name), result));
  // The run may have added transmission records.
  if (transmissions_->showing()) transmissions_->FillDBlist();
  UpdateExecute();
}

void FrmMain::ShowLogFile(const std::string& path) {
  log_model_->LoadFile(path);
  const int rows = log_model_->rowCount();
  if (rows > 0) {
    log_list_->setCurrentIndex(log_model_->index(rows - 1));
    log_list_->scrollTo(log_model_->index(rows - 1));
  }
  log_list_->horizontalScrollBar()->setValue(0);
}

void FrmMain::ShowLogLine(const QModelIndex& index) {
  if (transmissions_->showing()) return;
  person_.Tell(Decoded(log_model_->LineBytes(index.row())).toStdString());
}

void FrmMain::ShowEditor() {
  if (!wf_file_.empty()) editor_->ShowForCurrentFile();
}

void FrmMain::ShowAbout() {
  person_.Tell(std::string(core::kAppTitle) + " " + core::VersionText());
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
  // Enter runs the selected workflow, as a double click does; nothing
  // without a selection.
  if (watched == list_wf_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      cmd001_Click();
      return true;
    }
    if (key == Qt::Key_F10 && static_cast<QKeyEvent*>(event)->modifiers() == Qt::ShiftModifier) {
      const QListWidgetItem* item = list_wf_->currentItem();
      ShowListMenu(item ? list_wf_->visualItemRect(item).bottomLeft() : QPoint());
      return true;
    }
  }
  // A right click opens the editor on the workflow already selected; it does
  // not move the selection. The menu key and Shift+F10 open the list's menu.
  if (watched == list_wf_->viewport() && event->type() == QEvent::ContextMenu &&
      static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Mouse) {
    return true;
  }
  if (watched == list_wf_->viewport() && event->type() == QEvent::MouseButtonPress) {
    if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
      ListWF_Click();
      ShowEditor();
      return true;
    }
    row_before_press_ = list_wf_->currentRow();
  }
  return QMainWindow::eventFilter(watched, event);
}

void FrmMain::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (run_.quitting() || !editor_->close()) return;
  if (run_.running()) {
    // No timer starts a run while the person decides.
    const bool held = timers_->held();
    timers_->Hold(true);
    const auto release = qScopeGuard([this, held] { timers_->Hold(held); });
    if (!person_.Ask(Text("lg_desk_close_running").arg(Decoded(run_.name())).toStdString())) {
      return;
    }
  }
  // Nothing starts once the window is going, not even a timer's run.
  timers_->StopAll();
  disconnect(watcher_, nullptr, refresh_timer_, nullptr);
  refresh_timer_->stop();
  // The run may have ended while the question was open: then close now.
  if (!run_.running()) {
    event->accept();
    return;
  }
  // The program ends when the run has: see WorkflowRun::QuitWhenEnded.
  run_.QuitWhenEnded();
  hide();
}

}  // namespace wfdesk::desk
