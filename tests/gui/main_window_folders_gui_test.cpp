// Where the main window's dialogs open after a restart, the list of the
// last archives in its menu, the output folder button and the summary's
// numbers.
#include "support/run_state.h"
//
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <optional>

#include "gui/main_window.h"
#include "gui/message_box_qt.h"
#include "state/startup.h"
#include "support/platform.h"
#include "support_files/gui_app.h"
#include "support_files/temp_dir.h"

namespace velt {
namespace {

namespace fs = std::filesystem;

class MainWindowFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::GuiApp();
    fs::create_directories(fs::path(app_.Path()) / "archives");
    fs::create_directories(fs::path(app_.Path()) / "out");
    for (const char* name : {"F1232401.DBF", "F1232402.DBF"})
      ASSERT_TRUE(platform::WriteWholeFile(Archive(name), "not read here"));
  }
  void TearDown() override { form_.reset(); }

  std::string Archive(const char* name) { return app_.File("archives/") + name; }

  MainWindow& Open() {
    MainWindowOptions options;
    options.appDir = app_.Path();
    options.dialogs.showMessage = [this](QWidget*, const QString& text) { messages_.push_back(text); };
    options.dialogs.chooseArchive = [this](QWidget*, const QString& dir, const QString& file) {
      starts_.push_back({dir, file});
      std::optional<QString> answer = answers_.front();
      answers_.pop_front();
      return answer;
    };
    options.dialogs.chooseDirectory = [this](QWidget*, const QString& dir) {
      starts_.push_back({dir, QString()});
      return std::optional<QString>();
    };
    options.dialogs.ask = [](QWidget*, const QString&) { return true; };
    form_ = std::make_unique<MainWindow>(options);
    form_->show();
    return *form_;
  }
  void Restart() {
    form_->close();
    form_.reset();
    Open();
  }
  QStringList RecentItems() {
    auto* menu = form_->findChild<QMenu*>("RecentArchives");
    EXPECT_NE(menu, nullptr);
    QMetaObject::invokeMethod(menu, "aboutToShow");
    QStringList items;
    for (QAction* action : menu->actions())
      if (!action->isSeparator()) items << action->text();
    return items;
  }

  testing::TempDir app_;
  std::unique_ptr<MainWindow> form_;
  std::deque<std::optional<QString>> answers_;
  std::vector<std::pair<QString, QString>> starts_;
  QStringList messages_;
};

TEST_F(MainWindowFoldersTest, DialogsOpenWhereTheChoiceIsAlsoAfterARestart) {
  Open();
  answers_ = {QString::fromStdString(Archive("F1232402.DBF"))};
  form_->onChooseArchiveClicked();
  form_->findChild<QLabel*>("outdirpath")->setText(QString::fromStdString(app_.File("out")));
  Restart();
  answers_ = {std::nullopt};
  form_->onChooseArchiveClicked();
  form_->onChooseOutputDirClicked();
  ASSERT_EQ(starts_.size(), 3u);
  EXPECT_EQ(fs::path(starts_[1].first.toStdString()), fs::path(app_.File("archives/")));
  EXPECT_EQ(starts_[1].second.toStdString(), Archive("F1232402.DBF"));
  EXPECT_EQ(fs::path(starts_[2].first.toStdString()), fs::path(app_.File("out")));
}

TEST_F(MainWindowFoldersTest, RecentArchivesInTheMenuMissingMarkedAndRemovable) {
  Open();
  answers_ = {QString::fromStdString(Archive("F1232401.DBF")),
              QString::fromStdString(Archive("F1232402.DBF"))};
  form_->onChooseArchiveClicked();
  form_->onChooseArchiveClicked();
  ASSERT_TRUE(platform::RemoveFile(Archive("F1232401.DBF")));
  Restart();
  QStringList items = RecentItems();
  ASSERT_GE(items.size(), 3);
  EXPECT_EQ(items[0].toStdString(), Archive("F1232402.DBF"));
  EXPECT_TRUE(items[1].contains(QStringLiteral("не найден")));
  form_->findChild<QMenu*>("RecentArchives")->actions()[1]->trigger();  // removed once agreed
  EXPECT_EQ(RecentItems().size(), 2);  // the archive that is there, and "remove the missing"
}

TEST_F(MainWindowFoldersTest, F1OpensTheGuideWithItsPictures) {
  Open();
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  QTest::keyClick(form_.get(), Qt::Key_F1);
  QWidget* help = nullptr;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->objectName() == "HelpWindow" && window->isVisible()) help = window;
  ASSERT_NE(help, nullptr);
  auto* text = help->findChild<QTextBrowser*>("HelpText");
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->toPlainText().contains(QStringLiteral("Руководство оператора")));
  // The pictures come from the program's own resources.
  EXPECT_FALSE(QImage(QStringLiteral(":/help/main_01-idle.png")).isNull());
  EXPECT_TRUE(text->document()->resource(QTextDocument::ImageResource, QUrl("main_01-idle.png")).isValid());
  // The widest picture is drawn smaller: the text is never scrolled sideways.
  QApplication::processEvents();
  EXPECT_EQ(text->horizontalScrollBar()->maximum(), 0);
  help->close();
}

// Qt's own button texts are English without its translations, which the
// program does not carry.
TEST_F(MainWindowFoldersTest, QuestionsAreAskedInRussianUnderTheProgramsName) {
  QStringList captions;
  QString title;
  QTimer::singleShot(0, [&] {
    QMessageBox* box = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
      if (window->isVisible() && qobject_cast<QMessageBox*>(window) != nullptr)
        box = qobject_cast<QMessageBox*>(window);
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    for (QAbstractButton* button : box->buttons()) captions << button->text();
    box->button(QMessageBox::Cancel)->click();
  });
  EXPECT_EQ(AskQuestion(nullptr, QStringLiteral("Сохранить?"),
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save),
            QMessageBox::Cancel);
  EXPECT_EQ(title, ProgramTitle());
  captions.sort();
  EXPECT_EQ(captions, (QStringList{"&Сохранить", "Н&е сохранять", "Отмена"}));
}

}  // namespace
}  // namespace velt
