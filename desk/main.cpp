#include <QApplication>
#include <cstring>
#include <iostream>

#include "core/seams.hpp"
#include "core/settings.hpp"
#include "desk/main_window.hpp"
#include "desk/new_installation_dialog.hpp"
#include "desk/operators.hpp"
#include "engine/new_installation.hpp"

int main(int argc, char** argv) {
  using namespace wfdesk;
  // Before the application object, which needs a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << core::kAppTitle << ' ' << core::VersionText() << '\n';
      return 0;
    }
  }
  QApplication app(argc, argv);
  const QStringList arguments = app.arguments().mid(1);
  std::vector<std::string> texts;
  for (const QString& argument : arguments) texts.push_back(argument.toStdString());
  const std::string home = core::ResolveHome(core::SplitProgramArguments(texts).home);
  desk::MessageBoxOperator person;
  // Where there is no installation yet the operator may make one; declined,
  // there is nothing to show.
  if (!engine::HoldsInstallation(home)) {
    const desk::NewInstallation offer = desk::OfferNewInstallation(home, person);
    if (offer != desk::NewInstallation::kMade) return offer == desk::NewInstallation::kFailed;
  }
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
