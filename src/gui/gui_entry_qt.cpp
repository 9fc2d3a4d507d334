// The windowed program: the main window and its event loop.
//
//   veltconv [--app-dir DIR]
#include <QApplication>
#include <QTranslator>
#include <cstdio>
#include <exception>

#include "gui/application_qt.h"
#include "gui/main_window.h"
#include "support/code_page.h"

namespace velt {
namespace {

// The application folder given with --app-dir (1251); false for anything
// else on the command line.
bool ParseArguments(const QStringList& arguments, std::string& appDir) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == "--app-dir" && i + 1 < arguments.size()) {
      appDir = Utf8ToAnsi(arguments[++i].toStdString());
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace
}  // namespace velt

int RunWindows(int argc, char** argv) {
  velt::GuardedApplication app(argc, argv);
  QTranslator qtTexts;
  velt::PrepareApplication(qtTexts);
  velt::MainWindowOptions options;
  if (!velt::ParseArguments(QApplication::arguments(), options.appDir)) {
    std::fprintf(stderr,
                 "usage: veltconv [--app-dir DIR]\n"
                 "       veltconv convert ARCHIVE --out DIR [--code-page OEM|ANSI] [--app-dir DIR]\n"
                 "       veltconv join --name NAME [--app-dir DIR] FILE...\n");
    return 2;
  }
  try {
    velt::MainWindow form(options);
    form.show();
    return QApplication::exec();
  } catch (const std::exception& error) {
    velt::ShowUnexpected(error);
    return 3;
  }
}
