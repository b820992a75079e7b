// Renders the main window of an installation into a PNG file, to look at
// the layout: desk_screenshot HOME OUT.png [ROW [transmissions]]
// selects workflow ROW and shows its log or its transmission list.
#include <QAction>
#include <QApplication>
#include <QListView>
#include <QListWidget>
#include <QPixmap>

#include "core/seams.hpp"
#include "core/settings.hpp"
#include "desk/main_window.hpp"
#include "desk/operators.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) return 2;
  using namespace wfdesk;
  const std::string home = core::ResolveHome(std::string(argv[1]));
  if (!core::EnterHome(home)) return 1;
  desk::MessageBoxOperator person;
  core::SpawnLauncher launcher;
  core::SystemClock clock;
  core::SystemGuidSource guids;
  desk::FrmMain window({home, person, launcher, clock, guids});
  window.FormLoad({});
  window.show();
  if (argc > 3) {
    window.findChild<QListWidget*>("ListWF")->setCurrentRow(std::atoi(argv[3]));
    if (argc > 4) {
      window.findChild<QAction*>("mnu_records_show")->trigger();
      auto* list = window.findChild<QListView*>("logList");
      list->setCurrentIndex(list->model()->index(2, 0));
    }
  }
  QApplication::processEvents();
  return window.grab().save(argv[2]) ? 0 : 1;
}
