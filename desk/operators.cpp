#include "desk/operators.hpp"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QThread>

#include "core/settings.hpp"

namespace wfdesk::desk {

namespace {

// Beside the title a window manager puts an icon and three buttons.
constexpr int kTitleDecorationWidth = 160;

QString Title() {
  return QString::fromUtf8(core::kAppTitle.data(), qsizetype(core::kAppTitle.size()));
}

// A box belongs to the window the person works in: the dialog or editor
// that asked stays beneath it, and gets the focus back when it closes.
QWidget* Owner(QWidget* fallback) {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (QWidget* active = QApplication::activeWindow()) return active;
  return fallback;
}

int ShowBox(const std::string& text, QMessageBox::StandardButtons buttons, QWidget* parent,
            QMessageBox::StandardButton default_button = QMessageBox::NoButton,
            QMessageBox::StandardButton escape_button = QMessageBox::NoButton) {
  QMessageBox box(QMessageBox::NoIcon, Title(), QString::fromStdString(text), buttons,
                  Owner(parent));
  box.setTextFormat(Qt::PlainText);
  if (default_button != QMessageBox::NoButton) box.setDefaultButton(default_button);
  if (escape_button != QMessageBox::NoButton) box.setEscapeButton(escape_button);
  // A message box takes the width of its text; a short text would cut the
  // title. A spacer across the box's grid keeps it wide enough.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    const int width = box.fontMetrics().horizontalAdvance(Title()) + kTitleDecorationWidth;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  return box.exec();
}

}  // namespace

void MessageBoxOperator::Tell(const std::string& message) {
  ShowBox(message, QMessageBox::Ok, parent_);
}

bool MessageBoxOperator::Ask(const std::string& question) {
  return ShowBox(question, QMessageBox::Yes | QMessageBox::No, parent_) == QMessageBox::Yes;
}

// Enter answers No: a key pressed in haste deletes nothing.
bool MessageBoxOperator::Confirm(const std::string& question) {
  return ShowBox(question, QMessageBox::Yes | QMessageBox::No, parent_, QMessageBox::No) ==
         QMessageBox::Yes;
}

// Yes is the default: Enter on "save the changes?" keeps them.
core::Operator::Answer MessageBoxOperator::AskOrCancel(const std::string& question) {
  switch (ShowBox(question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_,
                  QMessageBox::Yes, QMessageBox::Cancel)) {
    case QMessageBox::Yes:
      return Answer::kYes;
    case QMessageBox::No:
      return Answer::kNo;
    default:
      return Answer::kCancel;
  }
}

struct UiThreadOperator::Pending {
  std::condition_variable answered;
  bool done = false;
  int answer = 0;
  int unheard = 0;
};

void UiThreadOperator::Tell(const std::string& message) {
  OnOwnThread(
      [message](core::Operator& person) {
        person.Tell(message);
        return 0;
      },
      0);
}

bool UiThreadOperator::Ask(const std::string& question) {
  return OnOwnThread([question](core::Operator& person) { return int(person.Ask(question)); }, 0) !=
         0;
}

bool UiThreadOperator::Confirm(const std::string& question) {
  return OnOwnThread([question](core::Operator& person) { return int(person.Confirm(question)); },
                     0) != 0;
}

// Unheard, the question changes nothing: neither Yes nor No is taken.
core::Operator::Answer UiThreadOperator::AskOrCancel(const std::string& question) {
  return static_cast<Answer>(
      OnOwnThread([question](core::Operator& person) { return int(person.AskOrCancel(question)); },
                  int(Answer::kCancel)));
}

int UiThreadOperator::OnOwnThread(std::function<int(core::Operator&)> call, int unheard) {
  if (QThread::currentThread() == thread()) return silenced_ ? unheard : call(inner_);
  auto pending = std::make_shared<Pending>();
  pending->unheard = unheard;
  std::unique_lock lock(mutex_);
  if (silenced_) return unheard;
  pending_.insert(pending);
  // Queued, not blocking: Silence can release the caller without the UI
  // thread running the call. The call dies with this object when it never ran.
  QMetaObject::invokeMethod(
      this,
      [this, pending, call = std::move(call)] {
        const int answer = silenced_ ? pending->unheard : call(inner_);
        std::lock_guard done_lock(mutex_);
        pending->answer = answer;
        pending->done = true;
        pending_.erase(pending);
        pending->answered.notify_all();
      },
      Qt::QueuedConnection);
  pending->answered.wait(lock, [&pending] { return pending->done; });
  return pending->answer;
}

void UiThreadOperator::Silence() {
  std::lock_guard lock(mutex_);
  silenced_ = true;
  for (const auto& pending : pending_) {
    pending->done = true;
    pending->answer = pending->unheard;
    pending->answered.notify_all();
  }
  pending_.clear();
}

}  // namespace wfdesk::desk
