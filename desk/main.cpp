#include <QApplication>

#include "core/seams.hpp"
#include "core/settings.hpp"
#include "desk/main_window.hpp"
#include "desk/operators.hpp"

namespace {

// --home DIR or --home=DIR among the arguments.
std::optional<std::string> HomeOption(const QStringList& arguments) {
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--home" && i + 1 < arguments.size()) return arguments[i + 1].toStdString();
    if (arguments[i].startsWith("--home=")) return arguments[i].mid(7).toStdString();
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  using namespace wfdesk;
  const QStringList arguments = app.arguments().mid(1);
  const std::string home = core::ResolveHome(HomeOption(arguments));
  desk::MessageBoxOperator person;
  if (const auto entered = core::EnterHome(home); !entered) {
    person.Tell(entered.error);
    return 1;
  }
  core::SpawnLauncher launcher;
  core::SystemClock clock;
  core::SystemGuidSource guids;
  desk::FrmMain window({home, person, launcher, clock, guids});
  person.set_parent(&window);
  window.FormLoad(arguments);
  window.show();
  return app.exec();
}
