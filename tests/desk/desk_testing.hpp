#pragma once

// What the desk's test programs share: Qt's widgets and test library,
// controls found by objectName, the rows a list shows, the frame a focused
// list draws, and a window made active.
#include <QtTest>
#include <QtWidgets>

#include "core/path_facts.hpp"

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

// The fake module programs of some tests are shell scripts, which a
// Windows build cannot start.
#define WFDESK_NEEDS_SHELL_SCRIPTS()                                                     \
  do {                                                                                   \
    if (!wfdesk::core::kProgramSuffix.empty()) QSKIP("fake programs are shell scripts"); \
  } while (false)

}  // namespace wfdesk::testing
