#pragma once

#include <QListView>

class QLabel;

namespace wfdesk::desk {

class LinesModel;

// The bottom list of the main window: one row per line of a LinesModel,
// never cut short ("…"): a horizontal scroll bar reaches the end of the
// longest line. An optional heading row above the rows names their columns
// and scrolls sideways with them. The frame shows the keyboard focus.
class LinesView : public QListView {
  Q_OBJECT

 public:
  explicit LinesView(QWidget* parent = nullptr);

  void SetLinesModel(LinesModel* model);
  // "" takes the heading row away.
  void SetHeading(const QString& heading);
  QString heading() const;

 protected:
  void scrollContentsBy(int dx, int dy) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  class RowDelegate;

  void MeasureRows();
  void PlaceHeading();

  LinesModel* lines_ = nullptr;
  RowDelegate* delegate_ = nullptr;
  QWidget* heading_box_ = nullptr;  // clips the heading to the rows' width
  QLabel* heading_ = nullptr;
  QString heading_text_;
};

}  // namespace wfdesk::desk
