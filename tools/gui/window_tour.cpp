// The window tour: walks the main window through its states (idle, a
// conversion of the archive shown in the window, the log view, the problem
// calls of the run, the settings window, the mapping menu, the folder
// dialog, a message, the mapping editor, the composition window) and saves a
// picture of each, for a person to look at (scripts/screenshots.sh) and for
// the operator's guide, which shows some of them. The problem calls are also taken as the whole
// screen, with the window manager's frame when one runs.
//
//   velt_window_tour [--app-dir DIR] OUT_DIR
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <exception>

#include "gui/application_qt.h"
#include "gui/directory_dialog.h"
#include "gui/file_list_window.h"
#include "gui/main_window.h"
#include "gui/mapping_editor_window.h"
#include "gui/message_box_qt.h"
#include "gui/settings_dialog.h"
#include "support/code_page.h"

namespace velt {
namespace {

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
    ProblemCalls();
    Settings();
    MappingMenu();
    Folders();
    Message();
    MappingEditorWindow();
    Composition();
    form_.close();
    return saved_ == kPictures ? 0 : 1;
  }

 private:
  static constexpr int kPictures = 12;

  void Save(QWidget& widget, const char* name) {
    QString path = dir_ + "/main_" + name;
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
    // The run works on a thread of its own; its end comes back as an event.
    while (form_.Running()) QApplication::processEvents(QEventLoop::AllEvents, 5);
    watcher.stop();
    if (!taken) std::fprintf(stderr, "the run ended before its progress could be pictured\n");
  }

  // The window opens modally from its button: it is pictured and closed
  // from inside its own event loop.
  void ProblemCalls() {
    auto* button = form_.findChild<QPushButton*>("problemCalls");
    if (button == nullptr || !button->isVisible()) {
      std::fprintf(stderr, "the run found no problem calls to picture\n");
      return;
    }
    QTimer::singleShot(0, [this] {
      Settle(400);
      QWidget* window = QApplication::activeModalWidget();
      if (window == nullptr) return;
      Save(*window, "09-problem-calls.png");
      SaveScreen("10-problem-calls-screen.png");
      window->close();
    });
    button->click();
  }

  void SaveScreen(const char* name) {
    QString path = dir_ + "/main_" + name;
    if (QGuiApplication::primaryScreen()->grabWindow(0).save(path)) {
      ++saved_;
      std::printf("%s\n", path.toLocal8Bit().constData());
    } else {
      std::fprintf(stderr, "could not save %s\n", path.toLocal8Bit().constData());
    }
  }

  void Settings() {
    SettingsDialog settings(&form_);
    settings.show();
    Settle();
    Save(settings, "05-settings.png");
    settings.reject();
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
    QMessageBox box(QMessageBox::Information, ProgramTitle(),
                    QStringLiteral("Телефон службы техподдержки ЗЕЛАН - ") + kSupportPhone, QMessageBox::Ok,
                    &form_);
    box.show();
    Settle();
    Save(box, "08-message.png");
    box.accept();
  }

  // The first mapping (reasons for the call), as its menu item opens it.
  void MappingEditorWindow() {
    MappingEditor editor(&form_);
    if (!editor.PrepareMapping(1, false)) {
      std::fprintf(stderr, "the mapping editor could not be prepared\n");
      return;
    }
    editor.show();
    Settle(300);
    Save(editor, "11-mapping-editor.png");
    editor.reject();
  }

  void Composition() {
    FileListWindow window(&form_);
    window.show();
    Settle(300);
    Save(window, "12-compose.png");
    window.reject();
  }

  MainWindow& form_;
  QString dir_;
  int saved_ = 0;
};

}  // namespace
}  // namespace velt

int main(int argc, char** argv) {
  velt::GuardedApplication app(argc, argv);
  QTranslator qtTexts;
  velt::PrepareApplication(qtTexts);
  velt::MainWindowOptions options;
  QStringList rest = QApplication::arguments().mid(1);
  if (rest.size() >= 2 && rest[0] == "--app-dir") {
    options.appDir = velt::Utf8ToAnsi(rest[1].toStdString());
    rest = rest.mid(2);
  }
  if (rest.size() != 1) {
    std::fprintf(stderr, "usage: velt_window_tour [--app-dir DIR] OUT_DIR\n");
    return 2;
  }
  // Nothing may wait for a click: messages go to standard error.
  options.dialogs.showMessage = [](QWidget*, const QString& text) {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
  };
  try {
    velt::MainWindow form(options);
    form.show();
    return velt::Tour(form, rest[0]).Run();
  } catch (const std::exception& error) {
    velt::ShowUnexpected(error);
    return 3;
  }
}
