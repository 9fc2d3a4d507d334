#include "gui/mapping_table_model.h"

#include "gui/qt_text.h"
#include "support/code_page.h"
#include "support/error.h"

namespace velt {
// Engine errors while editing reach the user the way the window toolkit
// shows any error: a message box, and the window stays open.
void MappingTableModel::Report(const Error& error) const { showMessage_(error.what()); }

MappingTableModel::MappingTableModel(Table& table, ShowMessageFn showMessage, QObject* parent)
    : QAbstractTableModel(parent), editor_(table), showMessage_(std::move(showMessage)) {}

void MappingTableModel::Reload() {
  beginResetModel();
  try {
    editor_.Load();
  } catch (...) {
    endResetModel();
    throw;
  }
  endResetModel();
}

void MappingTableModel::Clear() {
  beginResetModel();
  editor_.Clear();
  endResetModel();
}

int MappingTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : editor_.RowCount();
}

int MappingTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant MappingTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const std::string& text = editor_.Cell(index.row(), index.column());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return ToQt(text);
    case Qt::ToolTipRole:
      return index.column() == kCodeColumn || text.empty() ? QVariant() : ToQt(text);
    case Qt::TextAlignmentRole:
      return index.column() == kCodeColumn ? QVariant(Qt::AlignCenter)
                                           : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

bool MappingTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount()) return false;
  const int before = editor_.PendingRow();
  try {
    if (!editor_.SetCell(index.row(), index.column(), Utf8ToAnsi(value.toString().toStdString())))
      return false;
  } catch (const Error& error) {
    Report(error);
    // A row posted before the failure shows as written.
    if (before >= 0 && editor_.PendingRow() != before) EmitRowChanged(before);
    return false;
  }
  if (before >= 0 && before != index.row()) EmitRowChanged(before);  // the user left it by editing this one
  EmitRowChanged(index.row());
  return true;
}

QVariant MappingTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) {
    // The pencil marks the row whose change is not yet written.
    return section == PendingRow() ? QStringLiteral("\u270E") : QString();
  }
  switch (section) {
    case kCodeColumn:
      return QStringLiteral("ВЕЛТ | Код");
    case kNameColumn:
      return QStringLiteral("ВЕЛТ | Наименование");
    case kPavkColumn:
      return QStringLiteral("Код ПАВК");
    default:
      return {};
  }
}

Qt::ItemFlags MappingTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

void MappingTableModel::EmitRowChanged(int row) {
  if (row < 0 || row >= rowCount()) return;
  emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
  emit headerDataChanged(Qt::Vertical, row, row);
}

void MappingTableModel::CurrentRowChanged(int row) {
  if (PendingRow() >= 0 && PendingRow() != row) PostPending();
}

bool MappingTableModel::PostPending() {
  try {
    EmitRowChanged(editor_.Post());
  } catch (const Error& error) {
    Report(error);
    return false;
  }
  return true;
}

void MappingTableModel::CancelPending() { EmitRowChanged(editor_.Cancel()); }

int MappingTableModel::InsertBlankRow() {
  if (!PostPending()) return -1;
  int at = -1;
  try {
    at = editor_.InsertBlank();
  } catch (const Error& error) {
    Report(error);
    return -1;
  }
  // The new record went to the end of the file, so physical order holds.
  beginInsertRows(QModelIndex(), at, at);
  endInsertRows();
  return at;
}

bool MappingTableModel::DeleteRowAndPack(int row) {
  bool done = true;
  beginResetModel();
  try {
    editor_.DeleteAndPack(row);
  } catch (const Error& error) {
    Report(error);
    done = false;
  }
  endResetModel();
  return done;
}

int MappingTableModel::RecNoOfRow(int row) const {
  return row >= 0 && row < rowCount() ? static_cast<int>(editor_.Rows()[static_cast<std::size_t>(row)].recNo)
                                      : 0;
}

}  // namespace velt
