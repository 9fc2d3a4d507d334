// The main window on the offscreen platform: start-up, the persisted
// captions, the dialogs, shut-down order, the settings and log view, and
// conversions started from the window.
#include "support/run_state.h"
//
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <memory>

#include "gui/directory_dialog.h"
#include "gui/keyboard_access_qt.h"
#include "gui/main_window.h"
#include "gui/settings_dialog.h"
#include "state/startup.h"
#include "support/code_page.h"
#include "support/event_log.h"
#include "support/file_problem.h"
#include "support/platform.h"
#include "support_files/gui_app.h"
#include "support_files/temp_dir.h"
#include "table/table.h"

namespace velt {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

QApplication& App() { return testing::GuiApp(); }

std::string ReadUtf8(const std::string& path) {
  std::string bytes;
  platform::ReadWholeFile(path, bytes);
  return AnsiToUtf8(bytes);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(platform::WriteWholeFile(path, bytes)) << path;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    State().inputCodePage = "OEM";
    platform::SetFaultHooks({});
  }
  void TearDown() override {
    form_.reset();
    platform::SetFaultHooks({});
  }

  // The sample application folder (reference and mapping tables) in `app_`.
  void UseSampleApplication() { app_.CopyIn(VELT_SOURCE_DIR "/data/sample/app"); }

  MainWindow& Open(bool show = true) {
    MainWindowOptions options;
    options.appDir = app_.Path();
    options.dialogs.showMessage = [this](QWidget*, const QString& text) {
      messages_.push_back(text.toStdString());
      if (messageDelay_ > 0) QTest::qSleep(messageDelay_);
    };
    options.dialogs.chooseArchive = [this](QWidget*, const QString& initialDir, const QString& fileName) {
      archiveCalls_.push_back({initialDir.toStdString(), fileName.toStdString()});
      std::optional<QString> answer = answers_.front();
      answers_.pop_front();
      return answer;
    };
    options.dialogs.chooseDirectory = [this](QWidget*, const QString& startDir) {
      directoryStarts_.push_back(startDir.toStdString());
      std::optional<QString> answer = answers_.front();
      answers_.pop_front();
      return answer;
    };
    options.dialogs.openFolder = [this](const QUrl& url) { openedFolders_.push_back(url); };
    options.dialogs.ask = [this](QWidget*, const QString& text) {
      questions_.push_back(text.toStdString());
      if (whileAsked_) whileAsked_();
      return agree_;
    };
    form_ = std::make_unique<MainWindow>(options);
    if (show) form_->show();
    return *form_;
  }

  template <typename T = QLabel>
  T* Child(const char* name) {
    T* child = form_->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  std::string Text(const char* label) { return Child<QLabel>(label)->text().toStdString(); }

  std::string Ini() { return ReadUtf8(app_.File("main_window_gui_test.ini")); }
  std::vector<std::string> Log() { return Lines(ReadUtf8(app_.File("main_window_gui_test.log"))); }
  bool LogHas(const std::string& part) {
    for (const std::string& line : Log())
      if (line.find(part) != std::string::npos) return true;
    return false;
  }

  // The archive to convert, chosen in the dialog, and an output folder.
  void ChooseArchiveAndOutput(const std::string& archive) {
    fs::create_directories(app_.File("out"));
    answers_ = {QString::fromStdString(archive), QString::fromStdString(app_.File("out"))};
    form_->onChooseArchiveClicked();
    form_->onChooseOutputDirClicked();
  }

  TempDir app_;
  std::unique_ptr<MainWindow> form_;
  std::vector<std::string> messages_;
  std::deque<std::optional<QString>> answers_;
  std::vector<std::pair<std::string, std::string>> archiveCalls_;
  std::vector<std::string> directoryStarts_;
  std::vector<QUrl> openedFolders_;
  int messageDelay_ = 0;  // milliseconds a message stays open
  std::vector<std::string> questions_;
  bool agree_ = true;                 // the answer to every question
  std::function<void()> whileAsked_;  // what happens while a question is open
  // A run started by the button, to its end.
  void Convert() {
    form_->onConvertClicked();
    WaitForRun();
  }
  void WaitForRun() {
    ASSERT_TRUE(testing::ProcessEventsUntil([this] { return !form_->Running(); }));
  }
};

TEST_F(MainWindowTest, FirstStartShowsInitialCaptionsAndTheOemCodePage) {
  MainWindow& form = Open(false);
  EXPECT_EQ(form.objectName(), "MainForm");
  EXPECT_EQ(form.windowTitle().toStdString(), "Конвертер архивных файлов ВЕЛТ (Версия 27.11.2018.01)");
  // The width is fixed, the height the user's; the window fits the screen
  // (offscreen: 800x800) at the described 780x640.
  EXPECT_EQ(form.minimumWidth(), form.maximumWidth());
  EXPECT_LT(form.minimumHeight(), form.maximumHeight());
  EXPECT_EQ(form.size(), QSize(780, 640));
  EXPECT_EQ(Text("velt_file"), "Не выбран файл архива ВЕЛТ");
  EXPECT_EQ(Text("outdirpath"), "Не выбран каталог выгрузки");
  EXPECT_EQ(Text("lbCodePage"), "");
  EXPECT_EQ(Text("ProgressMsg"), "Конвертация не выполнялась");
  EXPECT_TRUE(Child<QProgressBar>("ProgressBar")->isHidden());
  EXPECT_TRUE(Child<QTextEdit>("LogDisplay")->isHidden());
  EXPECT_EQ(Child<QPushButton>("showlog")->text().toStdString(), "Открыть журнал");

  // The start line is written at creation, the code page only at the
  // first showing.
  ASSERT_EQ(Log().size(), 1u);
  EXPECT_TRUE(Log()[0].ends_with(". Приложение main_window_gui_test запущено.")) << Log()[0];
  EXPECT_EQ(Log()[0][2], '.');
  form.show();
  EXPECT_EQ(Text("lbCodePage"), "OEM");
  EXPECT_EQ(State().inputCodePage, "OEM");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(MainWindowTest, PersistedCaptionsComeBackAtTheFirstShowing) {
  WriteFile(app_.File("main_window_gui_test.ini"),
            "[VELT_CONV]\r\nvelt_file_Caption=/data/F1232401.DBF\r\noutdirpath_Caption= /out \r\n"
            "lbCodePage_Caption=ANSI\r\n");
  Open();
  EXPECT_EQ(Text("velt_file"), "/data/F1232401.DBF");
  EXPECT_EQ(Text("outdirpath"), "/out");
  EXPECT_EQ(Text("lbCodePage"), "ANSI");
  EXPECT_EQ(State().inputCodePage, "ANSI");
  form_.reset();

  // A blank code page gives "OEM"; a hand-edited value is kept as it is.
  WriteFile(app_.File("main_window_gui_test.ini"), "[VELT_CONV]\r\nlbCodePage_Caption=   \r\n");
  Open();
  EXPECT_EQ(Text("lbCodePage"), "OEM");
  EXPECT_EQ(State().inputCodePage, "OEM");
  EXPECT_EQ(Text("velt_file"), "Не выбран файл архива ВЕЛТ");
  form_.reset();
  // The placeholders are no paths: stored empty, shown again from empty.
  EXPECT_NE(Ini().find("velt_file_Caption=\r\noutdirpath_Caption=\r\n"), std::string::npos) << Ini();
  Open();
  EXPECT_EQ(Text("velt_file"), "Не выбран файл архива ВЕЛТ");
  EXPECT_EQ(Text("outdirpath"), "Не выбран каталог выгрузки");
  form_.reset();
  WriteFile(app_.File("main_window_gui_test.ini"), "[velt_conv]\r\nLBCODEPAGE_CAPTION=ansi\r\n");
  Open();
  EXPECT_EQ(State().inputCodePage, "ansi");
}

TEST_F(MainWindowTest, StartUpPreparesMissingMappingTablesSilently) {
  UseSampleApplication();
  fs::remove(app_.File("dirstrans/tr_reas.dbf"));
  Open(false);
  EXPECT_TRUE(fs::exists(app_.File("dirstrans/tr_reas.dbf")));
  form_.reset();

  // Without the PAVK values nothing is created and nothing is said.
  for (const char* file : {"PAVK_VALUES.dbf", "tr_reas.dbf", "tr_vid.dbf"})
    fs::remove(app_.File("dirstrans/") + file);
  messages_.clear();
  Open(false);
  EXPECT_FALSE(fs::exists(app_.File("dirstrans/tr_reas.dbf")));
  EXPECT_FALSE(fs::exists(app_.File("dirstrans/tr_vid.dbf")));
  EXPECT_TRUE(messages_.empty());
  EXPECT_TRUE(Log().back().ends_with("Приложение main_window_gui_test запущено."));
}

TEST_F(MainWindowTest, InstructionsComeFromTheCurrentFolder) {
  TempDir work;
  fs::path before = fs::current_path();
  fs::current_path(work.Path());
  WriteFile(app_.File("BottomMesg.txt"), "not these");
  WriteFile(work.File("BottomMesg.txt"), "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial;}}\\f0 \\b " +
                                             testing::A("Загрузите файлы") + "\\b0\\par " +
                                             testing::A("в ТОРАН") + "}");
  Open(false);
  QString rich = Child<QTextEdit>("ToranInstrBox")->toPlainText();
  form_.reset();

  WriteFile(work.File("BottomMesg.txt"), testing::A("Простой текст\r\nвторая строка"));
  Open(false);
  QString plain = Child<QTextEdit>("ToranInstrBox")->toPlainText();
  form_.reset();

  fs::remove(work.File("BottomMesg.txt"));
  Open(false);
  QString placeholder = Child<QTextEdit>("ToranInstrBox")->toPlainText();
  fs::current_path(before);

  EXPECT_EQ(rich.toStdString(), "Загрузите файлы\nв ТОРАН");
  EXPECT_EQ(plain.toStdString(), "Простой текст\nвторая строка");
  EXPECT_TRUE(placeholder.contains("BottomMesg.txt"));
}

TEST_F(MainWindowTest, ArchiveDialogKeepsOnlyWhatWasConfirmedInThisRun) {
  WriteFile(app_.File("main_window_gui_test.ini"), "[VELT_CONV]\r\nvelt_file_Caption=/old/F1232401.DBF\r\n");
  Open();
  answers_ = {std::nullopt, QString("/data/F1232401.DBF"), std::nullopt};
  form_->onChooseArchiveClicked();
  EXPECT_EQ(Text("velt_file"), "");  // the persisted caption is not the dialog's
  form_->onChooseArchiveClicked();
  EXPECT_EQ(Text("velt_file"), "/data/F1232401.DBF");
  form_->onChooseArchiveClicked();
  EXPECT_EQ(Text("velt_file"), "/data/F1232401.DBF");

  ASSERT_EQ(archiveCalls_.size(), 3u);
  EXPECT_EQ(archiveCalls_[0].first, app_.Path());  // first opening: the program's folder
  EXPECT_EQ(archiveCalls_[0].second, "");
  EXPECT_EQ(archiveCalls_[2].first, "/data/");
  EXPECT_EQ(archiveCalls_[2].second, "/data/F1232401.DBF");
}

TEST_F(MainWindowTest, OutputFolderDialogAndOpeningTheFolder) {
  Open();
  form_->onBrowseOutputClicked();  // the initial caption names no folder
  answers_ = {QString::fromStdString(app_.File("gone")), std::nullopt};
  form_->onChooseOutputDirClicked();
  form_->onBrowseOutputClicked();  // a folder that does not exist is refused when chosen
  EXPECT_TRUE(openedFolders_.empty());
  EXPECT_EQ(messages_.size(), 1u);
  form_->onChooseOutputDirClicked();  // cancelled
  EXPECT_EQ(Text("outdirpath"), "Не выбран каталог выгрузки");
  ASSERT_EQ(directoryStarts_.size(), 2u);
  EXPECT_EQ(directoryStarts_[0], fs::current_path().string());

  answers_ = {QString::fromStdString(app_.Path())};
  form_->onChooseOutputDirClicked();
  form_->onBrowseOutputClicked();
  ASSERT_EQ(openedFolders_.size(), 1u);
  EXPECT_EQ(fs::path(openedFolders_[0].toLocalFile().toStdString()), fs::path(app_.Path()));
}

TEST_F(MainWindowTest, CloseWritesTheStateBeforeTheStopLine) {
  std::vector<std::string> writes;
  platform::FaultHooks hooks;
  hooks.writeFault = [&writes](const std::string& path, std::uint64_t, std::size_t) {
    writes.push_back(path);
    return false;
  };
  Open();
  fs::create_directories(app_.File("out dir"));
  answers_ = {QString::fromStdString(app_.File("out dir"))};
  form_->onChooseOutputDirClicked();
  platform::SetFaultHooks(hooks);
  EXPECT_TRUE(form_->close());
  EXPECT_FALSE(form_->isVisible());
  form_.reset();
  platform::SetFaultHooks({});

  EXPECT_NE(Ini().find("outdirpath_Caption=" + app_.File("out dir") + "\r\n"), std::string::npos) << Ini();
  EXPECT_NE(Ini().find("lbCodePage_Caption=OEM\r\n"), std::string::npos);
  EXPECT_NE(Ini().find("Visible=0\r\n"), std::string::npos);
  EXPECT_TRUE(Log().back().ends_with(". Приложение main_window_gui_test остановлено.")) << Log().back();
  ASSERT_FALSE(writes.empty());
  EXPECT_TRUE(writes.back().ends_with(".log"));
  EXPECT_TRUE(writes[writes.size() - 2].ends_with(".ini.tmp"));
  EXPECT_TRUE(messages_.empty());
}

TEST_F(MainWindowTest, AnIniThatCannotBeWrittenIsReportedOnceAndTheWindowStillCloses) {
  platform::FaultHooks hooks;
  hooks.writeFault = [](const std::string& path, std::uint64_t, std::size_t) {
    return path.ends_with(".tmp");
  };
  Open();
  platform::SetFaultHooks(hooks);
  form_->onExitClicked();
  EXPECT_FALSE(form_->isVisible());
  form_.reset();
  ASSERT_EQ(messages_.size(), 1u);
  // Russian, with the file named once-separated, and why.
  EXPECT_EQ(messages_[0].rfind(
                "Не удалось сохранить настройки в файл " + AnsiToUtf8(ShownPath(IniFilePath())) + "\n", 0),
            0u)
      << messages_[0];
  EXPECT_EQ(messages_[0].find("//"), std::string::npos) << messages_[0];
  EXPECT_TRUE(Log().back().ends_with("остановлено."));
}

TEST_F(MainWindowTest, SettingsWindowChangesTheCodePageOnlyWhenSaved) {
  Open();
  auto answer = [](int item, const char* button) {
    QTimer::singleShot(0, [item, button] {
      QWidget* dialog = QApplication::activeModalWidget();
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->objectName(), "parform");
      dialog->findChild<QComboBox*>("cbCodePage")->setCurrentIndex(item);
      dialog->findChild<QPushButton*>(button)->click();
    });
  };
  answer(1, "save");
  form_->onSettingsClicked();
  EXPECT_EQ(Text("lbCodePage"), "ANSI");
  EXPECT_EQ(State().inputCodePage, "ANSI");
  answer(0, "FormExit");
  form_->onSettingsClicked();
  EXPECT_EQ(Text("lbCodePage"), "ANSI");
  EXPECT_EQ(State().inputCodePage, "ANSI");
}

TEST_F(MainWindowTest, LogViewCoversTheInstructionsAndReadsTheLogWhenOpened) {
  Open();
  auto* view = Child<QTextEdit>("LogDisplay");
  auto* button = Child<QPushButton>("showlog");
  form_->onShowLogClicked();
  QApplication::processEvents();
  EXPECT_TRUE(form_->LogShown());
  EXPECT_TRUE(view->isVisible());
  EXPECT_EQ(view->geometry(), Child<QGroupBox>("ToranInstr")->geometry());
  EXPECT_EQ(button->text().toStdString(), "Закрыть журнал");
  EXPECT_TRUE(view->toPlainText().contains(QStringLiteral("Приложение main_window_gui_test запущено.")));

  AddToLog(State().logFilePath, testing::A("строка позже"), true, kStampPattern);
  EXPECT_FALSE(view->toPlainText().contains(QStringLiteral("строка позже")));
  form_->onShowLogClicked();
  EXPECT_FALSE(view->isVisible());
  EXPECT_EQ(button->text().toStdString(), "Открыть журнал");
  form_->onShowLogClicked();
  EXPECT_TRUE(view->toPlainText().contains(QStringLiteral("строка позже")));
  form_->onShowLogClicked();

  // A log that cannot be read: the view is shown, the error reported, and
  // the next click tries to open it again.
  fs::remove(State().logFilePath);
  form_->onShowLogClicked();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find("main_window_gui_test.log"), std::string::npos);
  EXPECT_FALSE(form_->LogShown());
  EXPECT_TRUE(view->isVisible());
  EXPECT_EQ(button->text().toStdString(), "Закрыть журнал");
  AddToLog(State().logFilePath, "again", true, kStampPattern);
  form_->onShowLogClicked();
  EXPECT_TRUE(form_->LogShown());
  EXPECT_TRUE(view->toPlainText().contains("again"));
  form_->onShowLogClicked();

  // A log of years: its last lines at once, the older ones left in the file.
  std::string years;
  for (int i = 0; years.size() < 5u * 1024 * 1024; ++i)
    years += "01.02.2015, 10:00:00.  line " + std::to_string(i) + "\r\n";
  WriteFile(State().logFilePath, years + "last line\r\n");
  form_->onShowLogClicked();
  const QString shown = view->toPlainText();
  EXPECT_TRUE(shown.startsWith(
      QStringLiteral("… Показан конец журнала; более ранние строки (3,0 МБ) находятся в файле ")))
      << shown.left(120).toStdString();
  EXPECT_TRUE(shown.trimmed().endsWith("last line"));
  EXPECT_FALSE(shown.contains(" line 0\n"));
  EXPECT_LE(shown.size(), 2 * 1024 * 1024 + 200);
  EXPECT_TRUE(shown.section('\n', 1, 1).startsWith("01.02.2015"));  // whole lines only
}

TEST_F(MainWindowTest, SupportMessage) {
  Open();
  form_->onSupportClicked();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], std::string("Телефон службы техподдержки ЗЕЛАН - ") + kSupportPhone);
}

TEST_F(MainWindowTest, MenuItemsAndComposeOpenTheirWindowsModally) {
  UseSampleApplication();
  Open();
  std::vector<std::string> opened;
  auto closeModal = [&opened] {
    QTimer::singleShot(0, [&opened] {
      QWidget* modal = QApplication::activeModalWidget();
      ASSERT_NE(modal, nullptr);
      opened.push_back(modal->objectName().toStdString() + " " + modal->windowTitle().toStdString());
      modal->close();
    });
  };
  closeModal();
  form_->findChild<QAction*>("lpudir")->trigger();
  closeModal();
  form_->findChild<QAction*>("N4")->trigger();
  closeModal();
  Child<QPushButton>("ComposeVELTFiles")->click();
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_TRUE(opened[0].starts_with("dircform ")) << opened[0];
  EXPECT_TRUE(opened[1].starts_with("parform ")) << opened[1];
  EXPECT_TRUE(opened[2].starts_with("FileList ")) << opened[2];
  EXPECT_EQ(Text("velt_file"), "Не выбран файл архива ВЕЛТ");  // no join, no new archive
  EXPECT_TRUE(messages_.empty());
}

TEST_F(MainWindowTest, ConversionFromTheWindowFillsTheOutputFolderAndTheLog) {
  UseSampleApplication();
  fs::copy(fs::path(VELT_SOURCE_DIR) / "data/sample/archives/F1232401.DBF", app_.File("F1232401.DBF"));
  Open();
  ChooseArchiveAndOutput(app_.File("F1232401.DBF"));

  // What the window looks like while the run pumps its events; a second
  // click there starts nothing.
  // A cancel while idle cancels nothing: the button is off, and the next
  // run converts.
  EXPECT_FALSE(Child<QPushButton>("Abort")->isEnabled());
  form_->onAbortClicked();

  // Nothing that could change the run's inputs or open a modal window
  // (which would hold the run) can be used while it goes.
  bool seen = false;
  QTimer::singleShot(0, [&] {
    seen = true;
    EXPECT_TRUE(form_->Running());
    for (const char* button :
         {"convert", "ChooseVELTFile", "ComposeVELTFiles", "ChooseOutPutDir", "unmappedReport"})
      EXPECT_FALSE(Child<QPushButton>(button)->isEnabled()) << button;
    for (const char* action : {"N3", "N4"}) EXPECT_FALSE(Child<QAction>(action)->isEnabled()) << action;
    EXPECT_TRUE(Child<QPushButton>("Abort")->isEnabled());
    EXPECT_FALSE(Child<QMenu>("dirconv")->menuAction()->isEnabled());
    EXPECT_TRUE(Child<QProgressBar>("ProgressBar")->isVisible());
    EXPECT_EQ(Text("ProgressMsg"), "Выполняется конвертация...");
    form_->onConvertClicked();
  });
  Child<QPushButton>("Abort")->setFocus();
  Convert();
  EXPECT_TRUE(seen);
  EXPECT_FALSE(Child<QPushButton>("Abort")->isEnabled());
  EXPECT_EQ(form_->focusWidget(), Child<QPushButton>("convert"));  // not the cancel
  for (const char* action : {"N3", "N4"}) EXPECT_TRUE(Child<QAction>(action)->isEnabled()) << action;

  EXPECT_EQ(Text("ProgressMsg"), "Конвертация выполнена");
  EXPECT_TRUE(Child<QProgressBar>("ProgressBar")->isHidden());
  EXPECT_TRUE(Child<QMenu>("dirconv")->menuAction()->isEnabled());
  EXPECT_TRUE(Child<QPushButton>("convert")->isEnabled());
  EXPECT_TRUE(fs::file_size(app_.File("out/tF1232401.DBF")) > 0);
  EXPECT_TRUE(LogHas("Конвертация файла " + app_.File("F1232401.DBF") + " успешно завершена."));
  int starts = 0;
  for (const std::string& line : Log()) starts += line.find("Запущена конвертация") != std::string::npos;
  EXPECT_EQ(starts, 1);
  EXPECT_TRUE(messages_.empty()) << messages_[0];

  // Another archive: the status and the summary were the last one's.
  EXPECT_FALSE(Child("runSummary")->isHidden());
  answers_ = {QString::fromStdString(app_.File("F1232402.DBF"))};
  form_->onChooseArchiveClicked();
  EXPECT_EQ(Text("ProgressMsg"), "Конвертация не выполнялась");
  EXPECT_TRUE(Child("runSummary")->isHidden());
  EXPECT_TRUE(Child<QPushButton>("unmappedReport")->isHidden());
}

TEST_F(MainWindowTest, ClosingDuringARunCancelsItAndClosesAfterwards) {
  UseSampleApplication();
  fs::copy(fs::path(VELT_SOURCE_DIR) / "data/sample/archives/F1232401.DBF", app_.File("F1232401.DBF"));
  Open();
  ChooseArchiveAndOutput(app_.File("F1232401.DBF"));
  // Asked first: a "no" leaves the run going and the window open.
  agree_ = false;
  form_->onConvertClicked();
  EXPECT_FALSE(form_->close());
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0], "Идёт конвертация. Прервать её и закрыть окно?");
  EXPECT_TRUE(form_->Running());
  agree_ = true;
  EXPECT_FALSE(form_->close());
  WaitForRun();
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(Text("ProgressMsg"), "Конвертация отменена");
  EXPECT_TRUE(LogHas("Конвертация файла " + app_.File("F1232401.DBF") + " отменена."));
  EXPECT_NE(Ini().find("Visible=0"), std::string::npos);
}

TEST_F(MainWindowTest, ARunThatEndsWhileTheCloseQuestionIsOpenLeavesNoCancelBehind) {
  UseSampleApplication();
  fs::copy(fs::path(VELT_SOURCE_DIR) / "data/sample/archives/F1232401.DBF", app_.File("F1232401.DBF"));
  Open();
  ChooseArchiveAndOutput(app_.File("F1232401.DBF"));
  form_->onConvertClicked();
  // The question's own event loop sees the run end before the answer.
  whileAsked_ = [this] { WaitForRun(); };
  form_->close();
  EXPECT_EQ(questions_.size(), 1u);
  EXPECT_FALSE(form_->Running());
  EXPECT_FALSE(form_->isVisible());
  EXPECT_TRUE(LogHas("Конвертация файла " + app_.File("F1232401.DBF") + " успешно завершена."));
}

TEST_F(MainWindowTest, ChecksBeforeARunLeaveTheWindowAndRunErrorsPutItBack) {
  UseSampleApplication();
  Open();
  const std::size_t logLines = Log().size();
  // No archive chosen: the placeholder is no path; the button waits for both.
  EXPECT_FALSE(Child<QPushButton>("convert")->isEnabled());
  Convert();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].starts_with("Файл архива ВЕЛТ не выбран.")) << messages_[0];
  auto untouched = [&] {
    EXPECT_EQ(Text("ProgressMsg"), "Конвертация не выполнялась");
    EXPECT_TRUE(Child<QProgressBar>("ProgressBar")->isHidden());
    EXPECT_TRUE(Child("runSummary")->isHidden());
    EXPECT_FALSE(Child<QPushButton>("Abort")->isEnabled());
    EXPECT_EQ(Log().size(), logLines);
  };
  untouched();

  // An archive but no output folder: said before the run, in words.
  fs::copy(fs::path(VELT_SOURCE_DIR) / "data/sample/archives/F6721703.DBF", app_.File("F6721703.DBF"));
  answers_ = {QString::fromStdString(app_.File("F6721703.DBF"))};
  form_->onChooseArchiveClicked();
  EXPECT_FALSE(Child<QPushButton>("convert")->isEnabled());
  messages_.clear();
  Convert();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "Таблицы результатов нельзя записать в папку вывода.\nПапка не выбрана.");
  untouched();
  // A folder that is gone is refused when chosen.
  answers_ = {QString::fromStdString(app_.File("gone"))};
  messages_.clear();
  form_->onChooseOutputDirClicked();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].starts_with("Таблицы результатов нельзя записать в папку вывода.\nПапка "));
  EXPECT_EQ(Text("outdirpath"), "Не выбран каталог выгрузки");
  EXPECT_FALSE(Child<QPushButton>("convert")->isEnabled());

  // The command line's rule for what a run writes: an output table that is
  // a link, or the archive itself, is refused before the run, by its role.
#ifndef _WIN32  // links: a symbolic one needs a right that a Windows user lacks
  ChooseArchiveAndOutput(app_.File("F6721703.DBF"));
  fs::create_symlink(app_.File("elsewhere.DBF"), app_.File("out/tF6721703.DBF"));
  messages_.clear();
  Convert();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].starts_with("Запись невозможна (таблица результатов архива ")) << messages_[0];
  EXPECT_NE(messages_[0].find("это символическая ссылка"), std::string::npos) << messages_[0];
  untouched();
  fs::remove(app_.File("out/tF6721703.DBF"));
  fs::copy(app_.File("F6721703.DBF"), app_.File("out/F6721703.DBF"));
  fs::create_hard_link(app_.File("out/F6721703.DBF"), app_.File("out/teF6721703.DBF"));
  ChooseArchiveAndOutput(app_.File("out/F6721703.DBF"));
  messages_.clear();
  Convert();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find("— это и таблица результатов архива"), std::string::npos) << messages_[0];
  EXPECT_NE(messages_[0].find(", и архив ("), std::string::npos) << messages_[0];
  untouched();
  fs::remove(app_.File("out/teF6721703.DBF"));
#endif

  // An archive without most fields: the error's own text first, then the file.
  Table archive;
  archive.CreateNew(app_.File("F1232401.DBF"), 2, 1);
  archive.CreateField("NGOD", "C", 10, 0);
  archive.CreateExec();
  archive.SetTableName(app_.File("F1232401.DBF"));
  archive.Open();
  archive.Append();
  archive.SetString(0, "77");
  archive.Post();
  archive.Close();
  ChooseArchiveAndOutput(app_.File("F1232401.DBF"));
  messages_.clear();
  Convert();
  ASSERT_EQ(messages_.size(), 1u);
  std::size_t lineEnd = messages_[0].find('\n');
  ASSERT_NE(lineEnd, std::string::npos);
  // Found before the first record: the engine's line for the first field it
  // lacks, then the file, and no output table.
  EXPECT_LT(messages_[0].find("Field 'PROF' not found"), lineEnd) << messages_[0];
  EXPECT_NE(messages_[0].find("F1232401.DBF", lineEnd), std::string::npos) << messages_[0];
  EXPECT_EQ(Text("ProgressMsg"), "Конвертация отменена");
  EXPECT_TRUE(Child<QMenu>("dirconv")->menuAction()->isEnabled());
  EXPECT_TRUE(Child<QPushButton>("convert")->isEnabled());
}

TEST_F(MainWindowTest, MenusAndButtonsAnswerTheKeyboard) {
  Open();
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  auto* showlog = Child<QPushButton>("showlog");
  // The texts stay the captions; the letter is drawn underlined.
  EXPECT_EQ(showlog->text().toStdString(), "Открыть журнал");
  EXPECT_EQ(MarkedCaption(*showlog, showlog->text()).toStdString(), "Открыть &журнал");
  QTest::sendKeyEvent(QTest::Click, form_.get(), Qt::Key(0x0416), QStringLiteral("ж"), Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return form_->LogShown(); }, 2000));
  EXPECT_EQ(MarkedCaption(*showlog, showlog->text()).toStdString(), "Закрыть &журнал");

  // F10 opens the first menu, a letter there picks its item.
  auto* file = Child<QMenu>("prexit");
  QTest::keyClick(form_.get(), Qt::Key_F10);
  EXPECT_TRUE(QTest::qWaitFor([&] { return file->isVisible(); }, 2000));
  std::string opened;
  QTimer::singleShot(0, [&opened] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    opened = modal->objectName().toStdString();
    modal->close();
  });
  QTest::sendKeyEvent(QTest::Click, file, Qt::Key(0x041D), QStringLiteral("н"),
                      Qt::NoModifier);  // "Настройки"
  EXPECT_EQ(opened, "parform");
}

TEST(DirectoryDialogTest, TypedFolderIsCreatedOnlyWhenTheUserAgrees) {
  App();
  TempDir root;
  std::vector<std::string> questions;
  bool agree = false;
  DirectoryDialog dialog(nullptr, QString::fromStdString(root.Path()), [&](QWidget*, const QString& text) {
    questions.push_back(text.toStdString());
    return agree;
  });
  dialog.EditLine()->setText("new/deeper");  // relative to the start folder
  dialog.accept();
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(fs::exists(root.File("new")));
  agree = true;
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(fs::is_directory(root.File("new/deeper")));
  EXPECT_EQ(dialog.Directory(), QDir::toNativeSeparators(QString::fromStdString(root.File("new/deeper"))));
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_EQ(questions[0], "The specified directory does not exist. Create it?");

  // An existing folder is taken without a question.
  DirectoryDialog again(nullptr, QString::fromStdString(root.Path()),
                        [&](QWidget*, const QString&) { return false; });
  again.EditLine()->setText(QString::fromStdString(root.File("new")));
  again.accept();
  EXPECT_EQ(again.result(), QDialog::Accepted);
}

// A name that cannot be a folder is refused with a reason, the dialog stays.
TEST(DirectoryDialogTest, AFileInTheWayIsNamed) {
  App();
  TempDir root;
  ASSERT_TRUE(platform::WriteWholeFile(root.File("plain"), "x"));
  std::vector<std::pair<MessageKind, QString>> told;
  DirectoryDialog dialog(nullptr, QString::fromStdString(root.Path()),
                         [](QWidget*, const QString&) { return true; });
  dialog.SetTell([&](QWidget*, MessageKind kind, const QString& text) { told.emplace_back(kind, text); });
  const QString plain = QDir::toNativeSeparators(QString::fromStdString(root.File("plain")));
  for (const char* typed : {"plain", "plain/sub"}) {
    dialog.EditLine()->setText(typed);
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted) << typed;
  }
  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(told[0], std::make_pair(MessageKind::Warning,
                                    plain + QStringLiteral(" — это файл, а не папка. Выберите папку.")));
  EXPECT_EQ(told[1].first, MessageKind::Error);
  EXPECT_TRUE(told[1].second.startsWith(
      QStringLiteral("Папку %1 не удалось создать.\nПапка %2: это файл, а не папка")
          .arg(QDir::toNativeSeparators(QString::fromStdString(root.File("plain/sub"))), plain)))
      << told[1].second.toStdString();
}

}  // namespace
}  // namespace velt
