// Keyboard access as an operator uses it: Alt + a mnemonic with either
// keyboard layout, also after a caption change; Enter on the focused button
// and on a dialog's default; Tab out of a grid and back.
#include "support/run_state.h"
//
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QMainWindow>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>
#include <memory>

#include "gui/keyboard_access_qt.h"
#include "gui/settings_dialog.h"
#include "support_files/gui_app.h"

namespace velt {
namespace {

// A key pressed where the keyboard is, as the operator presses it.
void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  // With its text, as a keyboard gives it: the test library knows no text
  // of a Cyrillic key by itself.
  const QString text = key < 0x1000000 ? QString(QChar(key)).toLower() : QString();
  QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key(key), text, modifiers);
  QTest::qWait(150);  // a mnemonic's click is animated
}

void Activate(QWidget& window) {
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

class KeyboardAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::GuiApp();
    window_ = std::make_unique<QMainWindow>();
    auto* central = new QWidget(window_.get());
    auto* layout = new QVBoxLayout(central);
    for (QPushButton** button : {&choose_, &log_, &other_}) {
      *button = new QPushButton(central);
      (*button)->setAutoDefault(false);
      layout->addWidget(*button);
    }
    choose_->setText(QStringLiteral("Выбрать один"));
    SetMnemonic(*choose_, QStringLiteral("&Выбрать один"));
    log_->setText(QStringLiteral("Открыть журнал"));
    SetMnemonic(*log_, {QStringLiteral("Открыть &журнал"), QStringLiteral("Закрыть &журнал")});
    other_->setText(QStringLiteral("Другая"));
    QObject::connect(choose_, &QPushButton::clicked, [this] { ++chosen_; });
    QObject::connect(log_, &QPushButton::clicked, [this] {
      log_->setText(log_->text().startsWith(QStringLiteral("Открыть")) ? QStringLiteral("Закрыть журнал")
                                                                       : QStringLiteral("Открыть журнал"));
      ++logClicks_;
    });
    window_->setCentralWidget(central);
    Activate(*window_);
    other_->setFocus();
  }

  std::unique_ptr<QMainWindow> window_;
  QPushButton* choose_ = nullptr;
  QPushButton* log_ = nullptr;
  QPushButton* other_ = nullptr;
  int chosen_ = 0;
  int logClicks_ = 0;
};

TEST_F(KeyboardAccessTest, AltWithTheLatinLayoutMeansTheCyrillicLetterOnTheSameKey) {
  Press(Qt::Key_D, Qt::AltModifier);  // "В" sits on D
  EXPECT_EQ(chosen_, 1);
  Press(0x0412, Qt::AltModifier);  // "В" with the Russian layout
  EXPECT_EQ(chosen_, 2);
  Press(Qt::Key_Q, Qt::AltModifier);  // "Й": no control has it
  EXPECT_EQ(chosen_, 2);
}

TEST_F(KeyboardAccessTest, MnemonicSurvivesCaptionChangesInBothLayouts) {
  Press(0x0416, Qt::AltModifier);  // Alt+Ж
  Press(0x0416, Qt::AltModifier);
  Press(Qt::Key_Semicolon, Qt::AltModifier);  // Ж's key in the Latin layout
  EXPECT_EQ(logClicks_, 3);
  EXPECT_EQ(log_->text().toStdString(), "Закрыть журнал");
}

TEST_F(KeyboardAccessTest, EnterPressesTheFocusedButtonOnly) {
  choose_->setFocus();
  Press(Qt::Key_Return);
  Press(Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(chosen_, 2);
  other_->setFocus();
  Press(Qt::Key_Return);
  EXPECT_EQ(chosen_, 2);
}

TEST(SettingsKeyboardTest, EnterTakesTheChoiceShown) {
  testing::GuiApp();
  State().inputCodePage = "OEM";
  SettingsDialog form;
  Activate(form);
  auto* list = form.findChild<QComboBox*>("cbCodePage");
  list->setCurrentIndex(1);
  list->setFocus();
  Press(Qt::Key_Return);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(State().inputCodePage, "ANSI");
}

TEST(GridTabTest, TabLeavesTheGridAtItsEndAndCtrlTabAnywhere) {
  testing::GuiApp();
  QWidget window;
  QStandardItemModel model(2, 3);
  auto* grid = new QTableView(&window);
  grid->setModel(&model);
  grid->setColumnHidden(2, true);  // the last shown column ends a row
  LetTabLeave(*grid);
  auto* after = new QPushButton(QStringLiteral("После"), &window);
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(grid);
  layout->addWidget(after);
  Activate(window);

  grid->setFocus();
  grid->setCurrentIndex(model.index(0, 0));
  Press(Qt::Key_Tab);
  EXPECT_TRUE(grid->hasFocus());
  EXPECT_EQ(grid->currentIndex(), model.index(0, 1));
  Press(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_TRUE(after->hasFocus());
  Press(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(grid->hasFocus());

  grid->setCurrentIndex(model.index(1, 1));
  Press(Qt::Key_Tab);
  EXPECT_TRUE(after->hasFocus());
  EXPECT_EQ(grid->currentIndex(), model.index(1, 1));  // leaving moves no cell
}

}  // namespace
}  // namespace velt
