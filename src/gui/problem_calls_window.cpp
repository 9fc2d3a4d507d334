#include "gui/problem_calls_window.h"

#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTableWidget>
#include <algorithm>

#include "gui/keyboard_access_qt.h"
#include "gui/qt_text.h"
#include "gui/table_text.h"
#include "gui/window_look_qt.h"
#include "support/text.h"

namespace velt {
namespace {

constexpr int kMessageColumn = 0;
constexpr int kCountColumn = 1;
constexpr int kBarColumn = 2;
constexpr int kWidth = 820;  // the window's size unless the screen is smaller
constexpr int kHeight = 560;
constexpr int kShareRole = Qt::UserRole;  // a message's calls over the commonest one's, 0..1

// The bar of a message: as long as its share of the commonest message.
class ShareBarDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, QModelIndex());  // selection background only
    const double share = index.data(kShareRole).toDouble();
    QRect bar = option.rect.adjusted(4, 4, -4, -4);
    bar.setWidth(std::max(2, static_cast<int>(bar.width() * share)));
    painter->fillRect(bar, option.palette.color(QPalette::Highlight).lighter(130));
  }
};

// A date as dd.mm.yyyy sorts by year, month and day.
QString DateSortKey(const std::string& date) {
  if (date.size() == 10 && date[2] == '.' && date[5] == '.')
    return ToQt(date.substr(6, 4) + date.substr(3, 2) + date.substr(0, 2));
  return ToQt(date);
}

// A number sorts as a number, any other text after the numbers.
QString NumberSortKey(const std::string& text) {
  const std::string trimmed = Trim(text);
  if (!trimmed.empty() && trimmed.size() <= 18 &&
      std::all_of(trimmed.begin(), trimmed.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return QStringLiteral("0%1").arg(QString::fromStdString(trimmed), 18, QLatin1Char('0'));
  return QStringLiteral("1") + ToQt(trimmed);
}

}  // namespace

ProblemCallsModel::ProblemCallsModel(const ProblemCalls& problems, QObject* parent)
    : QAbstractTableModel(parent), problems_(problems) {}

void ProblemCallsModel::ShowMessage(std::uint32_t message) {
  beginResetModel();
  rows_.clear();
  const auto& calls = problems_.Calls();
  for (std::size_t i = 0; i < calls.size(); ++i)
    if (calls[i].message == message) rows_.push_back(i);
  endResetModel();
}

int ProblemCallsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ProblemCallsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant ProblemCallsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const ProblemCall& call = Call(index.row());
  if (role == Qt::TextAlignmentRole && index.column() != kSurnameColumn)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case kRecordColumn:
      return QVariant::fromValue<qlonglong>(call.record);
    case kCallColumn:
      return ToQt(call.call);
    case kDateColumn:
      return ToQt(call.date);
    default:
      return ToQt(call.surname);
  }
}

QVariant ProblemCallsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kRecordColumn:
      return QStringLiteral("Запись архива");
    case kCallColumn:
      return QStringLiteral("Вызов №");
    case kDateColumn:
      return QStringLiteral("Дата вызова");
    default:
      return QStringLiteral("Фамилия");
  }
}

void ProblemCallsModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= kColumnCount) return;
  beginResetModel();
  const auto& calls = problems_.Calls();
  auto key = [&](std::size_t i) -> QString {
    const ProblemCall& call = calls[i];
    switch (column) {
      case kRecordColumn:
        return NumberSortKey(std::to_string(call.record));
      case kCallColumn:
        return NumberSortKey(call.call);
      case kDateColumn:
        return DateSortKey(call.date);
      default:
        return ToQt(call.surname).toUpper();
    }
  };
  std::vector<std::pair<QString, std::size_t>> keyed;
  keyed.reserve(rows_.size());
  for (std::size_t i : rows_) keyed.emplace_back(key(i), i);
  // Equal keys keep the log's order.
  std::stable_sort(keyed.begin(), keyed.end(), [order](const auto& a, const auto& b) {
    return order == Qt::AscendingOrder ? a.first < b.first : b.first < a.first;
  });
  for (std::size_t k = 0; k < keyed.size(); ++k) rows_[k] = keyed[k].second;
  endResetModel();
}

ProblemCallsWindow::ProblemCallsWindow(const ProblemCalls& problems, QWidget* owner)
    : QDialog(owner), problems_(problems), groups_(problems.Groups()) {
  setObjectName(QStringLiteral("ProblemCallsWindow"));
  setWindowTitle(QStringLiteral("Проблемные вызовы"));
  ApplyWindowLook(*this);

  messages_ = new QTableWidget(static_cast<int>(groups_.size()), 3, this);
  messages_->setObjectName(QStringLiteral("ProblemMessages"));
  messages_->setHorizontalHeaderLabels({QStringLiteral("Проблема"), QStringLiteral("Вызовов"), QString()});
  messages_->setItemDelegateForColumn(kBarColumn, new ShareBarDelegate(messages_));
  const double most = groups_.empty() ? 1.0 : static_cast<double>(groups_.front().calls);
  for (int row = 0; row < static_cast<int>(groups_.size()); ++row) {
    const ProblemGroup& group = groups_[static_cast<std::size_t>(row)];
    auto* message = new QTableWidgetItem(ToQt(ProblemText(problems.Message(group.message))));
    message->setToolTip(message->text());
    auto* count = new QTableWidgetItem(QString::number(group.calls));
    count->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* bar = new QTableWidgetItem;
    bar->setData(kShareRole, static_cast<double>(group.calls) / most);
    for (QTableWidgetItem* item : {message, count, bar})
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    messages_->setItem(row, kMessageColumn, message);
    messages_->setItem(row, kCountColumn, count);
    messages_->setItem(row, kBarColumn, bar);
  }
  messages_->setSelectionBehavior(QAbstractItemView::SelectRows);
  messages_->setSelectionMode(QAbstractItemView::SingleSelection);
  messages_->setWordWrap(false);
  messages_->verticalHeader()->hide();
  messages_->horizontalHeader()->setHighlightSections(false);
  messages_->horizontalHeader()->setSectionResizeMode(kMessageColumn, QHeaderView::Stretch);
  messages_->horizontalHeader()->setSectionResizeMode(kCountColumn, QHeaderView::ResizeToContents);
  messages_->setColumnWidth(kBarColumn, 220);
  // The list is as tall as its rows, up to eight of them.
  const int visibleRows = std::clamp(static_cast<int>(groups_.size()), 1, 8);
  messages_->setFixedHeight(messages_->horizontalHeader()->sizeHint().height() +
                            visibleRows * messages_->verticalHeader()->defaultSectionSize() +
                            2 * messages_->frameWidth());

  model_ = new ProblemCallsModel(problems, this);
  calls_ = new QTableView(this);
  calls_->setObjectName(QStringLiteral("ProblemCallsTable"));
  calls_->setModel(model_);
  calls_->setSortingEnabled(true);
  calls_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);  // the log's order until a click
  calls_->setSelectionBehavior(QAbstractItemView::SelectRows);
  calls_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  calls_->setWordWrap(false);
  calls_->verticalHeader()->hide();
  calls_->horizontalHeader()->setSectionResizeMode(ProblemCallsModel::kSurnameColumn, QHeaderView::Stretch);
  for (int column :
       {ProblemCallsModel::kRecordColumn, ProblemCallsModel::kCallColumn, ProblemCallsModel::kDateColumn})
    calls_->setColumnWidth(
        column,
        calls_->fontMetrics().horizontalAdvance(model_->headerData(column, Qt::Horizontal).toString()) + 40);

  auto* summary = new QLabel(
      groups_.empty()
          ? QStringLiteral("Ошибок в вызовах не найдено.")
          : QStringLiteral(
                "Записей журнала об ошибках в вызовах: %1. Выберите проблему, чтобы увидеть её вызовы.")
                    .arg(problems.Total()) +
                (static_cast<std::int64_t>(problems.Calls().size()) < problems.Total()
                     ? QStringLiteral(" Показаны только первые %1 из них.").arg(problems.Calls().size())
                     : QString()),
      this);
  summary->setObjectName(QStringLiteral("ProblemSummary"));
  summary->setWordWrap(true);
  callsCaption_ = new QLabel(this);
  callsCaption_->setObjectName(QStringLiteral("ProblemCallsCaption"));
  callsCaption_->setWordWrap(true);

  auto* copy = new QPushButton(QStringLiteral("Копировать"), this);
  copy->setObjectName(QStringLiteral("CopyAll"));
  copy->setAutoDefault(false);
  SetMnemonic(*copy, QStringLiteral("&Копировать"));
  copy->setToolTip(QStringLiteral("Копировать все вызовы таблицы; Ctrl+C копирует выделенные"));
  connect(copy, &QPushButton::clicked, this, &ProblemCallsWindow::CopyAll);
  auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
  close->setObjectName(QStringLiteral("CloseProblems"));
  SetMnemonic(*close, QStringLiteral("&Закрыть"));
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* copySelected = new QShortcut(QKeySequence::Copy, calls_);
  connect(copySelected, &QShortcut::activated, this, &ProblemCallsWindow::CopySelected);
  connect(messages_, &QTableWidget::currentCellChanged, this, [this](int row) { ChooseMessage(row); });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(copy);
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary);
  layout->addWidget(messages_);
  layout->addWidget(callsCaption_);
  layout->addWidget(calls_, 1);
  layout->addLayout(buttons);
  // No larger than most of the screen: on a small one, scaled up, the
  // buttons would fall below its edge.
  const QSize room = screen()->availableGeometry().size() * 0.9;
  resize(std::min(kWidth, room.width()), std::min(kHeight, room.height()));
  if (!groups_.empty()) messages_->setCurrentCell(0, kMessageColumn);
}

void ProblemCallsWindow::ChooseMessage(int row) {
  if (row < 0 || row >= static_cast<int>(groups_.size())) return;
  if (messages_->currentRow() != row) {
    messages_->setCurrentCell(row, kMessageColumn);  // comes back here
    return;
  }
  const ProblemGroup& group = groups_[static_cast<std::size_t>(row)];
  model_->ShowMessage(group.message);
  const int column = calls_->horizontalHeader()->sortIndicatorSection();
  if (column >= 0 && column < ProblemCallsModel::kColumnCount)
    model_->sort(column, calls_->horizontalHeader()->sortIndicatorOrder());
  callsCaption_->setText(QStringLiteral("Вызовы с проблемой «%1»: %2")
                             .arg(ToQt(ProblemText(problems_.Message(group.message))))
                             .arg(group.calls));
}

QString ProblemCallsWindow::SelectedRowsText() const { return velt::SelectedRowsText(*calls_); }

QString ProblemCallsWindow::AllRowsText() const { return velt::AllRowsText(*model_); }

void ProblemCallsWindow::CopySelected() const { QApplication::clipboard()->setText(SelectedRowsText()); }

// The titles first: pasted into a spreadsheet, the columns say what they hold.
void ProblemCallsWindow::CopyAll() const {
  QApplication::clipboard()->setText(HeaderRowText(*model_) + AllRowsText());
}

void ShowProblemCalls(QWidget* owner, const ProblemCalls& problems) {
  ProblemCallsWindow window(problems, owner);
  window.exec();
}

}  // namespace velt
