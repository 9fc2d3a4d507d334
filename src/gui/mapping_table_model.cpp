#include "gui/mapping_table_model.h"

#include "gui/qt_text.h"
#include "support/code_page.h"
#include "support/error.h"

namespace velt {
// Engine errors while editing reach the user the way the window toolkit
// shows any error: a message box, and the window stays open.
void MappingTableModel::Report(const Error& error) const { showMessage_(error.what()); }

MappingTableModel::MappingTableModel(Table& table, ShowMessageFn showMessage, QObject* parent)
    : QAbstractTableModel(parent), table_(table), showMessage_(std::move(showMessage)) {}

void MappingTableModel::ResolveFields() {
  codeField_ = table_.FieldByName("VELTCODE").Index();
  nameField_ = table_.FieldByName("VELTNAME").Index();
  pavkField_ = table_.FieldByName("PAVK").Index();
}

void MappingTableModel::Reload() {
  beginResetModel();
  rows_.clear();
  pendingRow_ = -1;
  try {
    if (table_.Active()) {
      ResolveFields();
      for (table_.First(); !table_.Eof(); table_.Next()) {
        Row row;
        row.recno = table_.RecNo();
        ReadCurrent(row);
        rows_.push_back(std::move(row));
      }
    }
  } catch (...) {
    rows_.clear();
    endResetModel();
    throw;
  }
  endResetModel();
}

void MappingTableModel::Clear() {
  beginResetModel();
  rows_.clear();
  pendingRow_ = -1;
  endResetModel();
}

void MappingTableModel::ReadCurrent(Row& row) const {
  row.code = table_.AsString(codeField_);
  row.name = table_.AsString(nameField_);
  row.pavk = table_.AsString(pavkField_);
}

int MappingTableModel::FieldOfColumn(int column) const {
  switch (column) {
    case kCodeColumn:
      return codeField_;
    case kNameColumn:
      return nameField_;
    case kPavkColumn:
      return pavkField_;
    default:
      return -1;
  }
}

int MappingTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int MappingTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

const std::string& MappingTableModel::CellText(int row, int column) const {
  const Row& cells = rows_[static_cast<std::size_t>(row)];
  return column == kCodeColumn ? cells.code : column == kNameColumn ? cells.name : cells.pavk;
}

QVariant MappingTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const std::string* text = &CellText(index.row(), index.column());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return ToQt(*text);
    case Qt::ToolTipRole:
      return index.column() == kCodeColumn || text->empty() ? QVariant() : ToQt(*text);
    case Qt::TextAlignmentRole:
      return index.column() == kCodeColumn ? QVariant(Qt::AlignCenter)
                                           : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

bool MappingTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount()) return false;
  const int row = index.row();
  const int field = FieldOfColumn(index.column());
  if (field < 0) return false;
  const std::string text = Utf8ToAnsi(value.toString().toStdString());
  // An editor closed without a change leaves the record alone.
  if (pendingRow_ != row && text == CellText(row, index.column())) return false;
  try {
    BeginRowEdit(row);
    table_.SetString(field, text);
    // What the field holds now (cut to its width, letters 1251 lacks as '?').
    ReadCurrent(rows_[static_cast<std::size_t>(row)]);
  } catch (const Error& error) {
    Report(error);
    return false;
  }
  EmitRowChanged(row);
  return true;
}

void MappingTableModel::BeginRowEdit(int row) {
  if (pendingRow_ == row) return;
  if (pendingRow_ >= 0) {
    table_.Post();  // the user left that row by editing this one
    const int posted = pendingRow_;
    pendingRow_ = -1;
    ReadCurrent(rows_[static_cast<std::size_t>(posted)]);
    EmitRowChanged(posted);
  }
  const int recno = rows_[static_cast<std::size_t>(row)].recno;
  table_.GoTo(recno);
  if (table_.Eof() || table_.RecNo() != recno) throw Error("Record not found");
  table_.Edit();
  pendingRow_ = row;
}

QVariant MappingTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) {
    // The pencil marks the row whose change is not yet written.
    return section == pendingRow_ ? QStringLiteral("\u270E") : QString();
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
  emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
  emit headerDataChanged(Qt::Vertical, row, row);
}

void MappingTableModel::CurrentRowChanged(int row) {
  if (pendingRow_ >= 0 && pendingRow_ != row) PostPending();
}

bool MappingTableModel::PostPending() {
  if (pendingRow_ < 0) return true;
  const int row = pendingRow_;
  try {
    table_.Post();
  } catch (const Error& error) {
    Report(error);
    return false;
  }
  pendingRow_ = -1;
  ReadCurrent(rows_[static_cast<std::size_t>(row)]);
  EmitRowChanged(row);
  return true;
}

void MappingTableModel::CancelPending() {
  table_.Cancel();
  if (pendingRow_ < 0) return;
  const int row = pendingRow_;
  pendingRow_ = -1;
  if (table_.Active()) ReadCurrent(rows_[static_cast<std::size_t>(row)]);
  EmitRowChanged(row);
}

int MappingTableModel::InsertBlankRow() {
  if (!PostPending()) return -1;
  Row row;
  try {
    table_.InsertBlank();
    row.recno = table_.RecNo();
    ReadCurrent(row);
  } catch (const Error& error) {
    Report(error);
    return -1;
  }
  // A new record goes to the end of the file, so physical order holds.
  const int at = rowCount();
  beginInsertRows(QModelIndex(), at, at);
  rows_.push_back(std::move(row));
  endInsertRows();
  return at;
}

bool MappingTableModel::DeleteRowAndPack(int row) {
  bool done = true;
  try {
    if (row >= 0 && row < rowCount()) {
      if (pendingRow_ == row) {
        CancelPending();  // a change to the record being deleted is moot
      } else if (!PostPending()) {
        return false;
      }
      table_.GoTo(rows_[static_cast<std::size_t>(row)].recno);
      if (!table_.Eof()) table_.Delete();
    }
    table_.Pack();
  } catch (const Error& error) {
    Report(error);
    done = false;
  }
  // Packing renumbers the records; a failed step may have changed the file.
  try {
    Reload();
  } catch (const Error& error) {
    Report(error);
    done = false;
  }
  return done;
}

int MappingTableModel::RecNoOfRow(int row) const {
  return row >= 0 && row < rowCount() ? rows_[static_cast<std::size_t>(row)].recno : 0;
}

}  // namespace velt
