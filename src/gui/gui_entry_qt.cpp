// The windowed program: the main window and its event loop.
//
//   veltconv [--app-dir DIR]
//
// A hidden option, --screenshot-tour DIR, walks the window through its
// states (idle, a conversion of the archive shown in the window, the log
// view, the settings window, the mapping menu, the folder dialog, a message)
// and saves a picture of each into DIR instead of waiting for the user.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <exception>
#include <new>

#include "gui/directory_dialog.h"
#include "gui/log_view_qt.h"
#include "gui/main_window.h"
#include "gui/settings_dialog.h"
#include "gui/window_look_qt.h"
#include "gui/qt_text.h"
#include "support/code_page.h"
#include "support/error.h"

namespace velt {
namespace {

struct WindowArguments {
  std::string appDir;
  QString tourDir;
};

// An exception that no handler caught must not end the program in an abort:
// its text goes to a message box, as with the general error handler.
void ShowUnexpected(const std::exception& error) {
  QString text;
  if (const auto* own = dynamic_cast<const Error*>(&error))
    text = ToQt(own->what());
  else if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
    text = QStringLiteral("Недостаточно памяти для выполнения действия; действие прервано.");
  else
    text = QStringLiteral("Непредвиденная ошибка, действие прервано: ") + QString::fromUtf8(error.what());
  QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), text);
}

class GuardedApplication : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
      ShowUnexpected(error);
      return false;
    }
  }
};

bool ParseArguments(const QStringList& arguments, WindowArguments& out) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if ((argument == "--app-dir" || argument == "--screenshot-tour") && i + 1 < arguments.size()) {
      const QString& value = arguments[++i];
      if (argument == "--app-dir")
        out.appDir = Utf8ToAnsi(value.toStdString());
      else
        out.tourDir = value;
      continue;
    }
    return false;
  }
  return true;
}

// Lets the window lay itself out and paint.
void Settle(int milliseconds = 150) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

class Tour {
 public:
  Tour(MainWindow& form, const QString& dir) : form_(form), dir_(dir) {}

  int Run() {
    QDir().mkpath(dir_);
    Settle();
    Save(form_, "01-idle.png");
    Conversion();
    Settle();
    Save(form_, "03-after-run.png");
    form_.onShowLogClicked();
    Settle();
    Save(form_, "04-log-view.png");
    form_.onShowLogClicked();
    Settings();
    MappingMenu();
    Folders();
    Message();
    form_.close();
    return saved_ == kPictures ? 0 : 1;
  }

 private:
  static constexpr int kPictures = 8;

  void Save(QWidget& widget, const char* name) {
    QString path = dir_ + "/" + name;
    if (widget.grab().save(path)) {
      ++saved_;
      std::printf("%s\n", path.toLocal8Bit().constData());
    } else {
      std::fprintf(stderr, "could not save %s\n", path.toLocal8Bit().constData());
    }
  }

  // One picture while the bar is past a third of the way.
  void Conversion() {
    auto* bar = form_.findChild<QProgressBar*>("ProgressBar");
    bool taken = false;
    QTimer watcher;
    watcher.setInterval(0);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
      if (!taken && bar->isVisible() && bar->value() >= 35) {
        taken = true;
        Save(form_, "02-running.png");
      }
    });
    watcher.start();
    form_.onConvertClicked();
    watcher.stop();
    if (!taken) std::fprintf(stderr, "the run ended before its progress could be pictured\n");
  }

  void Settings() {
    SettingsDialog parform(&form_);
    parform.show();
    Settle();
    Save(parform, "05-settings.png");
    parform.reject();
  }

  void MappingMenu() {
    auto* menu = form_.findChild<QMenu*>("dirconv");
    menu->popup(form_.mapToGlobal(QPoint(60, 30)));
    Settle();
    Save(*menu, "06-mapping-menu.png");
    menu->hide();
  }

  void Folders() {
    DirectoryDialog dialog(&form_, QDir::currentPath());
    dialog.show();
    Settle(400);
    Save(dialog, "07-directory-dialog.png");
    dialog.reject();
  }

  void Message() {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(),
                    QStringLiteral("Телефон службы техподдержки ЗЕЛАН - ") + kSupportPhone, QMessageBox::Ok,
                    &form_);
    box.show();
    Settle();
    Save(box, "08-message.png");
    box.accept();
  }

  MainWindow& form_;
  QString dir_;
  int saved_ = 0;
};

}  // namespace
}  // namespace velt

int RunWindows(int argc, char** argv) {
  velt::GuardedApplication app(argc, argv);
  QApplication::setFont(velt::WindowFont());
  // Qt's own dialogs and buttons speak Russian like the rest of the program.
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::Russian), "qtbase", "_",
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTexts);
  velt::WindowArguments arguments;
  if (!velt::ParseArguments(QApplication::arguments(), arguments)) {
    std::fprintf(stderr,
                 "usage: veltconv [--app-dir DIR]\n"
                 "       veltconv convert ARCHIVE --out DIR [--code-page OEM|ANSI] [--app-dir DIR]\n"
                 "       veltconv join --name NAME [--app-dir DIR] FILE...\n");
    return 2;
  }
  velt::MainWindowOptions options;
  options.appDir = arguments.appDir;
  if (!arguments.tourDir.isEmpty()) {
    // Nothing may wait for a click: messages go to standard error.
    options.dialogs.showMessage = [](QWidget*, const QString& text) {
      std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    };
  }
  try {
    velt::MainWindow form(options);
    form.show();
    if (!arguments.tourDir.isEmpty()) return velt::Tour(form, arguments.tourDir).Run();
    return QApplication::exec();
  } catch (const std::exception& error) {
    velt::ShowUnexpected(error);
    return 3;
  }
}
