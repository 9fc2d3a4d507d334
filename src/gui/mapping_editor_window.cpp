#include "gui/mapping_editor_window.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <algorithm>
#include <exception>
#include <set>

#include "conversion/unmapped_report.h"
#include "gui/keyboard_access_qt.h"
#include "gui/mapping_table_model.h"
#include "gui/message_box_qt.h"
#include "gui/pavk_choice_delegate_qt.h"
#include "gui/qt_text.h"
#include "gui/two_level_header_qt.h"
#include "reference/mapping_exchange.h"
#include "reference/mapping_files.h"
#include "reference/mapping_preparation.h"
#include "support/code_page.h"
#include "support/csv.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support/text.h"

namespace velt {
namespace {

constexpr int kLpuKind = 5;  // keyed on the institution's name: no code column
constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 560;
// Room for the frame that the window manager adds.
constexpr int kFrameAllowanceWidth = 8;
constexpr int kFrameAllowanceHeight = 32;

QString ChooseCsvFile(QWidget* owner, bool save, const QString& suggested) {
  const QString filter = QStringLiteral("Таблицы CSV (*.csv);;Все файлы (*)");
  return save ? QFileDialog::getSaveFileName(owner, QStringLiteral("Экспорт таблицы связок"), suggested,
                                             filter)
              : QFileDialog::getOpenFileName(owner, QStringLiteral("Импорт таблицы связок"), suggested,
                                             filter);
}

}  // namespace

// The grid, with a hand on the cell editor that is open: the buttons write
// what the user typed before they act, closing the window throws it away.
class MappingEditor::MappingGrid : public QTableView {
 public:
  using QTableView::QTableView;

  void CommitEditor() {
    if (QWidget* editor = indexWidget(currentIndex())) {
      commitData(editor);
      closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
  }
  void DiscardEditor() {
    if (QWidget* editor = indexWidget(currentIndex()))
      closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
  }
};

MappingEditor::MappingEditor(QWidget* owner, ShowMessageFn showMessage)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      chooseFile_(ChooseCsvFile),
      showMessage_(std::move(showMessage)) {
  setObjectName(QStringLiteral("dircform"));
  setWindowTitle(QStringLiteral("Ведение связок значений справочника"));

  model_ = new MappingTableModel(table_, showMessage_, this);
  grid_ = new MappingGrid(this);
  grid_->setObjectName(QStringLiteral("DirGrid"));
  header_ = new TwoLevelHeaderView(grid_);
  grid_->setHorizontalHeader(header_);
  grid_->setModel(model_);
  pavkDelegate_ = new PavkChoiceDelegate(grid_);
  grid_->setItemDelegateForColumn(MappingTableModel::kPavkColumn, pavkDelegate_);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                         QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);  // only after the user widens a column
  grid_->setWordWrap(false);
  LetTabLeave(*grid_);
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 8);
  grid_->verticalHeader()->setFixedWidth(22);
  header_->SetBaseWidths({40, 350, 350});
  // Leaving a row writes the change made in it.
  connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { model_->CurrentRowChanged(current.row()); });

  // `marked`: the caption with "&" before its mnemonic letter.
  auto makeButton = [this](const char* object, const QString& marked, void (MappingEditor::*handler)()) {
    auto* button = new QPushButton(QString(marked).remove(QLatin1Char('&')), this);
    button->setObjectName(QString::fromLatin1(object));
    button->setAutoDefault(false);
    SetMnemonic(*button, marked);
    if (handler != nullptr) connect(button, &QPushButton::clicked, this, handler);
    return button;
  };
  insertRow_ = makeButton("InsRec", QStringLiteral("&Новая запись"), &MappingEditor::onInsertRowClicked);
  deleteRow_ = makeButton("DelRec", QStringLiteral("&Удалить текущую"), &MappingEditor::onDeleteRowClicked);
  save_ = makeButton("save", QStringLiteral("&Сохранить изменения"), &MappingEditor::onSaveClicked);
  close_ = makeButton("FormExit", QStringLiteral("&Закрыть"), &MappingEditor::onCloseClicked);
  addUnmapped_ = makeButton("AddUnmapped", QStringLiteral("&Добавить несопоставленные"), nullptr);
  addUnmapped_->setToolTip(QStringLiteral("Добавить значения, не нашедшие связки при последней конвертации"));
  connect(addUnmapped_, &QPushButton::clicked, this, [this] { onAddUnmappedClicked(); });
  export_ = makeButton("ExportMapping", QStringLiteral("&Экспорт..."), nullptr);
  export_->setToolTip(QStringLiteral("Записать таблицу связок в файл CSV"));
  connect(export_, &QPushButton::clicked, this, [this] { onExportClicked(); });
  import_ = makeButton("ImportMapping", QStringLiteral("&Импорт..."), nullptr);
  import_->setToolTip(
      QStringLiteral("Загрузить связки из файла CSV: новые ключи добавляются, ничего не удаляется"));
  connect(import_, &QPushButton::clicked, this, [this] { onImportClicked(); });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(insertRow_);
  buttons->addWidget(deleteRow_);
  buttons->addWidget(save_);
  buttons->addWidget(addUnmapped_);
  buttons->addWidget(export_);
  buttons->addWidget(import_);
  buttons->addStretch(1);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grid_, 1);
  layout->addLayout(buttons);

  // Columns as wide as their widest value, while the user edits too.
  connect(model_, &QAbstractItemModel::modelReset, this, &MappingEditor::FitColumns);
  connect(model_, &QAbstractItemModel::rowsInserted, this, &MappingEditor::FitColumns);
  connect(model_, &QAbstractItemModel::dataChanged, this, &MappingEditor::FitColumns);
  connect(pavkDelegate_, &PavkChoiceDelegate::Unresolved, this, &MappingEditor::ReportUnresolved,
          Qt::QueuedConnection);

  // A fixed single border: the window keeps the size made for the columns,
  // or what the screen has room for.
  QRect available(0, 0, kWindowWidth + kFrameAllowanceWidth, kWindowHeight + kFrameAllowanceHeight);
  if (QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen())
    available = screen->availableGeometry();
  const QMargins margins = layout->contentsMargins();
  const int wanted = std::max(kWindowWidth, buttons->sizeHint().width() + margins.left() + margins.right());
  setFixedSize(std::min(wanted, available.width() - kFrameAllowanceWidth),
               std::min(kWindowHeight, available.height() - kFrameAllowanceHeight));
}

MappingEditor::~MappingEditor() = default;

QTableView& MappingEditor::Grid() { return *grid_; }

namespace {

// Which table the window could not prepare, and why: what the file shows
// when it could not be opened, else the error's own text.
std::string InitCause(const std::string& tablePath, const std::exception& error) {
  if (tablePath.empty()) return error.what();
  const auto* own = dynamic_cast<const Error*>(&error);
  if (own == nullptr || own->Kind() == ErrorKind::Other) return TableProblemLine(tablePath, error.what());
  return TableReadProblem(tablePath);
}

}  // namespace

bool MappingEditor::PrepareMapping(int kind, bool show) {
  initError_.clear();
  kind_ = kind;
  try {
    model_->Clear();
    PreparedMapping prepared = PrepareMappingTable(kind, table_);
    QStringList choices;
    for (const std::string& choice : prepared.pavk.choices) choices << ToQt(choice);
    choices_ = prepared.pavk.choices;
    pavkDelegate_->SetChoices(choices);
    if (prepared.pavk.classifierName.has_value()) {
      setWindowTitle(QStringLiteral("Перекодировка классификатора \"") + ToQt(*prepared.pavk.classifierName) +
                     QStringLiteral("\""));
    }
    grid_->setColumnHidden(MappingTableModel::kCodeColumn, kind == kLpuKind);
    model_->Reload();
    header_->FitSections();
    SelectRow(0);
  } catch (const std::exception& error) {
    initError_ =
        VELT_ANSI("Ошибка инициализации окна связок. ") + "\n" + InitCause(table_.TableName(), error);
    model_->Clear();
    table_.Close();
    if (show) showMessage_(initError_);
    return false;
  }
  if (show) exec();
  return true;
}

int MappingEditor::CurrentRow() const {
  const QModelIndex current = grid_->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void MappingEditor::SelectRow(int row) {
  if (row < 0 || row >= model_->rowCount()) return;
  int column = MappingTableModel::kCodeColumn;
  if (grid_->isColumnHidden(column)) column = MappingTableModel::kNameColumn;
  grid_->setCurrentIndex(model_->index(row, column));
}

// The keyboard goes to the new row's first cell, ready for typing.
void MappingEditor::onInsertRowClicked() {
  grid_->CommitEditor();
  const int row = model_->InsertBlankRow();
  if (row < 0) return;
  SelectRow(row);
  grid_->setFocus(Qt::OtherFocusReason);
}

// Deleting packs the table: the record is gone for good, so the user
// confirms it first.
void MappingEditor::onDeleteRowClicked() {
  const int row = CurrentRow();
  if (row >= 0 && AskQuestion(this, DeleteQuestion(row), QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
    return;
  // What was typed into the record being deleted goes with it.
  grid_->DiscardEditor();
  model_->DeleteRowAndPack(row);
  SelectRow(std::min(std::max(row, 0), model_->rowCount() - 1));
}

QString MappingEditor::DeleteQuestion(int row) const {
  QStringList parts;
  for (int column : {MappingTableModel::kCodeColumn, MappingTableModel::kNameColumn}) {
    const QString text = model_->index(row, column).data().toString().trimmed();
    if (!text.isEmpty() && !grid_->isColumnHidden(column)) parts << text;
  }
  const QString named = parts.isEmpty()
                            ? QStringLiteral("Удалить пустую запись (строка %1)?").arg(row + 1)
                            : QStringLiteral("Удалить запись «%1»?").arg(parts.join(QStringLiteral(" ")));
  return named + QStringLiteral("\nЗапись будет удалена из файла безвозвратно.");
}

// Esc would close the window and drop the row being edited: the user is
// asked first.
void MappingEditor::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Escape || event->modifiers() != Qt::NoModifier || model_->PendingRow() < 0) {
    QDialog::keyPressEvent(event);
    return;
  }
  switch (AskQuestion(this, QStringLiteral("Сохранить изменения в текущей записи?"),
                      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save)) {
    case QMessageBox::Save:
      onSaveClicked();
      if (model_->PendingRow() < 0) reject();  // a refused write keeps the window open
      break;
    case QMessageBox::Discard:
      reject();
      break;
    default:
      break;
  }
}

void MappingEditor::FitColumns() {
  const QFontMetrics metrics = grid_->fontMetrics();
  // The cell's text margins, and the drop-down button of the PAVK column.
  const int margin = 2 * (grid_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid_) + 1) + 8;
  const int button = grid_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid_) + 2;
  std::vector<int> least(MappingTableModel::kColumnCount, 0);
  for (int column = 0; column < MappingTableModel::kColumnCount; ++column) {
    const auto title = TwoLevelHeaderView::SplitTitle(model_->headerData(column, Qt::Horizontal).toString());
    int widest = std::max(metrics.horizontalAdvance(title.lower), metrics.horizontalAdvance(title.upper));
    for (int row = 0; row < model_->rowCount(); ++row)
      widest = std::max(widest, metrics.horizontalAdvance(model_->index(row, column).data().toString()));
    least[column] = widest + margin + (column == MappingTableModel::kPavkColumn ? button : 0);
  }
  header_->SetLeastWidths(std::move(least));
}

void MappingEditor::ReportUnresolved(const QString& typed, const QStringList& candidates) {
  QString text;
  if (candidates.isEmpty()) {
    text = QStringLiteral("Значение «%1» не подходит ни к одному коду ПАВК; связка не изменена.").arg(typed);
  } else {
    constexpr int kListed = 8;
    QStringList listed = candidates.mid(0, kListed);
    if (candidates.size() > kListed) listed << QStringLiteral("…");
    text = QStringLiteral(
               "Значение «%1» подходит к нескольким кодам ПАВК:\n%2\nСвязка не изменена: "
               "выберите код из списка.")
               .arg(typed, listed.join(QLatin1Char('\n')));
  }
  showMessage_(FromQt(text), MessageKind::Warning);
}

void MappingEditor::onSaveClicked() {
  grid_->CommitEditor();
  model_->PostPending();
}

void MappingEditor::onCloseClicked() { reject(); }

int MappingEditor::onAddUnmappedClicked() {
  grid_->CommitEditor();
  if (!model_->PostPending()) return 0;
  const std::vector<std::string> values = lastRunUnmapped_ != nullptr
                                              ? lastRunUnmapped_->ValuesForMappingKind(kind_)
                                              : std::vector<std::string>();
  if (values.empty()) {
    showMessage_(VELT_ANSI("Добавлять нечего: последняя конвертация не нашла несопоставленных значений этого "
                           "справочника (или в этом сеансе конвертации ещё не было)."),
                 MessageKind::Information);
    return 0;
  }
  // Institutions are keyed by their name, the other classifiers by the code.
  const int keyColumn = kind_ == kLpuKind ? MappingTableModel::kNameColumn : MappingTableModel::kCodeColumn;
  std::set<std::string> present;
  for (int row = 0; row < model_->rowCount(); ++row)
    present.insert(Trim(Utf8ToAnsi(model_->index(row, keyColumn).data().toString().toStdString())));
  int added = 0;
  int lastRow = -1;
  bool refused = false;
  for (const std::string& value : values) {
    if (!present.insert(Trim(value)).second) continue;
    const int row = model_->InsertBlankRow();
    if (row >= 0) model_->setData(model_->index(row, keyColumn), ToQt(value));
    if (row < 0 || !model_->PostPending()) {  // the user was told why
      refused = true;
      break;
    }
    lastRow = row;
    ++added;
  }
  if (lastRow >= 0) SelectRow(lastRow);
  if (added == 0 && !refused)
    showMessage_(VELT_ANSI("Добавлять нечего: все значения, не нашедшие связки при последней конвертации (") +
                     std::to_string(values.size()) + VELT_ANSI("), уже есть в таблице."),
                 MessageKind::Information);
  return added;
}

// The table's name in the folder of the last export: an import usually
// takes back the file that was exported and edited.
QString MappingEditor::SuggestedCsv(bool save) const {
  const std::string name = MappingTableName(kind_);
  const QString file = ToQt(name.substr(0, name.rfind('.')) + ".csv");
  if (lastExport_ == nullptr || lastExport_->isEmpty()) return file;
  if (!save) return *lastExport_;
  return QFileInfo(*lastExport_).dir().filePath(file);
}

bool MappingEditor::onExportClicked() {
  grid_->CommitEditor();
  if (!model_->PostPending()) return false;
  const QString file = chooseFile_(this, true, SuggestedCsv(true));
  if (file.isEmpty()) return false;
  const int row = CurrentRow();
  bool done = false;
  try {
    const int rows = WriteMappingCsv(table_, FromQt(file), kSemicolonSeparator);
    if (lastExport_ != nullptr) *lastExport_ = file;
    showMessage_(MappingExportDone(FromQt(QDir::toNativeSeparators(file)), rows), MessageKind::Information);
    done = true;
  } catch (const Error& error) {
    showMessage_(error.what());
  }
  model_->Reload();  // the walk moved the table's cursor
  SelectRow(row);
  return done;
}

bool MappingEditor::onImportClicked() {
  grid_->CommitEditor();
  if (!model_->PostPending()) return false;
  const QString file = chooseFile_(this, false, SuggestedCsv(false));
  if (file.isEmpty()) return false;
  const int row = CurrentRow();
  bool done = false;
  try {
    const MappingImportCount count = ImportMappingCsv(table_, kind_, ReadMappingCsv(FromQt(file)), choices_);
    showMessage_(VELT_ANSI("Связки загружены из файла ") + FromQt(file) + VELT_ANSI(". Изменено строк: ") +
                     std::to_string(count.updated) + VELT_ANSI(", добавлено: ") +
                     std::to_string(count.appended) + ".",
                 MessageKind::Information);
    done = true;
  } catch (const Error& error) {
    showMessage_(VELT_ANSI("Файл ") + FromQt(file) + ":\n" + error.what());
  }
  model_->Reload();
  SelectRow(std::max(row, 0));
  return done;
}

void MappingEditor::done(int result) {
  ReleaseTable();
  QDialog::done(result);
}

void MappingEditor::ReleaseTable() {
  // A change still pending in the current row is not written.
  grid_->DiscardEditor();
  model_->CancelPending();
  model_->Clear();
  table_.Close();
}

void ShowMappingEditor(QWidget* owner, int kind, const ShowMessageFn& showMessage,
                       const UnmappedReport& lastRunUnmapped, QString& lastExport) {
  QPointer<MappingEditor> form = new MappingEditor(owner, showMessage);
  form->SetLastRunUnmapped(&lastRunUnmapped);
  form->SetLastExport(&lastExport);
  form->PrepareMapping(kind, true);
  delete form.data();
}

}  // namespace velt
