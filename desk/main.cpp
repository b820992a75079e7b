#include <QApplication>

#include "core/seams.hpp"
#include "core/settings.hpp"
#include "desk/main_window.hpp"
#include "desk/operators.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  using namespace wfdesk;
  const QStringList arguments = app.arguments().mid(1);
  std::vector<std::string> texts;
  for (const QString& argument : arguments) texts.push_back(argument.toStdString());
  const std::string home = core::ResolveHome(core::SplitProgramArguments(texts).home);
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
