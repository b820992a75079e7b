#pragma once

// What the desk's test programs share: controls found by objectName, the
// rows a list shows, the frame a focused list draws, a window made active
// and the next message box answered as the person would.
#include <QAbstractItemModel>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace wfdesk::testing {

// The control of that objectName; a test without it cannot go on.
template <typename T>
T* Child(const QObject* parent, const char* name) {
  T* child = parent->findChild<T*>(name);
  if (!child) qFatal("no control %s", name);
  return child;
}

// The text of each row.
inline QStringList RowsOf(const QAbstractItemModel* model) {
  QStringList rows;
  for (int row = 0; row < model->rowCount(); ++row) rows << model->index(row, 0).data().toString();
  return rows;
}

// The colour of a widget's frame, halfway down its left edge.
inline QColor FrameColour(QWidget* widget) {
  return widget->grab().toImage().pixelColor(0, widget->height() / 2);
}

// Shown and made the active window, as a click on it would; false when the
// window system never made it active.
inline bool Activate(QWidget* window) {
  window->show();
  QApplication::setActiveWindow(window);
  return QTest::qWaitForWindowActive(window);
}

// Hands the message box that opens next to `answer` once its own event loop
// runs; a question asked without a box leaves `answer` uncalled.
inline void WhenTheBoxOpens(std::function<void(QMessageBox&)> answer) {
  QTimer::singleShot(0, [answer = std::move(answer)] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) answer(*box);
  });
}

}  // namespace wfdesk::testing
