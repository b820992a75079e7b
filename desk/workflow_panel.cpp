#include "desk/workflow_panel.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>

#include "desk/geometry.hpp"
#include "desk/texts.hpp"

namespace wfdesk::desk {

namespace {

constexpr int kMarkPixels = 16;

}  // namespace

QPixmap ScheduleMarkPixmap(ScheduleMark mark, const QColor& ink) {
  QPixmap pixmap(kMarkPixels, kMarkPixels);
  pixmap.fill(Qt::transparent);
  if (!mark.any()) return pixmap;
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(ink, 1.5));
  const QRectF face(1.5, 1.5, kMarkPixels - 3.0, kMarkPixels - 3.0);
  painter.drawEllipse(face);
  const QPointF centre = face.center();
  painter.drawLine(centre, centre - QPointF(0, face.height() * 0.32));  // towards twelve
  painter.drawLine(centre, centre + QPointF(face.width() * 0.25, 0));   // towards three
  return pixmap;
}

QString ScheduleMarkText(ScheduleMark mark, core::LanguageCode language) {
  QStringList starters;
  if (mark.timer) starters << LanguageText("lg_desk_panel_mark_timer", language);
  if (mark.system) starters << LanguageText("lg_desk_panel_mark_system", language);
  if (starters.isEmpty()) return {};
  return LanguageText("lg_desk_panel_mark_tip", language).arg(starters.join(", "));
}

WorkflowPanel::WorkflowPanel(QWidget* parent) : QGroupBox(parent) {
  setObjectName("frame001");
  lbl_wf_file_ = Named(new QLabel(this), "lblWFfile");
  lbl_wf_name_ = Named(new QLabel(this), "lblWFname");
  lbl_wf_name_->setStyleSheet("color: grey;");
  lbl_wf_name_out_ = Named(new QLabel(this), "lblWFnameOut");
  lbl_wf_name_out_->setWordWrap(true);
  lbl_wf_name_out_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lbl_message_ = Named(new QLabel(this), "lblMessage");
  lbl_message_->setWordWrap(true);
  lbl_message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lbl_eid_ = Named(new QLabel(this), "lblEID");
  cmd001_ = Named(new QPushButton(this), "cmd001");
  lbl_pname_ = Named(new QLabel(this), "lblPName");
  BuildTimerControls();
  connect(cmd001_, &QPushButton::clicked, this, &WorkflowPanel::RunRequested);
  LayoutControls();
  ShowWorkflow({}, {});
  ShowMark();
}

void WorkflowPanel::BuildTimerControls() {
  chk_wf_timer_ = Named(new QCheckBox(this), "lblWFtimer");
  lbl_wf_timer_interval_ = Named(new QLabel(this), "lblWFtimerinterval");
  txt_wf_timer_interval_ = Named(new QSpinBox(this), "txtWFtimerinterval");
  txt_wf_timer_interval_->setRange(1, WindowTimers::kMaxInterval);
  lbl_wf_timer_interval_->setBuddy(txt_wf_timer_interval_);
  lbl_wf_schedule_ = Named(new QLabel(this), "lblWFschedule");
  lbl_wf_schedule_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lbl_wf_mark_icon_ = Named(new QLabel(this), "lblWFmarkIcon");
  lbl_wf_mark_ = Named(new QLabel(this), "lblWFmark");
  connect(chk_wf_timer_, &QCheckBox::toggled, this, &WorkflowPanel::OnTimerEdited);
  connect(txt_wf_timer_interval_, &QSpinBox::editingFinished, this, &WorkflowPanel::OnTimerEdited);
}

// The panel keeps its designed size; the window moves it as a whole.
void WorkflowPanel::LayoutControls() {
  PlaceTwips(lbl_wf_file_, 120, 240, 6735, 255);
  PlaceTwips(lbl_wf_name_, 5520, 240, 1335, 255);
  PlaceTwips(lbl_wf_name_out_, 120, 720, 6615, 1335);
  PlaceTwips(lbl_message_, 120, 2040, 6735, 1335);
  PlaceTwips(lbl_eid_, 1920, 3240, 4815, 255);
  PlaceTwips(cmd001_, 3240, 3600, 3495, 735);
  PlaceTwips(lbl_pname_, 1920, 4560, 4815, 255);
  PlaceTwips(chk_wf_timer_, 120, 3600, 3000, 255);
  PlaceTwips(lbl_wf_timer_interval_, 120, 3900, 1500, 255);
  PlaceTwips(txt_wf_timer_interval_, 1680, 3870, 1440, 300);
  PlaceTwips(lbl_wf_schedule_, 120, 4200, 3060, 360);
  // Above the timer, left of the element, which share no row with it.
  PlaceTwips(lbl_wf_mark_icon_, 120, 3240, 255, 255);
  PlaceTwips(lbl_wf_mark_, 420, 3240, 1440, 255);
}

QString WorkflowPanel::Text(const char* key) const {
  return LanguageText(key, language_);
}

void WorkflowPanel::ApplyTexts(core::LanguageCode language) {
  language_ = language;
  setTitle(Text("lg_appl_frlb001"));
  lbl_wf_name_->setText(Text("lg_appl_lblWFname"));
  cmd001_->setText(Text("lg_appl_butt001"));
  chk_wf_timer_->setText(Text("lg_appl_lblWFtimer"));
  lbl_wf_timer_interval_->setText(Text("lg_appl_lblWFtimerinterval"));
  ShowMark();
}

void WorkflowPanel::ShowWorkflow(const QString& file, const QString& name) {
  shown_ = !file.isEmpty();
  lbl_wf_file_->setText(file);
  lbl_wf_name_out_->setText(name);
  lbl_eid_->clear();
  lbl_pname_->clear();
  chk_wf_timer_->setEnabled(shown_);
  txt_wf_timer_interval_->setEnabled(shown_);
  cmd001_->setEnabled(shown_ && run_allowed_);
}

void WorkflowPanel::AllowRun(bool allowed) {
  run_allowed_ = allowed;
  cmd001_->setEnabled(shown_ && run_allowed_);
}

void WorkflowPanel::ShowResult(const QString& result) {
  lbl_message_->setStyleSheet(result == "OK" ? "font-weight: bold;"
                                             : "color: red; font-weight: bold;");
  lbl_message_->setText(result);
}

void WorkflowPanel::ShowTimer(WindowTimers::Setting setting) {
  const QSignalBlocker quiet_check(chk_wf_timer_);
  const QSignalBlocker quiet_interval(txt_wf_timer_interval_);
  chk_wf_timer_->setChecked(shown_ && setting.on);
  txt_wf_timer_interval_->setValue(setting.interval);
}

void WorkflowPanel::OnTimerEdited() {
  if (shown_) emit TimerEdited({chk_wf_timer_->isChecked(), txt_wf_timer_interval_->value()});
}

// Which of the two schedules apply to the workflow shown: the window's
// timer, the system's schedule, both or none.
void WorkflowPanel::ShowSchedule(const std::optional<schedule::Schedule>& system) {
  mark_ = {shown_ && chk_wf_timer_->isChecked(), shown_ && system.has_value()};
  QStringList parts;
  if (mark_.timer) parts << Text("lg_desk_schedule_window").arg(txt_wf_timer_interval_->value());
  if (mark_.system) {
    const QString calendar = QString::fromStdString(system->calendar);
    parts << (system->active ? Text("lg_desk_schedule_system")
                                   .arg(calendar, QString::fromStdString(system->next_run))
                             : Text("lg_desk_schedule_system_off").arg(calendar));
  }
  if (parts.isEmpty() && shown_) parts << Text("lg_desk_schedule_none");
  // One line fits below the timer: the whole text is in the tooltip.
  const QString text = parts.join("; ");
  lbl_wf_schedule_->setText(
      lbl_wf_schedule_->fontMetrics().elidedText(text, Qt::ElideRight, lbl_wf_schedule_->width()));
  lbl_wf_schedule_->setToolTip(text);
  ShowMark();
}

void WorkflowPanel::ShowMark() {
  const QString starters = ScheduleMarkText(mark_, language_);
  lbl_wf_mark_icon_->setPixmap(ScheduleMarkPixmap(mark_, palette().color(QPalette::WindowText)));
  lbl_wf_mark_->setText(Text("lg_desk_panel_mark"));
  for (QLabel* label : {lbl_wf_mark_icon_, lbl_wf_mark_}) {
    label->setToolTip(starters);
    label->setVisible(mark_.any());
  }
}

}  // namespace wfdesk::desk
