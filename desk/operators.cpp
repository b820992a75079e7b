#include "desk/operators.hpp"

#include <QMessageBox>
#include <QThread>

#include "core/settings.hpp"

namespace wfdesk::desk {

namespace {

QString Title() {
  return QString::fromUtf8(core::kAppTitle.data(), qsizetype(core::kAppTitle.size()));
}

}  // namespace

void MessageBoxOperator::Tell(const std::string& message) {
  QMessageBox box(QMessageBox::NoIcon, Title(), QString::fromStdString(message), QMessageBox::Ok,
                  parent_);
  box.exec();
}

bool MessageBoxOperator::Ask(const std::string& question) {
  QMessageBox box(QMessageBox::NoIcon, Title(), QString::fromStdString(question),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  return box.exec() == QMessageBox::Yes;
}

void UiThreadOperator::Tell(const std::string& message) {
  if (silenced_) return;
  if (QThread::currentThread() == thread()) {
    inner_.Tell(message);
    return;
  }
  QMetaObject::invokeMethod(
      this,
      [this, &message] {
        if (!silenced_) inner_.Tell(message);
      },
      Qt::BlockingQueuedConnection);
}

bool UiThreadOperator::Ask(const std::string& question) {
  if (silenced_) return false;
  if (QThread::currentThread() == thread()) return inner_.Ask(question);
  bool answer = false;
  QMetaObject::invokeMethod(
      this,
      [this, &question, &answer] {
        if (!silenced_) answer = inner_.Ask(question);
      },
      Qt::BlockingQueuedConnection);
  return answer;
}

}  // namespace wfdesk::desk
