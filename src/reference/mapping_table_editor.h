#pragma once
// The editing of one open mapping table, as the mapping editor's grid and a
// mapping file's import do it. Rows are the table's live records in physical
// order, their texts in 1251. A changed row stays pending (the table in edit
// state) until it is posted; a pending change can be dropped. Every change
// goes through the table layer, whose errors are raised as they come; the
// rows then show what the file holds.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "table/table.h"

namespace velt {

struct MappingRow {
  std::int64_t recNo = 0;
  std::string code, name, pavk;  // VELTCODE, VELTNAME, PAVK
};

class MappingTableEditor {
 public:
  static constexpr int kCodeColumn = 0;
  static constexpr int kNameColumn = 1;
  static constexpr int kPavkColumn = 2;

  explicit MappingTableEditor(Table& table) : table_(table) {}

  // Reads the rows of the open table afresh (none when it is closed);
  // raises the engine's error for a table without the mapping fields.
  void Load();
  // Forgets the rows (the table was closed).
  void Clear();

  const std::vector<MappingRow>& Rows() const { return rows_; }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  const std::string& Cell(int row, int column) const;
  // The row whose change is not yet posted, -1 when none.
  int PendingRow() const { return pendingRow_; }

  // Puts `text` into a cell (cut to the field's width as the table stores
  // it); a change pending in another row is posted first. False when the
  // cell already held the text and nothing was pending in the row.
  bool SetCell(int row, int column, std::string_view text);
  // Posts the pending change; returns its row, -1 when none was pending.
  int Post();
  // Drops the pending change; returns its row (showing the file's record
  // again), -1 when none was pending.
  int Cancel();
  // Posts a pending change, then stores one blank record at once; returns
  // its row.
  int InsertBlank();
  // Posts a pending change, then stores a record with these texts; returns
  // its row.
  int Append(std::string_view code, std::string_view name, std::string_view pavk);
  // Deletes the record of `row` when there is one (a change pending in it is
  // dropped), then packs the table in every case. The rows are read afresh
  // afterwards, also when a step failed.
  void DeleteAndPack(int row);

 private:
  void ResolveFields();
  void ReadCurrent(MappingRow& row) const;
  int FieldOfColumn(int column) const;
  // The table on the row's record in edit state.
  void BeginRowEdit(int row);
  // A new record at the end of the file: physical order holds.
  int AddCurrentRecord();

  Table& table_;
  std::vector<MappingRow> rows_;
  int codeField_ = -1;
  int nameField_ = -1;
  int pavkField_ = -1;
  int pendingRow_ = -1;
};

}  // namespace velt
