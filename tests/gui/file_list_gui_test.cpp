// The composition window on the offscreen platform: its controls, the name
// field and path label, adding and removing entries, joins that succeed and
// fail, the state remembered between openings.
//
// With --screenshots=DIR (scripts/screenshots.sh) one more test saves
// pictures of the window into that folder.
#include "support/run_state.h"  // before Qt, whose "slots" macro it would meet
//
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <thread>

#include "gui/file_list_window.h"
#include "state/ini_file.h"
#include "state/startup.h"
#include "support/code_page.h"
#include "support/platform.h"
#include "support_files/gui_app.h"
#include "support_files/screenshots.h"
#include "support_files/temp_dir.h"
#include "table/table.h"

namespace velt {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

const std::string kSample123 = std::string(VELT_SOURCE_DIR) + "/data/sample/archives/F1232401.DBF";
const std::string kSample672 = std::string(VELT_SOURCE_DIR) + "/data/sample/archives/F6721703.DBF";
const QColor kFormColour{231, 231, 220};

QApplication& App() {
  static int argc = 1;
  static char name[] = "file_list_gui_test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's own statics would be gone before it at exit.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

QString Q(const std::string& text1251) { return QString::fromStdString(AnsiToUtf8(text1251)); }

// Where a joined table goes: the application's "in" folder (1251).
std::string InFolder(const std::string& name) {
  return State().appDir + "in" + platform::PathSeparator() + name;
}

// The window's messages, in UTF-8.
struct RecordingMessages {
  std::vector<std::string> shown;
  std::vector<MessageKind> kinds;
  ShowMessageFn Recorder() {
    return [this](const std::string& text, MessageKind kind) {
      shown.push_back(AnsiToUtf8(text));
      kinds.push_back(kind);
    };
  }
};

class FileListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    fs::create_directories(dir_.Path() + "app/in");
    DerivePaths(State(), dir_.Path() + "app", "veltconv");
  }

  // A window whose open-file dialog answers from `answers_` (nothing: cancel).
  std::unique_ptr<FileListWindow> NewWindow() {
    auto window = std::make_unique<FileListWindow>(nullptr, messages_.Recorder());
    window->ChooseFile().SetRunner([this](QWidget*, const QString&, const QString&, const QString&) {
      std::optional<QString> answer;
      if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
      }
      return answer;
    });
    return window;
  }

  // A join started by the button, to its end.
  static void Compose(FileListWindow& window) {
    window.onComposeClicked();
    ASSERT_TRUE(testing::ProcessEventsUntil([&] { return !window.Joining(); }));
  }

  void Add(FileListWindow& window, const QString& path) {
    answers_.push_back(path);
    window.onAddFileClicked();
  }

  std::string Copy(const std::string& sample, const std::string& relative) {
    std::string path = dir_.File(relative);
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(sample, path);
    return path;
  }

  template <typename T>
  static T* Child(FileListWindow& window, const char* name) {
    T* child = window.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  static QStringList Items(FileListWindow& window) {
    QStringList items;
    auto* list = Child<QListWidget>(window, "FileListBox");
    for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    return items;
  }
  static QColor LabelColour(FileListWindow& window) {
    return Child<QLabel>(window, "OutFilename")->palette().color(QPalette::Window);
  }

  TempDir dir_;
  RecordingMessages messages_;
  std::deque<QString> answers_;
};

TEST_F(FileListTest, ControlsTextsAndLook) {
  auto window = NewWindow();
  window->show();
  QApplication::processEvents();
  EXPECT_EQ(window->objectName(), "FileList");
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Выбор файлов ВЕЛТ для склеивания"));
  EXPECT_EQ(window->palette().color(QPalette::Window), kFormColour);
  EXPECT_EQ(window->minimumSize(), window->maximumSize());                   // a fixed border
  EXPECT_EQ(window->focusWidget(), window->findChild<QWidget*>("AddFile"));  // an empty list: add first

  // Top to bottom, with their texts.
  const std::vector<std::pair<const char*, QString>> controls = {
      {"Label3", "Перечень файлов для объединения"},
      {"DelCurrRec", "Удалить текущую запись"},
      {"ClearFL", "Очистить список"},
      {"FileListBox", ""},
      {"Label1", "Имя объединенного файла:"},
      {"EditOutFilename", ""},
      {"FconcatPG", ""},
      {"Label2", "Файл будет сохранен в каталоге "},
      {"OutFilename", "Не задано имя объединенного файла"},
      {"AddFile", "+ Добавить файл..."},
      {"Compose", "Скомпоновать файлы и выйти"},
      {"CancExit", "Отменить и выйти"}};
  int lastTop = -1;
  for (const auto& [name, text] : controls) {
    SCOPED_TRACE(name);
    auto* widget = Child<QWidget>(*window, name);
    ASSERT_NE(widget, nullptr);
    EXPECT_GE(widget->y(), lastTop);
    lastTop = widget->y();
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      EXPECT_EQ(label->text(), text);
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
      EXPECT_EQ(button->text(), text);
    }
  }
  EXPECT_TRUE(Child<QLabel>(*window, "Label3")->font().bold());
  EXPECT_TRUE(Child<QPushButton>(*window, "AddFile")->font().bold());
  auto* path = Child<QLabel>(*window, "OutFilename");
  EXPECT_TRUE(path->font().bold());
  EXPECT_EQ(path->palette().color(QPalette::WindowText), QColor(128, 0, 0));
  EXPECT_EQ(LabelColour(*window), kFormColour);
  auto* list = Child<QListWidget>(*window, "FileListBox");
  EXPECT_EQ(list->layoutDirection(), Qt::RightToLeft);
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(list->font().family(), QStringLiteral("Courier New"));
  EXPECT_TRUE(list->font().bold());
  auto* bar = Child<QProgressBar>(*window, "FconcatPG");
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(bar->maximum(), 100);

  QTest::keyClick(window.get(), Qt::Key_Escape);  // Esc presses "Отменить и выйти"
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->result(), QDialog::Rejected);
}

TEST_F(FileListTest, NameFieldPathLabelAndTheRedLabelOfAMissingName) {
  auto window = NewWindow();
  window->show();
  Add(*window, Q(Copy(kSample123, "a/F1232401.DBF")));
  auto* edit = Child<QLineEdit>(*window, "EditOutFilename");
  auto* label = Child<QLabel>(*window, "OutFilename");

  Compose(*window);  // no name: red label, no message, nothing written
  EXPECT_EQ(LabelColour(*window), QColor(255, 0, 0));
  // Its text stays readable on the red (black: 5.3:1).
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 0));
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_FALSE(Child<QProgressBar>(*window, "FconcatPG")->isVisible());
  EXPECT_TRUE(window->isVisible());

  QTest::keyClicks(edit, " f12");  // typed letters become capitals
  QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QStringLiteral("ё"), Qt::NoModifier);
  QTest::keyClicks(edit, ".dbf");
  EXPECT_EQ(edit->text(), QStringLiteral(" F12Ё.DBF"));
  EXPECT_EQ(label->text(), Q(InFolder(Utf8ToAnsi("F12Ё.DBF"))));
  EXPECT_EQ(LabelColour(*window), kFormColour);
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(128, 0, 0));

  QTest::mouseDClick(edit, Qt::LeftButton);
  EXPECT_EQ(edit->text(), QString());
  EXPECT_EQ(label->text(), QStringLiteral("Не задано имя объединенного файла"));
}

TEST_F(FileListTest, AddingKeepsTheListSortedAndRefusesAPathListedInOtherCase) {
  auto window = NewWindow();
  window->show();
  Add(*window, "/data/c/F3.DBF");
  Add(*window, "/data/A/F1.DBF");
  Add(*window, "/data/b/F2.DBF");
  answers_.clear();
  window->onAddFileClicked();  // cancelled dialog: nothing happens
  EXPECT_EQ(Items(*window), (QStringList{"/data/A/F1.DBF", "/data/b/F2.DBF", "/data/c/F3.DBF"}));
  EXPECT_EQ(window->ChooseFile().FileName(), "/data/b/F2.DBF");

  Add(*window, "/DATA/B/f2.dbf");
  EXPECT_EQ(Items(*window).size(), 3);
  EXPECT_EQ(Child<QListWidget>(*window, "FileListBox")->currentRow(), 1);
  EXPECT_EQ(messages_.shown, std::vector<std::string>{"Выбранный файл уже указан в списке"});

  window->onRemoveFileClicked();
  EXPECT_EQ(Items(*window), (QStringList{"/data/A/F1.DBF", "/data/c/F3.DBF"}));
  Child<QListWidget>(*window, "FileListBox")->clearSelection();
  window->onRemoveFileClicked();  // nothing selected: nothing removed
  EXPECT_EQ(Items(*window).size(), 2);
  window->onClearListClicked();
  EXPECT_TRUE(Items(*window).isEmpty());

  // Several files chosen at once: each new one is added, one already listed
  // is refused with a single warning.
  Add(*window, "/data/A/F1.DBF");
  messages_ = {};
  window->ChooseFile().SetManyRunner([](QWidget*, const QString&, const QString&, const QString&) {
    return std::optional<QStringList>({"/data/e/F5.DBF", "/DATA/A/f1.dbf", "/data/d/F4.DBF"});
  });
  window->onAddFileClicked();
  EXPECT_EQ(Items(*window), (QStringList{"/data/A/F1.DBF", "/data/d/F4.DBF", "/data/e/F5.DBF"}));
  EXPECT_EQ(messages_.shown, std::vector<std::string>{"Выбранный файл уже указан в списке"});
  EXPECT_EQ(messages_.kinds, std::vector<MessageKind>{MessageKind::Warning});
}

TEST_F(FileListTest, ASuccessfulJoinClosesTheWindowAndTheListComesBackNextTime) {
  const std::string a = Copy(kSample672, "b/F6721703.DBF"), b = Copy(kSample123, "a/F1232401.DBF");
  {
    auto window = NewWindow();
    window->show();
    Add(*window, Q(a));
    Add(*window, Q(b));
    QTest::keyClicks(Child<QLineEdit>(*window, "EditOutFilename"), "f1232401.dbf");
    auto* bar = Child<QProgressBar>(*window, "FconcatPG");
    auto* compose = Child<QPushButton>(*window, "Compose");
    std::vector<int> positions;
    std::vector<bool> composeEnabled;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
      positions.push_back(value);
      composeEnabled.push_back(compose->isEnabled());
    });
    Compose(*window);

    const std::string out = InFolder("F1232401.DBF");
    EXPECT_EQ(window->JoinedPath(), out);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_EQ(messages_.shown,
              std::vector<std::string>{
                  "Склеивание файлов успешно завершено. Выходной файл находится по пути " + AnsiToUtf8(out)});
    EXPECT_EQ(messages_.kinds, std::vector<MessageKind>{MessageKind::Information});
    EXPECT_EQ(positions, (std::vector<int>{5, 52, 100}));
    EXPECT_EQ(composeEnabled, (std::vector<bool>{false, false, false}));
    EXPECT_TRUE(compose->isEnabled());
    EXPECT_FALSE(bar->isVisible());
    Table joined;
    joined.SetTableName(out);
    joined.Open();
    EXPECT_EQ(joined.Count(), 390 + 292);
    EXPECT_TRUE(joined.FieldExists("SPOL"));  // the 123 archive is first in the list
  }
  auto again = NewWindow();
  again->show();
  EXPECT_EQ(Items(*again), (QStringList{Q(b), Q(a)}));
  EXPECT_EQ(Child<QLineEdit>(*again, "EditOutFilename")->text(), "F1232401.DBF");
  EXPECT_EQ(Child<QLabel>(*again, "OutFilename")->text(), Q(InFolder("F1232401.DBF")));
  EXPECT_EQ(again->ChooseFile().FileName(), Q(b));

  // Joining again over that table asks first; a "no" leaves it as it was.
  std::vector<QString> asked;
  bool agree = false;
  again->SetReplaceQuestion([&](QWidget*, const QString& text) {
    asked.push_back(text);
    return agree;
  });
  messages_.shown.clear();
  Compose(*again);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_TRUE(asked[0].contains(Q(InFolder("F1232401.DBF")))) << asked[0].toStdString();
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(again->isVisible());
  agree = true;
  Compose(*again);
  EXPECT_EQ(again->JoinedPath(), InFolder("F1232401.DBF"));
}

TEST_F(FileListTest, AFailedJoinLeavesTheWindowOpenAndAnEngineErrorIsShown) {
  const std::string a = Copy(kSample123, "a/F1.DBF"), b = Copy(kSample123, "a/F2.DBF");
  auto window = NewWindow();
  window->show();
  Add(*window, Q(a));
  Add(*window, Q(b));
  Child<QLineEdit>(*window, "EditOutFilename")->setText("J.DBF");
  fs::remove(b);
  Compose(*window);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->JoinedPath().empty());
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.kinds[0], MessageKind::Error);
  EXPECT_TRUE(
      messages_.shown[0].starts_with("Нет доступа к файлу " + AnsiToUtf8(b) +
                                     "или он не существует. Склеивание файлов отменено.\nПрежний файл "))
      << messages_.shown[0];
  EXPECT_EQ(Items(*window), (QStringList{Q(a), Q(b)}));
  EXPECT_FALSE(Child<QProgressBar>(*window, "FconcatPG")->isVisible());
  EXPECT_TRUE(Child<QPushButton>(*window, "Compose")->isEnabled());

  // The first entry gone: the engine's error, shown; the bar stays.
  fs::remove(a);
  messages_.shown.clear();
  Compose(*window);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_NE(messages_.shown[0].find("Table does not exist."), std::string::npos);
  EXPECT_TRUE(Child<QProgressBar>(*window, "FconcatPG")->isVisible());
  EXPECT_TRUE(window->isVisible());

  // The joined table is one of the entries: refused by the command line's
  // rule before the join starts, naming both roles; nothing is begun.
  Add(*window, Q(Copy(kSample123, "app/in/J.DBF")));
  Child<QProgressBar>(*window, "FconcatPG")->hide();
  messages_.shown.clear();
  window->onComposeClicked();
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_TRUE(messages_.shown[0].starts_with("Запись невозможна (объединённая таблица)"))
      << messages_.shown[0];
  EXPECT_NE(messages_.shown[0].find(", и объединяемый архив ("), std::string::npos) << messages_.shown[0];
  EXPECT_FALSE(Child<QProgressBar>(*window, "FconcatPG")->isVisible());
}

TEST_F(FileListTest, ClosingWritesTheStateAndAnEmptyListLeavesNoListSection) {
  {
    auto window = NewWindow();
    window->show();
    Add(*window, "/data/F1.DBF");
    Child<QPushButton>(*window, "CancExit")->click();
    EXPECT_FALSE(window->isVisible());
  }
  {
    IniFile ini(IniFilePath());
    EXPECT_EQ(ini.ReadString("VELT_CONV.FileListBox_Items", "Item0", ""), "/data/F1.DBF");
    EXPECT_EQ(ini.ReadString("VELT_CONV", "OutFilename_Caption", ""),
              Utf8ToAnsi("Не задано имя объединенного файла"));
  }
  auto window = NewWindow();
  window->show();
  window->onClearListClicked();
  window->close();  // the close box
  IniFile ini(IniFilePath());
  EXPECT_EQ(ini.ReadString("VELT_CONV.FileListBox_Items", "Count", "none"), "none");
}

TEST_F(FileListTest, ShowFileListWindowReturnsTheJoinedPath) {
  const std::string a = Copy(kSample123, "a/F1.DBF");
  {
    auto window = NewWindow();
    window->show();
    Add(*window, Q(a));
    Child<QLineEdit>(*window, "EditOutFilename")->setText("F1232401.DBF");
    window->reject();
  }
  std::string joined;
  QTimer::singleShot(0, [] {
    if (auto* window = qobject_cast<FileListWindow*>(QApplication::activeModalWidget()))
      window->onComposeClicked();
  });
  EXPECT_TRUE(ShowFileListWindow(nullptr, joined, messages_.Recorder()));
  EXPECT_EQ(joined, InFolder("F1232401.DBF"));

  QTimer::singleShot(0, [] {
    if (auto* window = QApplication::activeModalWidget()) window->close();
  });
  joined = "unchanged";
  EXPECT_FALSE(ShowFileListWindow(nullptr, joined, messages_.Recorder()));
  EXPECT_EQ(joined, "unchanged");
}

// Every read of the listed tables takes `delay`: a join long enough to be
// watched and cancelled.
class SlowReads {
 public:
  SlowReads(const std::vector<std::string>& tables, std::chrono::milliseconds delay) {
    platform::FaultHooks hooks;
    hooks.readFault = [tables, delay](const std::string& path, std::uint64_t, std::size_t) {
      if (std::find(tables.begin(), tables.end(), path) != tables.end()) std::this_thread::sleep_for(delay);
      return false;
    };
    platform::SetFaultHooks(hooks);
  }
  ~SlowReads() { platform::SetFaultHooks({}); }
  SlowReads(const SlowReads&) = delete;
  SlowReads& operator=(const SlowReads&) = delete;
};

// The join goes on its own thread: the window keeps answering, and a close
// asks whether to stop it ("no" lets it end as usual).
TEST_F(FileListTest, TheWindowAnswersWhileAJoinRunsAndACloseAsksFirst) {
  auto window = NewWindow();
  window->show();
  std::vector<std::string> tables;
  for (const char* name : {"F1.DBF", "F2.DBF", "F3.DBF", "F4.DBF"}) {
    tables.push_back(Copy(kSample123, std::string("a/") + name));
    Add(*window, Q(tables.back()));
  }
  Child<QLineEdit>(*window, "EditOutFilename")->setText("J.DBF");
  std::vector<QString> asked;
  window->SetStopQuestion([&](QWidget*, const QString& text) {
    asked.push_back(text);
    return false;
  });
  SlowReads slow(tables, std::chrono::milliseconds(60));

  // A timer of the window's thread keeps its pace while the join goes.
  QElapsedTimer clock;
  qint64 last = 0, longest = 0;
  QTimer tick;
  tick.setInterval(10);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    longest = std::max(longest, clock.elapsed() - last);
    last = clock.elapsed();
  });
  clock.start();
  tick.start();
  window->onComposeClicked();
  EXPECT_TRUE(window->Joining());
  EXPECT_FALSE(Child<QPushButton>(*window, "Compose")->isEnabled());
  ASSERT_TRUE(
      testing::ProcessEventsUntil([&] { return Child<QProgressBar>(*window, "FconcatPG")->value() > 5; }));
  Child<QPushButton>(*window, "CancExit")->click();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], QStringLiteral("Идёт склеивание файлов. Прервать его и закрыть окно?"));
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->Joining());
  ASSERT_TRUE(testing::ProcessEventsUntil([&] { return !window->Joining(); }));
  tick.stop();
  EXPECT_GT(clock.elapsed(), 500);  // long enough to have been watched
  EXPECT_LT(longest, 100);
  EXPECT_EQ(window->JoinedPath(), InFolder("J.DBF"));
  EXPECT_FALSE(window->isVisible());
}

// "yes" cancels the join, which leaves the earlier joined table as it was
// and an empty partial one, says so, and the window closes once it has
// ended.
TEST_F(FileListTest, ClosingDuringAJoinCancelsItAndClosesAfterwards) {
  const std::string out = InFolder("J.DBF");
  fs::copy_file(kSample672, out);
  std::string earlier;
  ASSERT_TRUE(platform::ReadWholeFile(out, earlier));
  auto window = NewWindow();
  window->show();
  std::vector<std::string> tables;
  for (const char* name : {"F1.DBF", "F2.DBF", "F3.DBF"}) {
    tables.push_back(Copy(kSample123, std::string("a/") + name));
    Add(*window, Q(tables.back()));
  }
  Child<QLineEdit>(*window, "EditOutFilename")->setText("J.DBF");
  window->SetReplaceQuestion([](QWidget*, const QString&) { return true; });
  int asked = 0;
  window->SetStopQuestion([&](QWidget*, const QString&) {
    ++asked;
    return true;
  });
  SlowReads slow(tables, std::chrono::milliseconds(60));

  window->onComposeClicked();
  ASSERT_TRUE(
      testing::ProcessEventsUntil([&] { return Child<QProgressBar>(*window, "FconcatPG")->value() > 5; }));
  EXPECT_FALSE(window->close());  // the close box: it waits for the join
  EXPECT_TRUE(window->ClosePending());
  EXPECT_FALSE(window->close());  // asked once only
  EXPECT_EQ(asked, 1);
  ASSERT_TRUE(testing::ProcessEventsUntil([&] { return !window->Joining(); }));
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->result(), QDialog::Rejected);
  EXPECT_TRUE(window->JoinedPath().empty());
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_TRUE(messages_.shown[0].starts_with("Склеивание файлов отменено.\nПрежний файл " + AnsiToUtf8(out)))
      << messages_.shown[0];
  std::string after;
  ASSERT_TRUE(platform::ReadWholeFile(out, after));
  EXPECT_EQ(after, earlier);
  Table partial;
  partial.SetTableName(out + ".partial");
  partial.Open();
  EXPECT_EQ(partial.Count(), 0);
}

// Pictures for a person to look at; only with --screenshots=DIR.
TEST_F(FileListTest, Screenshots) {
  const std::string& dir = testing::ScreenshotFolder();
  if (dir.empty()) GTEST_SKIP() << "no --screenshots=DIR";
  fs::create_directories(dir);
  auto save = [&](QWidget& widget, const char* name) {
    QApplication::processEvents();
    QString path = QString::fromStdString(dir) + "/compose_" + name;
    EXPECT_TRUE(widget.grab().save(path)) << path.toStdString();
  };
  const std::string a = Copy(kSample123, "archives/2024/F1232401.DBF");
  const std::string b = Copy(kSample123, "archives/2024/F1232402.DBF");
  // Paths on disk are UTF-8 here.
  const std::string c = Copy(kSample123, "архивы/станция 123/длинная папка с архивами/F1232403.DBF");
  auto window = NewWindow();
  window->show();
  QTest::qWait(200);
  save(*window, "01-empty.png");
  for (const std::string& path : {c, b, a}) Add(*window, QString::fromStdString(path));
  Compose(*window);
  save(*window, "02-name-missing.png");
  QTest::keyClicks(Child<QLineEdit>(*window, "EditOutFilename"), "f1232499.dbf");
  Child<QListWidget>(*window, "FileListBox")->setCurrentRow(1);
  save(*window, "03-listed.png");

  bool taken = false;
  auto* bar = Child<QProgressBar>(*window, "FconcatPG");
  QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
    if (value > 5 && value < 100 && !taken) {
      taken = true;
      save(*window, "04-joining.png");
    }
  });
  Child<QLineEdit>(*window, "EditOutFilename")->setText("F1232499.DBF");
  fs::remove(c);  // the join stops at the last entry and the window stays
  Compose(*window);
  EXPECT_TRUE(taken);
  QMessageBox box(QMessageBox::NoIcon, "veltconv", QString::fromStdString(messages_.shown.back()),
                  QMessageBox::Ok, window.get());
  box.show();
  QTest::qWait(100);
  save(box, "05-message.png");
  box.accept();
}

}  // namespace
}  // namespace velt
