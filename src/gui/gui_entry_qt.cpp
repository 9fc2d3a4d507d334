// The windowed program: the main window and its event loop.
//
//   veltconv [--app-dir DIR] [ARCHIVE.DBF...]
//
// Archives come when tables are dropped on the program's icon or opened with
// it: they are taken as if dropped on the window.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QTranslator>
#include <exception>

#include "gui/application_qt.h"
#include "gui/main_window.h"
#include "gui/message_box_qt.h"
#include "support/code_page.h"

namespace velt {
namespace {

// The application folder given with --app-dir (1251) and the archives
// named after it.
void ParseArguments(const QStringList& arguments, std::string& appDir, QStringList& archives) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == "--app-dir" && i + 1 < arguments.size())
      appDir = Utf8ToAnsi(arguments[++i].toStdString());
    else
      archives << QDir::toNativeSeparators(QFileInfo(arguments[i]).absoluteFilePath());
  }
}

// The archives that exist go to the window as dropped there; a missing one
// is named (a shortcut to a table that was moved, say).
void OpenArchives(MainWindow& form, const QStringList& archives) {
  QStringList found;
  for (const QString& archive : archives) {
    if (QFileInfo(archive).isFile())
      found << archive;
    else
      ShowMessageBox(&form, MessageKind::Warning, QStringLiteral("Файл архива %1 не найден.").arg(archive));
  }
  form.DropFiles(found);
}

}  // namespace
}  // namespace velt

int RunWindows(int argc, char** argv) {
  velt::GuardedApplication app(argc, argv);
  QTranslator qtTexts;
  velt::PrepareApplication(qtTexts);
  velt::MainWindowOptions options;
  QStringList archives;
  velt::ParseArguments(QApplication::arguments(), options.appDir, archives);
  try {
    velt::MainWindow form(options);
    form.show();
    if (!archives.isEmpty())
      QTimer::singleShot(0, &form, [&form, archives] { velt::OpenArchives(form, archives); });
    return QApplication::exec();
  } catch (const std::exception& error) {
    velt::ShowUnexpected(error);
    return 3;
  }
}
