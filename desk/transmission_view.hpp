#pragma once

#include <QObject>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/context.hpp"
#include "textdb/transmission_list.hpp"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QWidget;

namespace wfdesk::textdb {
struct ActionResult;
}  // namespace wfdesk::textdb

namespace wfdesk::desk {

class LinesModel;
class LinesView;

// The transmission view of the main window's bottom list: the records of
// the selected workflow's database under the filter in text002, a heading
// row naming the columns, and the record actions (Transmissions menu) on the
// element chosen from the rows, which lblEID shows. The actions are enabled
// only while an element is chosen and the workflow allows them. A database
// that is missing or cannot be read is said by a line in the list, not by a
// message at every refresh.
class TransmissionView : public QObject {
  Q_OBJECT

 public:
  struct Controls {
    LinesView* list = nullptr;  // shared with the log view
    LinesModel* rows = nullptr;
    QLabel* element = nullptr;         // lblEID
    QWidget* filter_parent = nullptr;  // where text002 goes
  };
  TransmissionView(const core::Context& context, Controls controls, QObject* parent = nullptr);

  QMenu* menu() const { return menu_; }
  QLineEdit* filter() const { return filter_; }
  void ApplyTexts();

  // The workflow file name whose database is listed; leaves the view.
  void SetWorkflow(const std::string& name);
  bool showing() const { return showing_; }
  void Show(bool show);
  void FillDBlist();
  const std::string& chosen() const { return chosen_; }

  void EditRecord();
  void ToggleRecordTag();
  void DeleteRecord();

 signals:
  void ShowingChanged(bool showing);

 private:
  void BuildMenu();
  void Choose(const std::string& element);
  void ChooseRow(int row);
  // The first row that shows the element, -1 for none.
  int RowOf(const std::string& element) const;
  void UpdateActions();
  QString ColumnHeading() const;
  // The line the list shows in place of the rows of a database that could
  // not be loaded; `reason` is what the loader said.
  QString DatabaseProblem(textdb::LoadStatus status, const std::string& reason) const;
  void AfterRecordAction(const textdb::ActionResult& result);

  const core::Context& context_;
  Controls controls_;
  QLineEdit* filter_ = nullptr;
  QMenu* menu_ = nullptr;
  QAction* show_ = nullptr;
  QAction* edit_ = nullptr;
  QAction* toggle_ = nullptr;
  QAction* delete_ = nullptr;

  std::string workflow_;
  bool showing_ = false;
  std::string chosen_;                      // the element ID in lblEID
  std::map<std::string, QString> filters_;  // by workflow
  // The rows shown, with the database last loaded.
  std::shared_ptr<const textdb::TransmissionRows> rows_ =
      std::make_shared<const textdb::TransmissionRows>();
};

}  // namespace wfdesk::desk
