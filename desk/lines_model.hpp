#pragma once

#include <QAbstractListModel>
#include <functional>
#include <string>
#include <vector>

#include "core/line_index.hpp"

namespace wfdesk::desk {

// The lines of a file (or of a list of rows) for a list view. The text is
// kept once as bytes with an index of its lines; a line is decoded only when
// the view shows it, so a log of 100 MB loads in well under a second. Rows
// are made only when shown as well.
class LinesModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  // Shows the file's lines; an empty list when the path names no file.
  void LoadFile(const std::string& path);
  // Adds what was appended to the file since it was loaded, reading only
  // the new bytes; loads it anew when it has shrunk or is gone. Returns
  // whether the list changed.
  bool FollowFile();
  // The bytes of row i, for i below the count given with them.
  using RowBytes = std::function<std::string(std::size_t row)>;
  // Shows `count` rows, each made when needed; `longest` is the row with the
  // most bytes, -1 for none.
  void SetRows(std::size_t count, RowBytes row, int longest);
  // One line in place of the rows that says why there are none; it cannot
  // be selected.
  void SetNotice(std::string text);
  void Clear();

  const std::string& path() const { return path_; }
  // The bytes of a line.
  std::string LineBytes(int row) const;
  // The row of the line with the most bytes, -1 for none: what the view
  // measures to make room for every line.
  int LongestRow() const { return longest_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  void Reset(std::string text, bool notice = false);
  void NoteLongest(std::size_t from);

  std::string path_;
  std::string stamp_;  // of the file as last read
  std::string identity_;
  std::string text_;
  std::vector<core::LineSpan> lines_;
  RowBytes row_;  // rows made when shown, in place of the lines
  std::size_t row_count_ = 0;
  int longest_ = -1;
  bool notice_ = false;
};

}  // namespace wfdesk::desk
