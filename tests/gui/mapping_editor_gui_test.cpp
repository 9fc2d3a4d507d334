// The classifier mapping editor on a copy of the sample application folder,
// on Qt's offscreen platform. What reaches the disk is read back by Debian's
// python3-dbfread while the editor still holds the table.

// Before any Qt header: the run state has a member named like Qt's "slots"
// keyword.
#include "reference/reference_tables.h"
#include "reference/test_tables.h"
//
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSizeGrip>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string_view>

#include "gui/mapping_editor_window.h"
#include "gui/mapping_table_model.h"
#include "gui/pavk_choice_delegate_qt.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support_files/screenshots.h"

namespace velt {
namespace {

using testing::A;

void EnsureApplication() {
  if (QApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "mapping_editor_gui_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // lives as long as the process
}

class MappingEditorTest : public testing::AppFolderTest {
 protected:
  static void SetUpTestSuite() { EnsureApplication(); }

  void SetUp() override {
    AppFolderTest::SetUp();
    dir_.CopyIn(VELT_SOURCE_DIR "/data/sample/app");
  }
  void TearDown() override {
    form_.reset();
    AppFolderTest::TearDown();
  }

  MappingEditor& Open(int kind) {
    form_ = std::make_unique<MappingEditor>(nullptr, [this](const std::string& text, MessageKind kind) {
      messages_.shown.push_back(text);
      kinds_.push_back(kind);
    });
    EXPECT_TRUE(form_->PrepareMapping(kind, false));
    form_->show();
    return *form_;
  }
  void Click(const char* button) { form_->findChild<QPushButton*>(button)->click(); }
  void Edit(int row, int column, const char* utf8) {
    EXPECT_TRUE(form_->Model().setData(form_->Model().index(row, column), QString::fromUtf8(utf8)));
  }
  void GoToRow(int row) { form_->Grid().setCurrentIndex(form_->Model().index(row, 1)); }
  // The next question of the window is answered with `button`; its text
  // lands in `questions_`.
  void Answer(QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [this, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      questions_.push_back(box->text().toStdString());
      box->button(button)->click();
    });
  }

  // The live records of a table file as "code|name|pavk" (UTF-8), after a
  // first line with the header's record count, as python3-dbfread reads them.
  std::vector<std::string> DiskRows(const std::string& table) {
#ifdef _WIN32
    return DiskRowsFromBytes(FileBytes(table));
#else
    const std::string script = dir_.File("rows.py");
    const std::string out = dir_.File("rows.txt");
    std::ofstream(script) << "import sys, dbfread\n"
                             "t = dbfread.DBF(sys.argv[1], encoding='cp866', lowernames=True)\n"
                             "print('count=%d' % t.header.numrecords)\n"
                             "for r in t: print(r['veltcode'] + '|' + r['veltname'] + '|' + r['pavk'])\n";
    const std::string command = "PYTHONIOENCODING=utf-8 /usr/bin/python3 '" + script + "' '" +
                                MappingFile(table) + "' > '" + out + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<std::string> rows;
    std::ifstream in(out);
    for (std::string line; std::getline(in, line);) rows.push_back(line);
    return rows;
#endif
  }
  std::string FileBytes(const std::string& table) {
    std::string bytes;
    EXPECT_TRUE(platform::ReadWholeFile(MappingFile(table), bytes)) << table;
    return bytes;
  }
  // The same rows read straight from the dBase bytes where there is no
  // python (Windows): the header's count, then each record not marked
  // deleted, its fields found by name and cut of trailing blanks and zeros.
  static std::vector<std::string> DiskRowsFromBytes(const std::string& bytes) {
    auto number = [&](std::size_t at, int size) {
      std::uint32_t value = 0;
      for (int i = size - 1; i >= 0; --i) value = value * 256 + static_cast<unsigned char>(bytes.at(at + i));
      return value;
    };
    const std::uint32_t count = number(4, 4), headerSize = number(8, 2), recordSize = number(10, 2);
    std::map<std::string, std::pair<std::size_t, std::size_t>> fields;  // name: offset, width
    std::size_t offset = 1;
    for (std::size_t at = 32; at + 32 <= headerSize && bytes.at(at) != '\x0D'; at += 32) {
      std::string name = bytes.substr(at, 11);
      name = name.substr(0, name.find('\0'));
      std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
      const std::size_t width = static_cast<unsigned char>(bytes.at(at + 16));
      fields[name] = {offset, width};
      offset += width;
    }
    std::vector<std::string> rows{"count=" + std::to_string(count)};
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t start = headerSize + std::size_t{i} * recordSize;
      if (start + recordSize > bytes.size() || bytes[start] == '*') continue;
      std::string row;
      for (const char* name : {"veltcode", "veltname", "pavk"}) {
        const auto [at, width] = fields.at(name);
        std::string text = bytes.substr(start + at, width);
        text.erase(text.find_last_not_of(std::string(" \0", 2)) + 1);
        if (name != std::string_view("veltcode")) row += '|';
        row += AnsiToUtf8(OemToAnsi(text));
      }
      rows.push_back(row);
    }
    return rows;
  }

  std::unique_ptr<MappingEditor> form_;
  std::vector<std::string> questions_;
  std::vector<MessageKind> kinds_;  // of the messages of form_
};

TEST_F(MappingEditorTest, ColumnsCaptionAndChoicesFollowTheKind) {
  MappingEditor& lpu = Open(5);
  EXPECT_TRUE(lpu.Grid().isColumnHidden(MappingTableModel::kCodeColumn));
  EXPECT_FALSE(lpu.Grid().isColumnHidden(MappingTableModel::kNameColumn));
  EXPECT_FALSE(lpu.Grid().isColumnHidden(MappingTableModel::kPavkColumn));
  EXPECT_EQ(lpu.windowTitle(), QStringLiteral("Перекодировка классификатора \"Медицинские организации\""));
  EXPECT_EQ(lpu.Model().rowCount(), 11);
  // The two visible columns share the grid's width in proportion 350 : 350.
  const int name = lpu.Grid().columnWidth(1), pavk = lpu.Grid().columnWidth(2);
  EXPECT_LE(std::abs(name - pavk), 1);
  EXPECT_GE(name + pavk, lpu.Grid().viewport()->width() - 1);

  MappingEditor& reasons = Open(1);
  EXPECT_FALSE(reasons.Grid().isColumnHidden(MappingTableModel::kCodeColumn));
  const QStringList all = reasons.PavkDelegate().Choices();
  EXPECT_TRUE(all.contains(QStringLiteral("99 - Определяется по причине несчастного случая")));
  EXPECT_TRUE(all.contains(QStringLiteral("199 - Не определено")));

  MappingEditor& accidentReasons = Open(11);
  QStringList withoutNines;
  for (const QString& choice : all)
    if (!choice.section(QStringLiteral(" - "), 0, 0).contains(QStringLiteral("99"))) withoutNines << choice;
  EXPECT_EQ(accidentReasons.PavkDelegate().Choices(), withoutNines);
  EXPECT_EQ(withoutNines.size(), all.size() - 2);
}

TEST_F(MappingEditorTest, ClassifierWithoutChoicesKeepsTheDefaultCaption) {
  {
    Table values;
    values.SetOEMTranslate(true);
    values.SetExclusive(true);
    values.SetTableName(MappingFile("PAVK_VALUES.dbf"));
    values.Open();
    for (values.First(); !values.Eof();) {
      if (values.FieldByName("DIR_ID").AsInteger() == 6)
        values.Delete();
      else
        values.Next();
    }
    values.Pack();
  }
  MappingEditor& form = Open(6);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Ведение связок значений справочника"));
  EXPECT_TRUE(form.PavkDelegate().Choices().isEmpty());
  EXPECT_GT(form.Model().rowCount(), 0);
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(MappingEditorTest, TableHeldElsewhereStopsTheWindow) {
  Table other;
  other.SetExclusive(true);
  other.SetTableName(MappingFile("tr_reas.dbf"));
  other.Open();

  MappingEditor form(nullptr, messages_.Recorder());
  EXPECT_FALSE(form.PrepareMapping(1, false));  // start-up: silent
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_FALSE(form.PrepareMapping(1, true));
  // The specified line, then the table and why.
  const std::string expected = A("Ошибка инициализации окна связок. \nФайл ") +
                               ShownPath(MappingFile("tr_reas.dbf")) +
                               A(": занят другой программой, закройте её.");
  EXPECT_EQ(messages_.shown, std::vector<std::string>{expected});
  EXPECT_EQ(form.InitError(), expected);
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(form.MappingTable().Active());
}

TEST_F(MappingEditorTest, ShownModallyHoldingTheTableUntilClosed) {
  MappingEditor form(nullptr, messages_.Recorder());
  bool checked = false;
  QTimer::singleShot(0, &form, [&] {
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.isModal());
    Table other;
    other.SetTableName(MappingFile("tr_from.dbf"));
    EXPECT_THROW(other.Open(), Error);  // held exclusively
    checked = true;
    form.findChild<QPushButton*>("FormExit")->click();
  });
  EXPECT_TRUE(form.PrepareMapping(2, true));
  EXPECT_TRUE(checked);
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_FALSE(form.MappingTable().Active());
  Table other;
  other.SetTableName(MappingFile("tr_from.dbf"));
  EXPECT_NO_THROW(other.Open());
}

TEST_F(MappingEditorTest, EditIsWrittenOnLeavingTheRowOrSaving) {
  Open(1);
  const std::vector<std::string> before = DiskRows("tr_reas.dbf");
  ASSERT_EQ(before.size(), 11u);
  ASSERT_EQ(before[1], "01|Несчастный случай|1 - Несчастный случай");

  Edit(0, MappingTableModel::kNameColumn, "Падение");
  Edit(0, MappingTableModel::kPavkColumn, "4 - Роды");
  EXPECT_EQ(form_->Model().PendingRow(), 0);
  EXPECT_EQ(DiskRows("tr_reas.dbf"), before);
  GoToRow(1);
  EXPECT_EQ(form_->Model().PendingRow(), -1);
  EXPECT_EQ(DiskRows("tr_reas.dbf")[1], "01|Падение|4 - Роды");

  // Text longer than the field: the cell shows what the file keeps.
  Edit(1, MappingTableModel::kCodeColumn, "1234567");
  EXPECT_EQ(form_->Model().data(form_->Model().index(1, 0)).toString(), QStringLiteral("12345"));
  Click("save");
  EXPECT_EQ(DiskRows("tr_reas.dbf")[2].substr(0, 6), "12345|");
  EXPECT_EQ(DiskRows("tr_reas.dbf")[0], "count=10");
}

TEST_F(MappingEditorTest, ClosingDropsAPendingEdit) {
  for (bool byButton : {true, false}) {
    Open(3);
    const std::string before = FileBytes("tr_rslt.dbf");
    Edit(0, MappingTableModel::kNameColumn, "Изменено");
    if (byButton)
      Click("FormExit");
    else
      form_->close();  // the window's own close box
    EXPECT_FALSE(form_->MappingTable().Active());
    EXPECT_EQ(FileBytes("tr_rslt.dbf"), before) << byButton;
  }
}

TEST_F(MappingEditorTest, EscAsksWhetherToSaveTheRowBeingEdited) {
  Open(3);
  const std::string before = FileBytes("tr_rslt.dbf");
  QTest::keyClick(form_.get(), Qt::Key_Escape);  // nothing pending: closes at once
  EXPECT_FALSE(form_->isVisible());
  EXPECT_TRUE(questions_.empty());

  Open(3);
  Edit(0, MappingTableModel::kNameColumn, "Изменено");
  Answer(QMessageBox::Cancel);
  QTest::keyClick(form_.get(), Qt::Key_Escape);
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(form_->Model().PendingRow(), 0);
  Answer(QMessageBox::Discard);
  QTest::keyClick(form_.get(), Qt::Key_Escape);
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(FileBytes("tr_rslt.dbf"), before);

  Open(3);
  Edit(0, MappingTableModel::kNameColumn, "Изменено");
  Answer(QMessageBox::Save);
  QTest::keyClick(form_.get(), Qt::Key_Escape);
  EXPECT_FALSE(form_->isVisible());
  EXPECT_NE(DiskRows("tr_rslt.dbf")[1].find("|Изменено|"), std::string::npos);
  ASSERT_EQ(questions_.size(), 3u);
  EXPECT_EQ(questions_[0], "Сохранить изменения в текущей записи?");
}

TEST_F(MappingEditorTest, TypedPavkTextBecomesTheOneChoiceItNames) {
  const QStringList choices = {QStringLiteral("4 - Роды"), QStringLiteral("5 - Патология беременности"),
                               QStringLiteral("1 - Несчастный случай")};
  using D = PavkChoiceDelegate;
  EXPECT_EQ(D::ResolveChoice(choices, QStringLiteral("4 - Роды")), QStringLiteral("4 - Роды"));
  EXPECT_EQ(D::ResolveChoice(choices, QStringLiteral("  роды ")), QStringLiteral("4 - Роды"));
  EXPECT_EQ(D::ResolveChoice(choices, QString()), QString());
  EXPECT_FALSE(D::ResolveChoice(choices, QStringLiteral("СТ")).has_value());  // two choices contain it
  EXPECT_FALSE(D::ResolveChoice(choices, QStringLiteral("Травма")).has_value());
  // A code typed whole takes its choice before the ones that contain it.
  const QStringList codes = {QStringLiteral("11 - Другое"), QStringLiteral("1 - Несчастный случай"),
                             QStringLiteral("199 - Не определено")};
  EXPECT_EQ(D::ResolveChoice(codes, QStringLiteral(" 1 ")), QStringLiteral("1 - Несчастный случай"));
  EXPECT_EQ(D::ResolveChoice(codes, QStringLiteral("19")), QStringLiteral("199 - Не определено"));

  // Through the grid's own editor: typed text, then the save button.
  Open(1);
  const QModelIndex cell = form_->Model().index(2, MappingTableModel::kPavkColumn);
  form_->PavkDelegate().DropDown(cell);
  auto* combo = qobject_cast<QComboBox*>(form_->Grid().indexWidget(cell));
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->maxVisibleItems(), 15);
  EXPECT_EQ(combo->completer()->filterMode(), Qt::MatchContains);
  combo->setEditText(QStringLiteral("эваку"));
  Click("save");
  EXPECT_EQ(DiskRows("tr_reas.dbf")[3].substr(3),
            "Состояние, угрожающее окружающим|6 - Медицинская эвакуация");

  // A click on another row's button drops its list down; a picked choice is
  // written when the user leaves the row.
  const QModelIndex next = form_->Model().index(3, MappingTableModel::kPavkColumn);
  const QRect rect = form_->Grid().visualRect(next);
  QTest::mouseClick(form_->Grid().viewport(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(rect.right() - 4, rect.center().y()));
  combo = qobject_cast<QComboBox*>(form_->Grid().indexWidget(next));
  ASSERT_NE(combo, nullptr);
  QTRY_VERIFY(combo->view()->isVisible());
  combo->view()->setCurrentIndex(combo->model()->index(0, 0));
  QTest::keyClick(combo->view(), Qt::Key_Return);
  EXPECT_EQ(form_->Grid().indexWidget(next), nullptr);
  EXPECT_EQ(form_->Model().PendingRow(), 3);
  GoToRow(0);
  EXPECT_EQ(DiskRows("tr_reas.dbf")[4], "04|Внезапные роды|1 - Несчастный случай");

  // Enter on text that fits several choices shows them and keeps the
  // editor; on text that fits none it keeps the editor too; a code typed
  // whole is taken.
  const QModelIndex third = form_->Model().index(4, MappingTableModel::kPavkColumn);
  const QString stored = form_->Model().data(third).toString();
  form_->PavkDelegate().DropDown(third);
  combo = qobject_cast<QComboBox*>(form_->Grid().indexWidget(third));
  ASSERT_NE(combo, nullptr);
  combo->hidePopup();
  for (const char* typed : {"случа", "Травма", "1"}) {
    combo->setEditText(QString::fromUtf8(typed));
    QTest::keyClick(combo, Qt::Key_Return);
    QApplication::processEvents();
    if (std::string(typed) == "1") break;
    EXPECT_EQ(form_->Grid().indexWidget(third), combo) << typed;
    EXPECT_EQ(form_->Model().data(third).toString(), stored) << typed;
  }
  EXPECT_EQ(form_->Grid().indexWidget(third), nullptr);
  EXPECT_EQ(form_->Model().data(third).toString(), QStringLiteral("1 - Несчастный случай"));
  EXPECT_TRUE(messages_.shown.empty());

  // Leaving the cell on text that fits nothing keeps the value and says why.
  form_->PavkDelegate().DropDown(third);
  combo = qobject_cast<QComboBox*>(form_->Grid().indexWidget(third));
  ASSERT_NE(combo, nullptr);
  combo->hidePopup();
  combo->setEditText(QStringLiteral("Травма"));
  Click("save");  // writes what the editor holds first
  QApplication::processEvents();
  EXPECT_EQ(form_->Model().data(third).toString(), QStringLiteral("1 - Несчастный случай"));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_NE(messages_.shown[0].find(A("«Травма» не подходит ни к одному коду ПАВК")), std::string::npos);
  EXPECT_EQ(form_->Model().PendingRow(), -1);
}

// A press on a cell's arrow drops the list down, and the release of that
// press, which comes after, leaves it down. Picking from the list of
// matching choices draws no complaint from the view.
TEST_F(MappingEditorTest, ArrowPressKeepsTheListDownAndPicksRaiseNoViewWarnings) {
  static std::vector<std::string> warnings;
  warnings.clear();
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtWarningMsg) warnings.push_back(text.toStdString());
      });
  Open(1);
  const QModelIndex cell = form_->Model().index(3, MappingTableModel::kPavkColumn);
  const QRect rect = form_->Grid().visualRect(cell);
  const QPoint arrow(rect.right() - 4, rect.center().y());
  QTest::mousePress(form_->Grid().viewport(), Qt::LeftButton, Qt::NoModifier, arrow);
  auto* combo = qobject_cast<QComboBox*>(form_->Grid().indexWidget(cell));
  ASSERT_NE(combo, nullptr);
  QTRY_VERIFY(combo->view()->isVisible());
  // The window system hands the release to the open list.
  QWidget* popup = combo->view()->window();
  QTest::mouseRelease(popup, Qt::LeftButton, Qt::NoModifier,
                      popup->mapFromGlobal(form_->Grid().viewport()->mapToGlobal(arrow)));
  QApplication::processEvents();
  EXPECT_TRUE(combo->view()->isVisible());

  combo->hidePopup();
  combo->lineEdit()->selectAll();
  combo->lineEdit()->insert(QStringLiteral("эваку"));  // as typed: the matching choices show
  QAbstractItemView* matching = combo->completer()->popup();
  QTRY_VERIFY(matching->isVisible());
  QTest::keyClick(matching, Qt::Key_Down);
  QTest::keyClick(matching, Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(form_->Grid().indexWidget(cell), nullptr);
  EXPECT_EQ(form_->Model().data(cell).toString(), QStringLiteral("6 - Медицинская эвакуация"));
  qInstallMessageHandler(previous);
  for (const std::string& warning : warnings)
    EXPECT_EQ(warning.find("does not belong to this view"), std::string::npos) << warning;
}

// "Добавить несопоставленные" with nothing to add says why.
TEST_F(MappingEditorTest, AddingUnmappedValuesSaysWhenThereAreNone) {
  Open(4);
  EXPECT_EQ(form_->onAddUnmappedClicked(), 0);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_NE(messages_.shown[0].find(A("не нашла несопоставленных значений")), std::string::npos);
  UnmappedReport report;
  report.Note(UnmappedKind::CallKind, form_->Model().index(0, 0).data().toString().toStdString());
  form_->SetLastRunUnmapped(&report);
  EXPECT_EQ(form_->onAddUnmappedClicked(), 0);
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_NE(messages_.shown[1].find(A("уже есть в таблице")), std::string::npos);
  EXPECT_EQ(kinds_, (std::vector<MessageKind>{MessageKind::Information, MessageKind::Information}));
}

TEST_F(MappingEditorTest, NewRecordsAreStoredAtOnce) {
  Open(4);
  const int rows = form_->Model().rowCount();
  Click("InsRec");
  Click("InsRec");
  EXPECT_EQ(form_->Model().rowCount(), rows + 2);
  EXPECT_EQ(form_->CurrentRow(), rows + 1);
  // The keyboard is in the new row's first cell, not on the button.
  EXPECT_EQ(form_->focusWidget(), &form_->Grid());
  EXPECT_EQ(form_->Grid().currentIndex().column(), MappingTableModel::kCodeColumn);
  // A code of the field's full width shows whole.
  Edit(rows + 1, MappingTableModel::kCodeColumn, "WWWWW");
  const int needed = form_->Grid().fontMetrics().horizontalAdvance(QStringLiteral("WWWWW"));
  EXPECT_GT(form_->Grid().columnWidth(MappingTableModel::kCodeColumn), needed);
  const std::vector<std::string> disk = DiskRows("tr_vid.dbf");
  EXPECT_EQ(disk[0], "count=" + std::to_string(rows + 2));
  EXPECT_EQ(disk[disk.size() - 1], "||");
  EXPECT_EQ(disk[disk.size() - 2], "||");
  Click("save");
}

TEST_F(MappingEditorTest, DeletePacksToExactlyTheLiveRecords) {
  std::filesystem::remove(MappingFile("tr_trag.dbf"));
  testing::WriteTable(
      MappingFile("tr_trag.dbf"), testing::MappingColumns(),
      {{"1", A("один"), ""}, {"2", A("два"), ""}, {"3", A("три"), ""}, {"4", A("четыре"), ""}});
  {
    Table table;
    table.SetOEMTranslate(true);
    table.SetTableName(MappingFile("tr_trag.dbf"));
    table.Open();
    table.GoTo(2);
    table.Delete();
  }
  Open(6);
  ASSERT_EQ(form_->Model().rowCount(), 3);
  GoToRow(1);  // "3"
  Edit(1, MappingTableModel::kNameColumn, "пропадёт вместе с записью");
  // The record goes for good: the user confirms, the question names it.
  Answer(QMessageBox::No);
  Click("DelRec");
  EXPECT_EQ(form_->Model().rowCount(), 3);
  Answer(QMessageBox::Yes);
  Click("DelRec");
  ASSERT_EQ(questions_.size(), 2u);
  EXPECT_EQ(questions_[0],
            "Удалить запись «3 пропадёт вместе с записью»?\n"
            "Запись будет удалена из файла безвозвратно.");
  EXPECT_EQ(DiskRows("tr_trag.dbf"), (std::vector<std::string>{"count=2", "1|один|", "4|четыре|"}));
  EXPECT_EQ(form_->Model().rowCount(), 2);
  EXPECT_EQ(form_->CurrentRow(), 1);

  Answer(QMessageBox::Yes);
  Click("DelRec");
  Answer(QMessageBox::Yes);
  Click("DelRec");
  Click("DelRec");  // nothing left to delete, nothing asked: the table is still packed
  EXPECT_EQ(questions_.size(), 4u);
  EXPECT_EQ(DiskRows("tr_trag.dbf"), std::vector<std::string>{"count=0"});
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(MappingEditorTest, DeleteOnAnEmptyTableStillPacks) {
  std::filesystem::remove(MappingFile("tr_trag.dbf"));
  testing::WriteTable(MappingFile("tr_trag.dbf"), testing::MappingColumns(), {{"1", "", ""}, {"2", "", ""}});
  {
    Table table;
    table.SetTableName(MappingFile("tr_trag.dbf"));
    table.Open();
    table.Delete();
    table.Delete();
  }
  Open(6);
  EXPECT_EQ(form_->Model().rowCount(), 0);
  EXPECT_EQ(form_->MappingTable().PhysicalCount(), 2);
  Click("DelRec");
  EXPECT_EQ(DiskRows("tr_trag.dbf"), std::vector<std::string>{"count=0"});
}

TEST_F(MappingEditorTest, NextConversionUsesTheEditedMapping) {
  ASSERT_TRUE(OpenReferenceTable("tr_vid"));
  EXPECT_EQ(RecodeValue("1", *tables_.Get(Lookup::tr_vid)), 1);
  tables_.ReleaseAll();

  Open(4);
  ASSERT_EQ(form_->Model().data(form_->Model().index(0, 0)).toString(), QStringLiteral("1"));
  Edit(0, MappingTableModel::kPavkColumn, "3 - Активное посещение");
  Click("save");
  Click("FormExit");

  ASSERT_TRUE(OpenReferenceTable("tr_vid"));
  EXPECT_EQ(RecodeValue("1", *tables_.Get(Lookup::tr_vid)), 3);
}

// Not a check: with --screenshots=DIR (scripts/screenshots.sh, under Xvfb)
// draws the editor with its drop-down open into DIR.
TEST_F(MappingEditorTest, Screenshots) {
  if (testing::ScreenshotFolder().empty()) GTEST_SKIP() << "no --screenshots=DIR";
  const QString folder = QString::fromStdString(testing::ScreenshotFolder());
  QFont font(QStringLiteral("Arial"));  // the program's window font
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(15);
  QApplication::setFont(font);
  auto shoot = [&](int kind, int row, const QString& typed, const QString& name) {
    MappingEditor& form = Open(kind);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QModelIndex cell = form.Model().index(row, MappingTableModel::kPavkColumn);
    if (kind == 5) Edit(row, MappingTableModel::kNameColumn, "ГКБ 21 (не записано)");  // the pencil
    form.PavkDelegate().DropDown(cell);
    QTest::qWait(300);
    auto* combo = qobject_cast<QComboBox*>(form.Grid().indexWidget(cell));
    ASSERT_NE(combo, nullptr);
    QWidget* list = combo->view()->window();
    if (kind == 5) {
      // The user widens the list by its grip.
      auto* grip = list->findChild<QSizeGrip*>();
      ASSERT_NE(grip, nullptr);
      const QSize before = list->size();
      const QPoint from = grip->rect().center(), to = from + QPoint(120, 60);
      QTest::mousePress(grip, Qt::LeftButton, Qt::NoModifier, from);
      QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(grip->mapToGlobal(to)), Qt::LeftButton,
                       Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(grip, &move);
      QTest::mouseRelease(grip, Qt::LeftButton, Qt::NoModifier, to);
      QTest::qWait(200);
      EXPECT_GT(list->width(), before.width());
    }
    if (!typed.isEmpty()) {
      combo->hidePopup();
      for (const QChar letter : typed)  // keyClicks knows only Latin letters
        QTest::sendKeyEvent(QTest::Click, combo->lineEdit(), Qt::Key_unknown, QString(letter),
                            Qt::NoModifier);
      QTest::qWait(300);
      list = combo->completer()->popup();
    }
    // The window and its drop-down list (a window of its own) in one picture.
    const QPixmap window = form.grab();
    const QPixmap popup = list->grab();
    const QPoint at = list->mapToGlobal(QPoint(0, 0)) - form.mapToGlobal(QPoint(0, 0));
    QPixmap picture(std::max(window.width(), at.x() + popup.width()),
                    std::max(window.height(), at.y() + popup.height()));
    picture.fill(Qt::darkGray);
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, window);
    painter.drawPixmap(at, popup);
    painter.end();
    EXPECT_TRUE(picture.save(folder + "/" + name + ".png"));
    // What the X server shows, to compare with.
    EXPECT_TRUE(form.screen()->grabWindow(0).save(folder + "/" + name + "_screen.png"));
  };
  shoot(1, 2, QString(), QStringLiteral("editor_kind1"));
  shoot(5, 1, QString(), QStringLiteral("editor_kind5"));
  shoot(1, 4, QStringLiteral("бол"), QStringLiteral("editor_kind1_typed"));
}

// Export and import work on the table the window holds: a row typed but not
// yet written goes into the export, an import shows in the grid at once, and
// a refused file changes nothing.
TEST_F(MappingEditorTest, ExportAndImportGoThroughTheOpenTable) {
  MappingEditor& form = Open(3);
  QString lastExport;
  form.SetLastExport(&lastExport);
  const std::string csv = dir_.File("tr_rslt.csv");
  QStringList suggested;
  form.SetFileChooser([&](QWidget*, bool, const QString& suggestion) {
    suggested << suggestion;
    return QString::fromStdString(csv);
  });
  Edit(0, MappingTableModel::kNameColumn, "Изменено в окне");
  ASSERT_TRUE(form.onExportClicked());
  std::string text;
  ASSERT_TRUE(platform::ReadWholeFile(csv, text));
  // For Excel in a Russian locale: the byte order mark and semicolons.
  EXPECT_EQ(text.rfind("\xEF\xBB\xBFVELTCODE;VELTNAME;PAVK\r\n", 0), 0u);
  EXPECT_NE(
      text.find("\r\n" + form.Model().index(0, 0).data().toString().toStdString() + ";Изменено в окне;"),
      std::string::npos);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(AnsiToUtf8(messages_.shown[0]),
            "Таблица связок выгружена в файл " +
                QDir::toNativeSeparators(QString::fromStdString(csv)).toStdString() +
                ", строк: " + std::to_string(form.Model().rowCount()) + ".");
  // The import dialog opens on the file just exported, which changes nothing.
  EXPECT_TRUE(form.onImportClicked());
  EXPECT_EQ(suggested.value(0), QStringLiteral("tr_rslt.csv"));
  EXPECT_EQ(suggested.value(1), QString::fromStdString(csv));
  EXPECT_NE(AnsiToUtf8(messages_.shown.back()).find("Изменено строк: 0, добавлено: 0"), std::string::npos);

  const QString firstChoice = form.PavkDelegate().Choices().value(0);
  ASSERT_TRUE(platform::WriteWholeFile(
      csv, "VELTCODE,VELTNAME,PAVK\nNEW1,added," +
               firstChoice.section(QStringLiteral(" - "), 0, 0).toStdString() + "\n"));
  ASSERT_TRUE(form.onImportClicked());
  const int last = form.Model().rowCount() - 1;
  EXPECT_EQ(form.Model().index(last, MappingTableModel::kCodeColumn).data().toString(),
            QStringLiteral("NEW1"));
  EXPECT_EQ(form.Model().index(last, MappingTableModel::kPavkColumn).data().toString(), firstChoice);
  const int rows = form.Model().rowCount();
  messages_.shown.clear();
  ASSERT_TRUE(platform::WriteWholeFile(csv, "VELTCODE,VELTNAME,PAVK\nNEW2,x,no such\n"));
  EXPECT_FALSE(form.onImportClicked());
  EXPECT_EQ(form.Model().rowCount(), rows);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_NE(messages_.shown[0].find(A("строка 2")), std::string::npos);
}

}  // namespace
}  // namespace velt
