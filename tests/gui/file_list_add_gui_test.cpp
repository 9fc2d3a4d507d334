// The composition window's "Добавить файл…" takes every file chosen at once.
#include "support/run_state.h"
//
#include <gtest/gtest.h>

#include <QListWidget>
#include <QStringList>

#include "gui/file_list_window.h"
#include "support_files/gui_app.h"

namespace velt {
namespace {

TEST(FileListAddTest, EveryChosenFileIsListedSortedAndARepeatToldOnce) {
  testing::GuiApp();
  std::vector<std::string> told;
  FileListWindow window(nullptr, [&told](const std::string& text) { told.push_back(text); });
  std::vector<QStringList> answers = {{"/a/F3.DBF", "/a/F1.DBF"}, {"/a/F2.DBF", "/a/f1.dbf", "/a/F3.DBF"}};
  window.ChooseFile().SetManyRunner([&answers](QWidget*, const QString&, const QString&, const QString&) {
    std::optional<QStringList> answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  });
  window.onAddFileClicked();
  EXPECT_TRUE(told.empty());
  window.onAddFileClicked();
  auto* list = window.findChild<QListWidget*>("FileListBox");
  ASSERT_NE(list, nullptr);
  QStringList listed;
  for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text();
  EXPECT_EQ(listed, (QStringList{"/a/F1.DBF", "/a/F2.DBF", "/a/F3.DBF"}));
  EXPECT_EQ(told.size(), 1u);                                            // two repeats, one message
  EXPECT_EQ(window.ChooseFile().FileName().toStdString(), "/a/F2.DBF");  // the next dialog opens there
}

}  // namespace
}  // namespace velt
