#include "desk/main_window.hpp"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "core/files.hpp"
#include "core/language.hpp"
#include "core/settings.hpp"
#include "core/workflow_file.hpp"
#include "desk/editor_window.hpp"
#include "desk/geometry.hpp"
#include "desk/lines_model.hpp"
#include "desk/text_codec.hpp"
#include "engine/catalogue.hpp"

namespace wfdesk::desk {

namespace {

constexpr int kClientWidth = 14415;  // twips
constexpr int kClientHeight = 9495;
constexpr std::size_t kMaxFileName = 1000;
constexpr int kFollowMilliseconds = 300;
constexpr int kRawTextRole = Qt::UserRole;

QString Text(const std::string& bytes) {
  return DecodeAuto(bytes);
}

}  // namespace

FrmMain::FrmMain(const DeskServices& services, QWidget* parent)
    : QMainWindow(parent),
      person_(services.person, this),
      context_{services.home, {}, person_, services.launcher, services.clock, services.guids} {
  setObjectName("frmMain");
  BuildControls();
  editor_ = new FrmEditor(
      context_, [this] { return current_workflow_file_; }, this);
  follow_timer_ = new QTimer(this);
  follow_timer_->setInterval(kFollowMilliseconds);
  connect(follow_timer_, &QTimer::timeout, this, [this] {
    const bool at_end = log_list_->currentIndex().row() == log_model_->rowCount() - 1;
    if (log_model_->FollowFile() && at_end) {
      log_list_->setCurrentIndex(log_model_->index(log_model_->rowCount() - 1));
      log_list_->scrollToBottom();
    }
  });
}

FrmMain::~FrmMain() {
  if (!run_thread_.joinable()) return;
  // A run that is still going may be waiting for a message box on this
  // thread: answer it silently and let its events through until it ends.
  person_.Silence();
  while (!run_ended_) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  // The events let through may have ended the run already.
  if (run_thread_.joinable()) run_thread_.join();
}

void FrmMain::BuildControls() {
  mnu_file001_ = menuBar()->addMenu(QString());
  mnu_file001_->setObjectName("mnu_file001");
  mnu_file101_ = mnu_file001_->addAction(QString(), this, &FrmMain::ShowEditor);
  mnu_file101_->setObjectName("mnu_file101");
  mnu_help001_ = menuBar()->addMenu(QString());
  mnu_help001_->setObjectName("mnu_help001");
  mnu_help103_ = mnu_help001_->addAction(QString(), this, &FrmMain::ShowAbout);
  mnu_help103_->setObjectName("mnu_help103");

  central_ = new QWidget(this);
  setCentralWidget(central_);
  auto named = [](QWidget* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
  };
  line1_ = static_cast<QFrame*>(named(new QFrame(central_), "Line1"));
  line1_->setFrameShape(QFrame::HLine);
  line1_->setFrameShadow(QFrame::Sunken);
  lbl002_ = static_cast<QLabel*>(named(new QLabel(central_), "lbl002"));
  list_wf_ = static_cast<QListWidget*>(named(new QListWidget(central_), "ListWF"));
  list_wf_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_wf_->viewport()->installEventFilter(this);
  frame001_ = static_cast<QGroupBox*>(named(new QGroupBox(central_), "frame001"));
  lbl_wf_file_ = static_cast<QLabel*>(named(new QLabel(frame001_), "lblWFfile"));
  lbl_wf_name_ = static_cast<QLabel*>(named(new QLabel(frame001_), "lblWFname"));
  lbl_wf_name_->setStyleSheet("color: grey;");
  lbl_wf_name_out_ = static_cast<QLabel*>(named(new QLabel(frame001_), "lblWFnameOut"));
  lbl_wf_name_out_->setWordWrap(true);
  lbl_wf_name_out_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lbl_message_ = static_cast<QLabel*>(named(new QLabel(frame001_), "lblMessage"));
  lbl_message_->setStyleSheet("color: red; font-weight: bold;");
  lbl_message_->setWordWrap(true);
  lbl_message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lbl_eid_ = static_cast<QLabel*>(named(new QLabel(frame001_), "lblEID"));
  cmd001_ = static_cast<QPushButton*>(named(new QPushButton(frame001_), "cmd001"));
  lbl_pname_ = static_cast<QLabel*>(named(new QLabel(frame001_), "lblPName"));
  lbl001_ = static_cast<QLabel*>(named(new QLabel(central_), "lbl001"));
  log_list_ = static_cast<QListView*>(named(new QListView(central_), "logList"));
  log_model_ = new LinesModel(log_list_);
  log_list_->setModel(log_model_);
  log_list_->setUniformItemSizes(true);
  log_list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  text002_ = static_cast<QLineEdit*>(named(new QLineEdit(central_), "text002"));
  text002_->hide();

  // A new selection shows its workflow at once; a click on the workflow
  // already selected shows it again (and keeps its last result).
  connect(list_wf_, &QListWidget::currentRowChanged, this, [this] { ListWF_Click(); });
  connect(list_wf_, &QListWidget::itemClicked, this, [this] {
    if (list_wf_->currentRow() == row_before_press_) ListWF_Click();
  });
  connect(list_wf_, &QListWidget::itemDoubleClicked, this, [this] { cmd001_Click(); });
  connect(cmd001_, &QPushButton::clicked, this, &FrmMain::cmd001_Click);
  connect(log_list_, &QListView::doubleClicked, this, &FrmMain::ShowLogLine);

  BuildRecordControls();
  central_->setMinimumSize(Twips(kClientWidth), Twips(kClientHeight));
  resize(Twips(kClientWidth),
         Twips(kClientHeight) + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
  central_->setMinimumSize(0, 0);
  LayoutControls();
}

void FrmMain::LayoutControls() {
  const Growth grow = GrowthOver(central_->size(), kClientWidth, kClientHeight);
  const int upper = grow.height / 2;
  const int lower = grow.height - upper;
  line1_->setGeometry(0, 0, central_->width(), 2);
  PlaceTwips(lbl002_, 120, 240, 6855, 255);
  PlaceTwips(list_wf_, 120, 480, 7095, 4155, grow.width, upper);
  PlaceTwips(frame001_, 7320, 360, 6975, 4575);
  frame001_->move(frame001_->x() + grow.width, frame001_->y());
  PlaceTwips(lbl_wf_file_, 120, 240, 6735, 255);
  PlaceTwips(lbl_wf_name_, 5520, 240, 1335, 255);
  PlaceTwips(lbl_wf_name_out_, 120, 720, 6615, 1335);
  PlaceTwips(lbl_message_, 120, 2040, 6735, 1335);
  PlaceTwips(lbl_eid_, 1920, 3240, 4815, 255);
  PlaceTwips(cmd001_, 3240, 3600, 3495, 735);
  PlaceTwips(lbl_pname_, 1920, 4560, 4815, 255);
  PlaceTwips(lbl001_, 120, 4800 + upper * 15, 2775, 255);
  PlaceTwips(log_list_, 120, 5040 + upper * 15, 14175, 4155, grow.width, lower);
  PlaceTwips(text002_, 5280, 120, 1935, 285);
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
  records_ = textdb::RecordList();
  ApplyLanguageTexts();
  setWindowTitle(QString::fromUtf8(core::kAppTitle.data(), qsizetype(core::kAppTitle.size())) +
                 " / " + QString::fromStdString(core::VersionText()));
  FillWorkflowList();
  if (!workflow.empty()) {
    // Before the window is shown, so on this thread and to its end. Without
    // a data folder nothing runs, and the list has told the operator so.
    lbl_message_->setText(Text(core::HasDataFolder(context_.settings)
                                   ? runner_.RunWorkflow(context_, workflow).result
                                   : core::NoDataFolderMessage(context_)));
  }
}

void FrmMain::ApplyLanguageTexts() {
  const auto text = [this](const char* key) {
    return QString::fromStdString(core::GetLanguageText(key, context_.settings.language));
  };
  mnu_file001_->setTitle(text("lg_menu_file001"));
  mnu_file101_->setText(text("lg_menu_file101"));
  mnu_help001_->setTitle(text("lg_menu_help001"));
  mnu_help103_->setText(text("lg_menu_help103"));
  frame001_->setTitle(text("lg_appl_frlb001"));
  lbl001_->setText(text("lg_appl_lblb001"));
  lbl002_->setText(text("lg_appl_lblb002"));
  lbl_wf_name_->setText(text("lg_appl_lblWFname"));
  cmd001_->setText(text("lg_appl_butt001"));
  ApplyRecordTexts();
}

void FrmMain::FillWorkflowList() {
  list_wf_->clear();
  const engine::WorkflowCatalogue catalogue = engine::ListWorkflows(context_);
  if (!catalogue.ok()) {
    person_.Tell(catalogue.error);
    return;
  }
  for (const auto& entry : catalogue.entries) {
    const std::string raw = engine::CatalogueText(context_, entry);
    auto* item = new QListWidgetItem(Text(raw), list_wf_);
    item->setData(kRawTextRole, QByteArray::fromStdString(raw));
  }
  list_wf_->setCurrentRow(-1);
}

void FrmMain::ListWF_Click() {
  const QListWidgetItem* item = list_wf_->currentItem();
  const std::string text = item ? item->data(kRawTextRole).toByteArray().toStdString() : "";
  const auto separator = text.find(context_.settings.ListSeparator);
  const std::string name =
      separator == std::string::npos
          ? ""
          : text.substr(separator + context_.settings.ListSeparator.size(), kMaxFileName);
  const std::string path = core::WorkflowPath(context_, name);
  if (path != current_workflow_file_) lbl_message_->clear();
  current_workflow_file_ = path;
  wf_file_ = name;
  lbl_wf_file_->setText(Text(name));
  lbl_wf_name_out_->setText(Text(core::ReadWorkflowValue(context_, path, "DEF", "name")));
  lbl_eid_->clear();
  lbl_pname_->clear();
  SetTransmissionView(false);
  ShowLogFile(LogFileOf(path));
}

std::string FrmMain::LogFileOf(const std::string& workflow_path) const {
  const std::string own = core::ReadWorkflowValue(context_, workflow_path, "DEF", "logfile");
  return own.empty() ? context_.settings.logfile : own;
}

void FrmMain::cmd001_Click() {
  if (running()) return;  // one run at a time; the actions are disabled meanwhile
  const std::string name = wf_file_;
  if (name.empty()) {
    OnRunEnded(QString());
    return;
  }
  running_name_ = name;
  run_ended_ = false;
  SetRunning(true);
  ShowLogFile(LogFileOf(current_workflow_file_));
  run_thread_ = std::thread([this, name] {
    const engine::RunOutcome outcome = runner_.RunWorkflow(context_, name, this);
    const QString result = Text(outcome.result);
    QMetaObject::invokeMethod(
        this, [this, result] { OnRunEnded(result); }, Qt::QueuedConnection);
    run_ended_ = true;  // the last thing the worker does
  });
}

void FrmMain::ModuleStarting(const std::string& section, const std::string& mtype) {
  const QString text =
      "Running " + Text(running_name_) + ": " + Text(section) + " (" + Text(mtype) + ")";
  QMetaObject::invokeMethod(
      this, [this, text] { statusBar()->showMessage(text); }, Qt::QueuedConnection);
}

void FrmMain::OnRunEnded(const QString& result) {
  if (run_thread_.joinable()) run_thread_.join();
  SetRunning(false);
  lbl_message_->setText(result);
  SetTransmissionView(false);
  ShowLogFile(LogFileOf(current_workflow_file_));
  emit RunFinished(result);
  if (quit_when_run_ends_) close();
}

void FrmMain::SetRunning(bool running) {
  cmd001_->setEnabled(!running);
  if (running) {
    statusBar()->showMessage("Running " + Text(running_name_));
    follow_timer_->start();
  } else {
    statusBar()->clearMessage();
    follow_timer_->stop();
  }
}

void FrmMain::ShowLogFile(const std::string& path) {
  log_model_->LoadFile(path);
  const int rows = log_model_->rowCount();
  if (rows > 0) {
    log_list_->setCurrentIndex(log_model_->index(rows - 1));
    log_list_->scrollTo(log_model_->index(rows - 1));
  }
}

void FrmMain::ShowLogLine(const QModelIndex& index) {
  person_.Tell(Text(log_model_->LineBytes(index.row())).toStdString());
}

void FrmMain::ShowEditor() {
  editor_->ShowForCurrentFile();
}

void FrmMain::ShowAbout() {
  person_.Tell(std::string(core::kAppTitle) + " " + core::VersionText());
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
  // A right click shows the workflow already selected in the editor; it
  // does not move the selection.
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
  if (running() && !quit_when_run_ends_) {
    event->ignore();
    if (person_.Ask("The workflow " + running_name_ +
                    " is still running. Close wfdesk as soon as it has finished?")) {
      quit_when_run_ends_ = true;
      hide();
    }
    return;
  }
  if (running()) {
    event->ignore();  // closes itself when the run ends
    return;
  }
  editor_->close();
  event->accept();
}

}  // namespace wfdesk::desk
