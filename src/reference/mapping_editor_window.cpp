#include "reference/mapping_editor_window.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <exception>
#include <set>

#include "conversion/unmapped_report.h"
#include "reference/mapping_preparation.h"
#include "reference/mapping_table_model.h"
#include "reference/pavk_choice_delegate_qt.h"
#include "reference/two_level_header_qt.h"
#include "support/code_page.h"
#include "support/text.h"
#include "support/user_messages.h"

namespace velt {
namespace {

constexpr int kLpuKind = 5;  // keyed on the institution's name: no code column

QString ToQt(const std::string& ansi) { return QString::fromStdString(AnsiToUtf8(ansi)); }

}  // namespace

// The grid, with a hand on the cell editor that is open: the buttons write
// what the user typed before they act, closing the window throws it away.
class Tdircform::MappingGrid : public QTableView {
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

Tdircform::Tdircform(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("dircform"));
  setWindowTitle(QStringLiteral("Ведение связок значений справочника"));

  model_ = new MappingTableModel(dir_, this);
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
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 8);
  grid_->verticalHeader()->setFixedWidth(22);
  header_->SetBaseWidths({40, 350, 350});
  // Leaving a row writes the change made in it.
  connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { model_->CurrentRowChanged(current.row()); });

  auto makeButton = [this](const char* object, const QString& text, void (Tdircform::*handler)()) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::fromLatin1(object));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, handler);
    return button;
  };
  insRec_ = makeButton("InsRec", QStringLiteral("Новая запись"), &Tdircform::InsRecClick);
  delRec_ = makeButton("DelRec", QStringLiteral("Удалить текущую"), &Tdircform::DelRecClick);
  save_ = makeButton("save", QStringLiteral("Сохранить изменения"), &Tdircform::saveClick);
  formExit_ = makeButton("FormExit", QStringLiteral("Закрыть"), &Tdircform::FormExitClick);
  addUnmapped_ = new QPushButton(QStringLiteral("Добавить несопоставленные"), this);
  addUnmapped_->setObjectName(QStringLiteral("AddUnmapped"));
  addUnmapped_->setAutoDefault(false);
  addUnmapped_->setToolTip(QStringLiteral("Добавить значения, не нашедшие связки при последней конвертации"));
  connect(addUnmapped_, &QPushButton::clicked, this, [this] { AddUnmappedClick(); });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(insRec_);
  buttons->addWidget(delRec_);
  buttons->addWidget(save_);
  buttons->addWidget(addUnmapped_);
  buttons->addStretch(1);
  buttons->addWidget(formExit_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grid_, 1);
  layout->addLayout(buttons);

  // A fixed single border: the window keeps the size made for the columns.
  setFixedSize(800, 560);
}

Tdircform::~Tdircform() = default;

QTableView& Tdircform::Grid() { return *grid_; }

bool Tdircform::PrepareMapping(int kind, bool show) {
  initError_.clear();
  kind_ = kind;
  try {
    model_->Clear();
    PreparedMapping prepared = PrepareMappingTable(kind, dir_);
    QStringList choices;
    for (const std::string& choice : prepared.pavk.choices) choices << ToQt(choice);
    pavkDelegate_->SetChoices(choices);
    if (prepared.pavk.classifierName.has_value()) {
      setWindowTitle(QStringLiteral("Перекодировка классификатора \"") + ToQt(*prepared.pavk.classifierName) +
                     QStringLiteral("\""));
    }
    grid_->setColumnHidden(MappingTableModel::kCodeColumn, kind == kLpuKind);
    model_->Reload();
    header_->FitSections();
    SelectRow(0);
  } catch (const std::exception&) {
    initError_ = W("Ошибка инициализации окна связок. ");
    model_->Clear();
    dir_.Close();
    if (show) Messages().ShowMessage(initError_);
    return false;
  }
  if (show) exec();
  return true;
}

int Tdircform::CurrentRow() const {
  const QModelIndex current = grid_->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void Tdircform::SelectRow(int row) {
  if (row < 0 || row >= model_->rowCount()) return;
  int column = MappingTableModel::kCodeColumn;
  if (grid_->isColumnHidden(column)) column = MappingTableModel::kNameColumn;
  grid_->setCurrentIndex(model_->index(row, column));
}

void Tdircform::InsRecClick() {
  grid_->CommitEditor();
  const int row = model_->InsertBlankRow();
  if (row >= 0) SelectRow(row);
}

void Tdircform::DelRecClick() {
  // What was typed into the record being deleted goes with it.
  grid_->DiscardEditor();
  const int row = CurrentRow();
  model_->DeleteRowAndPack(row);
  SelectRow(std::min(std::max(row, 0), model_->rowCount() - 1));
}

void Tdircform::saveClick() {
  grid_->CommitEditor();
  model_->PostPending();
}

void Tdircform::FormExitClick() { reject(); }

int Tdircform::AddUnmappedClick() {
  grid_->CommitEditor();
  if (!model_->PostPending()) return 0;
  // Institutions are keyed by their name, the other classifiers by the code.
  const int keyColumn = kind_ == kLpuKind ? MappingTableModel::kNameColumn : MappingTableModel::kCodeColumn;
  std::set<std::string> present;
  for (int row = 0; row < model_->rowCount(); ++row)
    present.insert(Trim(Utf8ToAnsi(model_->index(row, keyColumn).data().toString().toStdString())));
  int added = 0;
  int lastRow = -1;
  for (const std::string& value : LastRunUnmapped().ValuesForMappingKind(kind_)) {
    if (!present.insert(Trim(value)).second) continue;
    const int row = model_->InsertBlankRow();
    if (row < 0) break;  // the user was told why
    model_->setData(model_->index(row, keyColumn), ToQt(value));
    if (!model_->PostPending()) break;
    lastRow = row;
    ++added;
  }
  if (lastRow >= 0) SelectRow(lastRow);
  return added;
}

void Tdircform::done(int result) {
  FormClose();
  QDialog::done(result);
}

void Tdircform::FormClose() {
  // A change still pending in the current row is not written.
  grid_->DiscardEditor();
  model_->CancelPending();
  model_->Clear();
  dir_.Close();
}

void ShowMappingEditor(QWidget* owner, int kind) {
  QPointer<Tdircform> form = new Tdircform(owner);
  form->PrepareMapping(kind, true);
  delete form.data();
}

}  // namespace velt
