// The problem calls window on Qt's offscreen platform: the messages with
// their counts and bars, the calls of the chosen one, sorting and copying.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QTableView>
#include <QTableWidget>

#include "gui/problem_calls_window.h"
#include "support/code_page.h"
#include "support_files/gui_app.h"
#include "support_files/screenshots.h"
#include "support_files/temp_dir.h"

namespace velt {
namespace {

using testing::A;

TEST(ProblemCallsWindowTest, GroupsTheMessagesAndShowsTheCallsOfTheChosenOne) {
  testing::GuiApp();
  ProblemCalls problems;
  problems.Add(4, "30", "02.01.2024", A("Петров"), A(": Неверная дата рождения."));
  problems.Add(5, "31", "01.01.2024", A("Сидоров"), A(" - неверная дата приема вызова "));
  problems.Add(9, "100", "31.12.2023", A("Иванов"), A(": Неверная дата рождения."));
  problems.Add(12, "7", "15.01.2024", A("Абрамов"), A(": Неверная дата рождения."));
  ProblemCallsWindow window(problems);
  window.show();
  if (!testing::ScreenshotFolder().empty())
    window.grab().save(QString::fromStdString(testing::ScreenshotFolder() + "/problem_calls.png"));

  QTableWidget& messages = window.Messages();
  ASSERT_EQ(messages.rowCount(), 2);
  // The commonest first, without the joint to the call number.
  EXPECT_EQ(messages.item(0, 0)->text(), QStringLiteral("Неверная дата рождения."));
  EXPECT_EQ(messages.item(0, 1)->text(), QStringLiteral("3"));
  EXPECT_EQ(messages.item(1, 0)->text(), QStringLiteral("неверная дата приема вызова"));
  EXPECT_LT(messages.item(1, 2)->data(Qt::UserRole).toDouble(),
            messages.item(0, 2)->data(Qt::UserRole).toDouble());

  // The log's order, then by date (year first) and by call number as a number.
  EXPECT_EQ(
      window.AllRowsText(),
      QStringLiteral("4\t30\t02.01.2024\tПетров\n9\t100\t31.12.2023\tИванов\n12\t7\t15.01.2024\tАбрамов\n"));
  window.Calls().sortByColumn(ProblemCallsModel::kDateColumn, Qt::AscendingOrder);
  EXPECT_EQ(window.AllRowsText().section(QLatin1Char('\t'), 0, 0), QStringLiteral("9"));
  window.Calls().sortByColumn(ProblemCallsModel::kCallColumn, Qt::DescendingOrder);
  EXPECT_EQ(window.AllRowsText().section(QLatin1Char('\n'), 0, 0),
            QStringLiteral("9\t100\t31.12.2023\tИванов"));

  // Another message keeps the chosen order; the selection copies.
  window.ChooseMessage(1);
  EXPECT_EQ(window.AllRowsText(), QStringLiteral("5\t31\t01.01.2024\tСидоров\n"));
  window.Calls().selectRow(0);
  window.CopySelected();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("5\t31\t01.01.2024\tСидоров\n"));
  // "Копировать" puts the column titles first, for a spreadsheet.
  window.CopyAll();
  EXPECT_EQ(QApplication::clipboard()->text(),
            QStringLiteral("Запись архива\tВызов №\tДата вызова\tФамилия\n5\t31\t01.01.2024\tСидоров\n"));
}

}  // namespace
}  // namespace velt
