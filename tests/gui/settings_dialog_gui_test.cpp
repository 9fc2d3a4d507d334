// The settings window: the code page it shows, and what saving or leaving
// it does to inputCodePage.
#include "support/run_state.h"
//
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include "gui/settings_dialog.h"
#include "support_files/gui_app.h"

namespace velt {
namespace {

QApplication& App() { return testing::GuiApp(); }

class SettingsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { App(); }

  // Opens a new window over `codePage` as the main window does.
  SettingsDialog& Open(const char* codePage) {
    State().inputCodePage = codePage;
    form_ = std::make_unique<SettingsDialog>();
    form_->show();
    return *form_;
  }
  QComboBox* List() { return form_->findChild<QComboBox*>("cbCodePage"); }
  void Press(const char* button) { form_->findChild<QPushButton*>(button)->click(); }

  std::unique_ptr<SettingsDialog> form_;
};

TEST_F(SettingsWindowTest, ShowsTheCurrentCodePageByExactComparison) {
  SettingsDialog& form = Open("ANSI");
  EXPECT_EQ(form.objectName(), "parform");
  ASSERT_EQ(List()->count(), 2);
  EXPECT_EQ(List()->itemText(1).toStdString(), "ANSI (WIN)");
  EXPECT_EQ(List()->currentIndex(), 1);

  Open("OEM");
  EXPECT_EQ(List()->currentIndex(), 0);
  for (const char* other : {"ansi", "", "ANSI "}) {
    Open(other);
    EXPECT_EQ(List()->currentIndex(), -1) << other;
  }
}

TEST_F(SettingsWindowTest, SavingTakesTheChoiceAndNoChoiceMeansOem) {
  Open("ansi");
  Press("save");
  EXPECT_EQ(form_->result(), QDialog::Accepted);
  EXPECT_EQ(State().inputCodePage, "OEM");

  Open("OEM");
  List()->setCurrentIndex(1);
  Press("save");
  EXPECT_EQ(form_->result(), QDialog::Accepted);
  EXPECT_EQ(State().inputCodePage, "ANSI");

  Open("ANSI");
  List()->setCurrentIndex(0);
  Press("save");
  EXPECT_EQ(State().inputCodePage, "OEM");
}

TEST_F(SettingsWindowTest, LeavingWithoutSavingChangesNothing) {
  Open("OEM");
  List()->setCurrentIndex(1);
  Press("FormExit");
  EXPECT_EQ(form_->result(), QDialog::Rejected);
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(State().inputCodePage, "OEM");

  Open("ansi");
  List()->setCurrentIndex(1);
  QTest::keyClick(form_.get(), Qt::Key_Escape);
  EXPECT_EQ(form_->result(), QDialog::Rejected);
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(State().inputCodePage, "ansi");

  Open("ANSI");
  List()->setCurrentIndex(0);
  form_->close();  // the close box
  EXPECT_EQ(form_->result(), QDialog::Rejected);
  EXPECT_EQ(State().inputCodePage, "ANSI");
}

}  // namespace
}  // namespace velt
