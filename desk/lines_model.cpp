#include "desk/lines_model.hpp"

#include "core/files.hpp"
#include "desk/text_codec.hpp"

namespace wfdesk::desk {

void LinesModel::Reset(std::string text, bool notice) {
  beginResetModel();
  notice_ = notice;
  text_ = std::move(text);
  lines_.clear();
  row_ = nullptr;
  row_count_ = 0;
  longest_ = -1;
  core::IndexLines(text_, 0, lines_);
  NoteLongest(0);
  endResetModel();
}

void LinesModel::LoadFile(const std::string& path) {
  path_ = path;
  std::string bytes;
  const core::FileGrowth info = core::InspectGrowth(path);
  stamp_ = info.stamp;
  identity_ = info.identity;
  if (info.is_regular) (void)core::ReadFileContent(path, bytes);
  Reset(std::move(bytes));
}

bool LinesModel::FollowFile() {
  if (path_.empty()) return false;
  const core::FileGrowth info = core::InspectGrowth(path_);
  if (info.stamp == stamp_) return false;
  // Another file under the same name is read anew, not followed.
  if (!info.is_regular || info.size < text_.size() || info.identity != identity_) {
    LoadFile(path_);  // replaced or cut: show it anew
    return true;
  }
  // A log only grows: read what came after the bytes already shown.
  std::string tail;
  if (!core::ReadFileContentFrom(path_, text_.size(), tail)) return false;
  stamp_ = info.stamp;
  if (tail.empty()) return false;
  // An incomplete last line, or one whose CR may be followed by the LF of
  // the same line end, is indexed again together with what came after it.
  std::size_t from = text_.size();
  bool redo_last = false;
  if (!lines_.empty()) {
    const core::LineSpan last = lines_.back();
    const std::size_t end = last.begin + last.length;
    if (end == text_.size() || (text_[end] == '\r' && end + 1 == text_.size())) {
      from = last.begin;
      redo_last = true;
    }
  }
  text_ += tail;
  std::vector<core::LineSpan> fresh;
  core::IndexLines(text_, from, fresh);
  auto next = fresh.begin();
  if (redo_last && next != fresh.end()) {
    lines_.back() = *next++;
    NoteLongest(lines_.size() - 1);
    const QModelIndex changed = index(static_cast<int>(lines_.size()) - 1);
    emit dataChanged(changed, changed);
  }
  if (next != fresh.end()) {
    const int first = static_cast<int>(lines_.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(fresh.end() - next) - 1);
    lines_.insert(lines_.end(), next, fresh.end());
    NoteLongest(std::size_t(first));
    endInsertRows();
  }
  return true;
}

void LinesModel::NoteLongest(std::size_t from) {
  for (std::size_t row = from; row < lines_.size(); ++row) {
    if (longest_ < 0 || lines_[row].length > lines_[std::size_t(longest_)].length) {
      longest_ = static_cast<int>(row);
    }
  }
}

void LinesModel::SetRows(std::size_t count, RowBytes row, int longest) {
  path_.clear();
  beginResetModel();
  notice_ = false;
  text_.clear();
  lines_.clear();
  row_ = std::move(row);
  row_count_ = row_ ? count : 0;
  longest_ = row_count_ > 0 ? longest : -1;
  endResetModel();
}

void LinesModel::SetNotice(std::string text) {
  path_.clear();
  Reset(std::move(text), true);
}

void LinesModel::Clear() {
  path_.clear();
  Reset({});
}

std::string LinesModel::LineBytes(int row) const {
  if (row < 0 || row >= rowCount()) return {};
  if (row_) return row_(std::size_t(row));
  return text_.substr(lines_[std::size_t(row)].begin, lines_[std::size_t(row)].length);
}

int LinesModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return static_cast<int>(row_ ? row_count_ : lines_.size());
}

QVariant LinesModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  if (row_) return DecodeAuto(row_(std::size_t(index.row())));
  const core::LineSpan span = lines_[std::size_t(index.row())];
  return DecodeAuto(std::string_view(text_).substr(span.begin, span.length));
}

Qt::ItemFlags LinesModel::flags(const QModelIndex& index) const {
  if (notice_)
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
  return QAbstractListModel::flags(index);
}

}  // namespace wfdesk::desk
