#include "reference/mapping_table_editor.h"

#include <exception>

#include "support/error.h"

namespace velt {

void MappingTableEditor::ResolveFields() {
  codeField_ = table_.FieldByName("VELTCODE").Index();
  nameField_ = table_.FieldByName("VELTNAME").Index();
  pavkField_ = table_.FieldByName("PAVK").Index();
}

void MappingTableEditor::Load() {
  rows_.clear();
  pendingRow_ = -1;
  if (!table_.Active()) return;
  try {
    ResolveFields();
    table_.SetOrder(0);
    for (table_.First(); !table_.Eof(); table_.Next()) {
      MappingRow row;
      row.recNo = table_.RecNo();
      ReadCurrent(row);
      rows_.push_back(std::move(row));
    }
  } catch (...) {
    rows_.clear();
    throw;
  }
}

void MappingTableEditor::Clear() {
  rows_.clear();
  pendingRow_ = -1;
}

void MappingTableEditor::ReadCurrent(MappingRow& row) const {
  row.code = table_.AsString(codeField_);
  row.name = table_.AsString(nameField_);
  row.pavk = table_.AsString(pavkField_);
}

int MappingTableEditor::FieldOfColumn(int column) const {
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

const std::string& MappingTableEditor::Cell(int row, int column) const {
  const MappingRow& cells = rows_[static_cast<std::size_t>(row)];
  return column == kCodeColumn ? cells.code : column == kNameColumn ? cells.name : cells.pavk;
}

bool MappingTableEditor::SetCell(int row, int column, std::string_view text) {
  const int field = FieldOfColumn(column);
  if (row < 0 || row >= RowCount() || field < 0) return false;
  // An editor closed without a change leaves the record alone.
  if (pendingRow_ != row && text == Cell(row, column)) return false;
  BeginRowEdit(row);
  table_.SetString(field, text);
  // What the field holds now (cut to its width, letters 866 lacks as '?').
  ReadCurrent(rows_[static_cast<std::size_t>(row)]);
  return true;
}

void MappingTableEditor::BeginRowEdit(int row) {
  if (pendingRow_ == row) return;
  Post();  // the user left that row by editing this one
  const std::int64_t recNo = rows_[static_cast<std::size_t>(row)].recNo;
  table_.GoTo(recNo);
  if (table_.Eof() || table_.RecNo() != recNo) throw Error("Record not found");
  table_.Edit();
  pendingRow_ = row;
}

int MappingTableEditor::Post() {
  if (pendingRow_ < 0) return -1;
  const int row = pendingRow_;
  table_.Post();
  pendingRow_ = -1;
  ReadCurrent(rows_[static_cast<std::size_t>(row)]);
  return row;
}

int MappingTableEditor::Cancel() {
  table_.Cancel();
  if (pendingRow_ < 0) return -1;
  const int row = pendingRow_;
  pendingRow_ = -1;
  if (table_.Active()) ReadCurrent(rows_[static_cast<std::size_t>(row)]);
  return row;
}

int MappingTableEditor::AddCurrentRecord() {
  MappingRow row;
  row.recNo = table_.RecNo();
  ReadCurrent(row);
  rows_.push_back(std::move(row));
  return RowCount() - 1;
}

int MappingTableEditor::InsertBlank() {
  Post();
  table_.InsertBlank();
  return AddCurrentRecord();
}

int MappingTableEditor::Append(std::string_view code, std::string_view name, std::string_view pavk) {
  Post();
  table_.Append();
  try {
    table_.SetString(codeField_, code);
    table_.SetString(nameField_, name);
    table_.SetString(pavkField_, pavk);
    table_.Post();
  } catch (...) {
    table_.Cancel();
    throw;
  }
  return AddCurrentRecord();
}

void MappingTableEditor::DeleteAndPack(int row) {
  const bool shown = row >= 0 && row < RowCount();
  // A change to the record being deleted is moot; a refused post of another
  // row stops here, with nothing changed.
  if (shown && pendingRow_ == row) {
    Cancel();
  } else {
    Post();
  }
  std::exception_ptr failure;
  try {
    if (shown) {
      table_.GoTo(rows_[static_cast<std::size_t>(row)].recNo);
      if (!table_.Eof()) table_.Delete();
    }
    table_.Pack();
  } catch (const Error&) {
    failure = std::current_exception();
  }
  // Packing renumbers the records; a failed step may have changed the file.
  Load();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace velt
