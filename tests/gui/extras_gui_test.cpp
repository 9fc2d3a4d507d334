// What the main window offers after a run (the summary line, the report of
// unmapped values and its window), the code-page notice, files dropped on
// the window, and the mapping editor's adding of unmapped values; on Qt's
// offscreen platform over a copy of the sample application folder.
#include "support/run_state.h"
//
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "conversion/unmapped_report.h"
#include "gui/file_list_window.h"
#include "gui/main_window.h"
#include "gui/mapping_editor_window.h"
#include "gui/mapping_table_model.h"
#include "gui/unmapped_report_window.h"
#include "reference/reference_tables.h"
#include "support/code_page.h"
#include "support/platform.h"
#include "support_files/gui_app.h"
#include "support_files/screenshots.h"
#include "support_files/temp_dir.h"
#include "table/table.h"

namespace velt {
namespace {

namespace fs = std::filesystem;
using testing::A;
using testing::TempDir;

const std::string kSampleArchive = std::string(VELT_SOURCE_DIR) + "/data/sample/archives/F1232401.DBF";

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

class ExtrasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::GuiApp();
    State().inputCodePage = "OEM";
    app_.CopyIn(VELT_SOURCE_DIR "/data/sample/app");
    fs::create_directories(app_.File("out"));
  }
  void TearDown() override { form_.reset(); }

  MainWindow& Open() {
    MainWindowOptions options;
    options.appDir = app_.Path();
    options.dialogs.showMessage = [this](QWidget*, const QString& text) {
      messages_.push_back(text.toStdString());
    };
    options.dialogs.chooseArchive = [this](QWidget*, const QString&, const QString&) { return answer_; };
    options.dialogs.chooseDirectory = [this](QWidget*, const QString&) {
      return std::optional(Q(app_.File("out")));
    };
    form_ = std::make_unique<MainWindow>(options);
    form_->show();
    return *form_;
  }
  void ChooseArchive(const std::string& path) {
    answer_ = Q(path);
    form_->onChooseArchiveClicked();
  }
  template <typename T = QLabel>
  T* Child(const char* name) {
    T* child = form_->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }

  TempDir app_;
  std::unique_ptr<MainWindow> form_;
  std::vector<std::string> messages_;
  std::optional<QString> answer_;
};

TEST_F(ExtrasTest, RunShowsItsSummaryAndOffersTheReport) {
  Open();
  EXPECT_TRUE(Child<QPushButton>("unmappedReport")->isHidden());
  EXPECT_TRUE(Child("runSummary")->isHidden());
  ChooseArchive(kSampleArchive);
  form_->onChooseOutputDirClicked();
  form_->onConvertClicked();
  ASSERT_TRUE(testing::ProcessEventsUntil([this] { return !form_->Running(); }));

  ASSERT_EQ(Child("ProgressMsg")->text().toStdString(), "Конвертация выполнена");
  const std::string summary = Child("runSummary")->text().toStdString();
  EXPECT_FALSE(Child("runSummary")->isHidden());
  EXPECT_NE(summary.find("Прочитано записей: 390;"), std::string::npos) << summary;
  // Read = written + skipped + the two calls of a negative region.
  QRegularExpressionMatch numbers =
      QRegularExpression(QStringLiteral("записано: (\\d+) .*, (\\d+) .*пропущено по профилю: (\\d+); "
                                        "вызовов с ошибками в журнале: (\\d+); время: \\d+,\\d\\d с"))
          .match(Q(summary));
  ASSERT_TRUE(numbers.hasMatch()) << summary;
  EXPECT_EQ(numbers.captured(1).toInt() + numbers.captured(2).toInt() + numbers.captured(3).toInt() + 2, 390);
  EXPECT_EQ(numbers.captured(4).toInt(),
            79);  // the sample's calls with a failed group, not the start and end lines
  QPushButton* report = Child<QPushButton>("unmappedReport");
  EXPECT_FALSE(report->isHidden());
  EXPECT_EQ(report->text().toStdString(), "Несопоставленные значения...");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ExtrasTest, ReportWindowSortsAndCopiesRowsAsTabSeparatedText) {
  UnmappedReport report;
  for (int i = 0; i < 3; ++i) report.Note(UnmappedKind::Place, "6");
  report.Note(UnmappedKind::Institution, A("Хоспис"));
  for (int i = 0; i < 12; ++i) report.Note(UnmappedKind::Reason, "09");
  UnmappedReportWindow window(report);
  QTableView& table = window.Table();
  ASSERT_EQ(table.model()->rowCount(), 3);

  // Calls sort as numbers: 12 before 3 when descending.
  table.sortByColumn(2, Qt::DescendingOrder);
  EXPECT_EQ(window.AllRowsText().toStdString(),
            "Повод для вызова (POVD)\t09\t12\n"
            "Место вызова (MEST)\t6\t3\n"
            "ЛПУ госпитализации (KUDA)\tХоспис\t1\n");

  table.selectRow(2);
  table.selectionModel()->select(table.model()->index(0, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  EXPECT_EQ(window.SelectedRowsText().toStdString(),
            "Повод для вызова (POVD)\t09\t12\nЛПУ госпитализации (KUDA)\tХоспис\t1\n");
  window.CopySelected();
  EXPECT_EQ(QApplication::clipboard()->text(), window.SelectedRowsText());
  window.findChild<QPushButton*>("CopyAll")->click();
  EXPECT_EQ(QApplication::clipboard()->text(), window.AllRowsText());
}

TEST_F(ExtrasTest, NoticeWhenTheArchiveHeaderNamesTheOtherCodePage) {
  Open();
  ChooseArchive(kSampleArchive);  // its header carries the 866 mark
  EXPECT_TRUE(Child("codePageHint")->isHidden());

  State().inputCodePage = "ANSI";
  ChooseArchive(kSampleArchive);
  EXPECT_FALSE(Child("codePageHint")->isHidden());
  EXPECT_NE(Child("codePageHint")->text().toStdString().find("OEM (866)"), std::string::npos);
  EXPECT_TRUE(messages_.empty());  // a notice, not a message box
}

TEST_F(ExtrasTest, DroppedFilesChooseTheArchiveOrAreRefused) {
  Open();
  const std::string text = app_.File("calls.txt");
  const std::string archive = app_.File("F1232401.DBF");
  fs::copy(kSampleArchive, archive);
  platform::WriteWholeFile(text, "x");
  const QString before = Child("velt_file")->text();

  form_->DropFiles({Q(text)});
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find(".dbf"), std::string::npos);
  form_->DropFiles({Q(archive), Q(text)});  // one wrong file refuses the whole drop
  EXPECT_EQ(messages_.size(), 2u);
  EXPECT_EQ(Child("velt_file")->text(), before);

  // A real drop event of one table file.
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(Q(archive))});
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form_.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form_.get(), &drop);
  EXPECT_EQ(Child("velt_file")->text(), QDir::toNativeSeparators(Q(archive)));
  EXPECT_EQ(messages_.size(), 2u);
}

TEST_F(ExtrasTest, SeveralDroppedTablesAreListedInTheCompositionWindowOnce) {
  Open();
  std::vector<QString> files;
  for (const char* name : {"F1232402.DBF", "F1232401.DBF"}) {
    fs::copy(kSampleArchive, app_.File(name));
    files.push_back(QDir::toNativeSeparators(Q(app_.File(name))));
  }
  QStringList listed;
  auto readAndClose = [&listed] {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (auto* list = qobject_cast<FileListWindow*>(window); list && list->isVisible()) {
        auto* box = list->findChild<QListWidget*>();
        for (int i = 0; i < box->count(); ++i) listed << box->item(i)->text();
        list->reject();
      }
    }
  };
  QTimer::singleShot(0, readAndClose);
  form_->DropFiles({files[0], files[1], files[1]});
  // Sorted, and a file dropped twice listed once.
  EXPECT_EQ(listed, QStringList({files[1], files[0]}));
  EXPECT_TRUE(messages_.empty());
}

// The main window's close during a join is the composition window's: it
// asks there, the join is cancelled, and both windows close once it has
// ended.
TEST_F(ExtrasTest, ClosingTheMainWindowDuringAJoinAsksAndClosesBothAfterIt) {
  Open();
  std::vector<std::string> tables;
  for (const char* name : {"F1232401.DBF", "F1232402.DBF", "F1232403.DBF"}) {
    tables.push_back(app_.File(name));
    fs::copy(kSampleArchive, tables.back());
  }
  platform::FaultHooks hooks;  // every read of an archive slowed: a join to be watched
  hooks.readFault = [tables](const std::string& path, std::uint64_t, std::size_t) {
    if (std::find(tables.begin(), tables.end(), path) != tables.end())
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
    return false;
  };
  platform::SetFaultHooks(hooks);
  std::vector<QString> asked;
  bool closed = true, pending = false;
  QTimer::singleShot(0, [&] {
    auto* list = form_->findChild<FileListWindow*>();
    ASSERT_NE(list, nullptr);
    list->SetStopQuestion([&](QWidget*, const QString& text) {
      asked.push_back(text);
      return true;
    });
    list->findChild<QLineEdit*>("EditOutFilename")->setText("J.DBF");
    list->onComposeClicked();
    closed = form_->close();
    pending = list->ClosePending();
  });
  form_->DropFiles({Q(tables[0]), Q(tables[1]), Q(tables[2])});
  platform::SetFaultHooks({});
  EXPECT_FALSE(closed);
  EXPECT_TRUE(pending);
  EXPECT_EQ(asked,
            std::vector<QString>{QStringLiteral("Идёт склеивание файлов. Прервать его и закрыть окно?")});
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].starts_with("Склеивание файлов отменено.")) << messages_[0];
  EXPECT_FALSE(form_->isVisible());
}

// Pictures for a look (scripts/screenshots.sh): the main window after
// a run with the code-page notice, and the report window.
TEST_F(ExtrasTest, Screenshots) {
  if (testing::ScreenshotFolder().empty()) GTEST_SKIP() << "no --screenshots=DIR";
  const QString dir = QString::fromStdString(testing::ScreenshotFolder());
  Open();
  form_->onChooseOutputDirClicked();
  State().inputCodePage = "ANSI";
  ChooseArchive(kSampleArchive);
  State().inputCodePage = "OEM";
  form_->onConvertClicked();  // the run's notice stays from the choice
  ASSERT_TRUE(testing::ProcessEventsUntil([this] { return !form_->Running(); }));
  State().inputCodePage = "ANSI";
  Child("lbCodePage")->setText(QStringLiteral("ANSI"));  // as the settings window leaves it
  ChooseArchive(kSampleArchive);
  QApplication::processEvents();
  EXPECT_TRUE(form_->grab().save(dir + "/extras_main_window.png"));

  UnmappedReportWindow window(form_->LastRunUnmapped(), form_.get());
  window.show();
  window.Table().sortByColumn(2, Qt::DescendingOrder);
  window.Table().selectRow(1);
  QApplication::processEvents();
  EXPECT_TRUE(window.grab().save(dir + "/extras_report_window.png"));
}

class AddUnmappedTest : public ExtrasTest {
 protected:
  void SetUp() override {
    ExtrasTest::SetUp();
    DerivePaths(State(), app_.Path(), "veltconv");
  }
  void TearDown() override {
    editor_.reset();
    ExtrasTest::TearDown();
  }
  MappingEditor& Editor(int kind) {
    editor_ = std::make_unique<MappingEditor>();
    editor_->SetLastRunUnmapped(&report_);
    EXPECT_TRUE(editor_->PrepareMapping(kind, false));
    return *editor_;
  }
  UnmappedReport report_;
  std::unique_ptr<MappingEditor> editor_;
};

TEST_F(AddUnmappedTest, AddsNewValuesOfItsKindOnlyOnce) {
  UnmappedReport& report = report_;
  report.Note(UnmappedKind::Institution, A("Хоспис"));  // in tr_lpu without a choice
  report.Note(UnmappedKind::Institution, A("Хоспис № 2"));
  report.Note(UnmappedKind::AddressInstitution, A("=УФА_+ГКБ 9"));
  report.Note(UnmappedKind::CallKind, "7");  // another kind
  MappingEditor& editor = Editor(5);
  const int rows = editor.Model().rowCount();

  EXPECT_EQ(editor.onAddUnmappedClicked(), 2);
  ASSERT_EQ(editor.Model().rowCount(), rows + 2);
  auto cell = [&](int row, int column) {
    return editor.Model().index(row, column).data().toString().toStdString();
  };
  EXPECT_EQ(cell(rows, MappingTableModel::kNameColumn), "=УФА_+ГКБ 9");
  EXPECT_EQ(cell(rows + 1, MappingTableModel::kNameColumn), "Хоспис № 2");
  EXPECT_EQ(cell(rows + 1, MappingTableModel::kPavkColumn), "");
  EXPECT_EQ(editor.findChild<QPushButton*>("AddUnmapped")->text().toStdString(), "Добавить несопоставленные");

  EXPECT_EQ(editor.onAddUnmappedClicked(), 0);  // a second time adds nothing
  EXPECT_EQ(editor.Model().rowCount(), rows + 2);
  editor_.reset();

  // The rows are on disk, and a code kind gets the code.
  MappingEditor& kinds = Editor(4);
  const int kindRows = kinds.Model().rowCount();
  EXPECT_EQ(kinds.onAddUnmappedClicked(), 1);
  EXPECT_EQ(kinds.Model().index(kindRows, MappingTableModel::kCodeColumn).data().toString(), "7");
  editor_.reset();
  Table lpu;
  lpu.SetOEMTranslate(true);
  lpu.SetTableName(State().mappingDirPath + "/tr_lpu.dbf");
  lpu.Open();
  EXPECT_EQ(lpu.Count(), rows + 2);
}

}  // namespace
}  // namespace velt
