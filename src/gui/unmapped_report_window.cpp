#include "gui/unmapped_report_window.h"

#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStandardItemModel>
#include <QTableView>
#include <algorithm>

#include "gui/keyboard_access_qt.h"
#include "gui/qt_text.h"
#include "gui/table_text.h"
#include "gui/window_look_qt.h"
#include "support/code_page.h"

namespace velt {
namespace {

constexpr int kKindColumn = 0;
constexpr int kValueColumn = 1;
constexpr int kCallsColumn = 2;

QStandardItem* ReadOnlyItem(const QVariant& value) {
  auto* item = new QStandardItem;
  item->setData(value, Qt::DisplayRole);  // a number sorts as a number
  item->setEditable(false);
  return item;
}

}  // namespace

UnmappedReportWindow::UnmappedReportWindow(const UnmappedReport& report, QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("UnmappedReportWindow"));
  setWindowTitle(QStringLiteral("Несопоставленные значения"));
  ApplyWindowLook(*this);

  model_ = new QStandardItemModel(0, 3, this);
  model_->setHorizontalHeaderLabels(
      {QStringLiteral("Вид значения"), QStringLiteral("Значение"), QStringLiteral("Вызовов")});
  const std::vector<UnmappedEntry> entries = report.Entries();
  for (const UnmappedEntry& entry : entries) {
    auto* calls = ReadOnlyItem(QVariant::fromValue<qlonglong>(entry.calls));
    calls->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    model_->appendRow(
        {ReadOnlyItem(ToQt(UnmappedKindCaption(entry.kind))), ReadOnlyItem(ToQt(entry.value)), calls});
  }

  view_ = new QTableView(this);
  view_->setObjectName(QStringLiteral("UnmappedTable"));
  view_->setModel(model_);
  view_->setSortingEnabled(true);
  view_->sortByColumn(-1, Qt::AscendingOrder);  // the report's own order until a header is clicked
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setWordWrap(false);
  view_->verticalHeader()->hide();
  view_->horizontalHeader()->setStretchLastSection(false);
  view_->horizontalHeader()->setSectionResizeMode(kValueColumn, QHeaderView::Stretch);
  view_->resizeColumnToContents(kKindColumn);
  view_->setColumnWidth(kKindColumn, std::min(view_->columnWidth(kKindColumn) + 12, 380));
  view_->setColumnWidth(kCallsColumn, 90);

  auto* summary = new QLabel(entries.empty() ? QStringLiteral("Все значения архива сопоставлены.")
                                             : QStringLiteral("Значения архива, для которых не нашлось "
                                                              "связки или записи справочника: %1")
                                                   .arg(entries.size()),
                             this);
  summary->setObjectName(QStringLiteral("UnmappedSummary"));

  auto* copy = new QPushButton(QStringLiteral("Копировать"), this);
  copy->setObjectName(QStringLiteral("CopyAll"));
  copy->setAutoDefault(false);
  SetMnemonic(*copy, QStringLiteral("&Копировать"));
  connect(copy, &QPushButton::clicked, this, &UnmappedReportWindow::CopyAll);
  auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
  close->setObjectName(QStringLiteral("CloseReport"));
  SetMnemonic(*close, QStringLiteral("&Закрыть"));
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* copySelected = new QShortcut(QKeySequence::Copy, view_);
  connect(copySelected, &QShortcut::activated, this, &UnmappedReportWindow::CopySelected);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(copy);
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary);
  layout->addWidget(view_, 1);
  layout->addLayout(buttons);
  resize(760, 480);
}

QString UnmappedReportWindow::SelectedRowsText() const { return velt::SelectedRowsText(*view_); }

QString UnmappedReportWindow::AllRowsText() const { return velt::AllRowsText(*model_); }

void UnmappedReportWindow::CopySelected() const { QApplication::clipboard()->setText(SelectedRowsText()); }

void UnmappedReportWindow::CopyAll() const { QApplication::clipboard()->setText(AllRowsText()); }

void ShowUnmappedReport(QWidget* owner, const UnmappedReport& report) {
  UnmappedReportWindow window(report, owner);
  window.exec();
}

}  // namespace velt
