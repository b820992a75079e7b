#include "desk/lines_view.hpp"

#include <QEvent>
#include <QLabel>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "desk/lines_model.hpp"

namespace wfdesk::desk {

// Every row as wide as the longest one, so the view scrolls instead of
// eliding; with uniform item sizes the view asks only one row for its size.
class LinesView::RowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  int width = 0;

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QSize size = QStyledItemDelegate::sizeHint(option, index);
    return {std::max(size.width(), width), size.height()};
  }
};

namespace {

// Room for the item's margins beside the measured text.
constexpr int kRowMargin = 12;
// Past this a line is shown to the width of its first characters; the
// whole line is a double click away.
constexpr qsizetype kMeasuredCharacters = 20000;

}  // namespace

LinesView::LinesView(QWidget* parent) : QListView(parent) {
  delegate_ = new RowDelegate(this);
  setItemDelegate(delegate_);
  setUniformItemSizes(true);
  setTextElideMode(Qt::ElideNone);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Focused without a selected row, no row shows the focus: the frame does,
  // as wide as without the focus, so that nothing moves.
  setStyleSheet(
      "QListView { border: 1px solid palette(mid); }"
      "QListView:focus { border: 1px solid palette(highlight); }");
  heading_box_ = new QWidget(this);
  heading_box_->setObjectName("logHeadingBox");
  heading_box_->hide();
  heading_ = new QLabel(heading_box_);
  heading_->setObjectName("logHeading");
  heading_->setTextFormat(Qt::PlainText);
  // The rows' text begins behind the focus frame's margin.
  heading_->setIndent(style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
  heading_->setStyleSheet("QLabel { border-bottom: 1px solid palette(mid); }");
}

// Focused with no current row, a list view makes its first row current
// without selecting it; no row is taken that the operator did not pick.
void LinesView::focusInEvent(QFocusEvent* event) {
  QListView::focusInEvent(event);
  const QModelIndex current = currentIndex();
  if (current.isValid() && !selectionModel()->isSelected(current)) {
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }
}

void LinesView::SetLinesModel(LinesModel* model) {
  lines_ = model;
  setModel(model);
  connect(model, &QAbstractItemModel::modelReset, this, &LinesView::MeasureRows);
  connect(model, &QAbstractItemModel::rowsInserted, this, &LinesView::MeasureRows);
  connect(model, &QAbstractItemModel::dataChanged, this, &LinesView::MeasureRows);
}

void LinesView::SetHeading(const QString& heading) {
  heading_text_ = heading;
  heading_->setText(heading);
  heading_box_->setVisible(!heading.isEmpty());
  setViewportMargins(0, heading.isEmpty() ? 0 : heading_->sizeHint().height(), 0, 0);
  MeasureRows();
}

QString LinesView::heading() const {
  return heading_text_;
}

void LinesView::MeasureRows() {
  const int longest = lines_ ? lines_->LongestRow() : -1;
  const QString text =
      longest < 0 ? QString() : lines_->index(longest).data().toString().left(kMeasuredCharacters);
  const int width = std::max(fontMetrics().horizontalAdvance(text),
                             heading_->fontMetrics().horizontalAdvance(heading_text_)) +
                    kRowMargin;
  if (width != delegate_->width) {
    delegate_->width = width;
    doItemsLayout();  // forgets the row size measured before
  }
  PlaceHeading();
}

void LinesView::PlaceHeading() {
  const QRect area = viewport()->geometry();
  heading_box_->setGeometry(area.left(), area.top() - viewportMargins().top(), area.width(),
                            viewportMargins().top());
  heading_->setGeometry(-horizontalOffset(), 0, std::max(delegate_->width, area.width()),
                        viewportMargins().top());
}

void LinesView::scrollContentsBy(int dx, int dy) {
  QListView::scrollContentsBy(dx, dy);
  if (dx != 0) PlaceHeading();
}

void LinesView::resizeEvent(QResizeEvent* event) {
  QListView::resizeEvent(event);
  PlaceHeading();
}

void LinesView::changeEvent(QEvent* event) {
  QListView::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    heading_->setFont(font());
    SetHeading(heading_text_);
  }
}

}  // namespace wfdesk::desk
