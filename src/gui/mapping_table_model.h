#pragma once
// The editor's grid over one open mapping table. Rows are the table's
// visible records in physical order; every change goes through the table
// layer. A changed row stays pending (the table in edit state) until it is
// posted: when the user moves to another row or saves. A pending change can
// be dropped, which is what closing the window does.
//
// Engine errors while editing are shown to the user (the editor's message
// function) and leave the grid as the file is.
#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "gui/show_message.h"
#include "support/error.h"
#include "table/table.h"

namespace velt {

class MappingTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kCodeColumn = 0;
  static constexpr int kNameColumn = 1;
  static constexpr int kPavkColumn = 2;
  static constexpr int kColumnCount = 3;

  // Engine errors while editing go to `showMessage`.
  MappingTableModel(Table& table, ShowMessageFn showMessage, QObject* parent = nullptr);

  // Reads the rows of the open table afresh (after an open or a pack).
  // Raises the engine's error (a table without the mapping fields).
  void Reload();
  // Forgets the rows (the table was closed).
  void Clear();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Row with a change not yet posted, -1 when none.
  int PendingRow() const { return pendingRow_; }
  // The user moved to `row`: a change pending in another row is posted.
  void CurrentRowChanged(int row);
  // Posts the pending change; false (the user told why) when the engine refused.
  bool PostPending();
  // Drops the pending change; the row shows the record as the file holds it.
  void CancelPending();
  // Stores one blank record at once; returns its row, -1 on failure.
  int InsertBlankRow();
  // Deletes the record of `row` when the table shows any, then packs the
  // table in every case; false on failure.
  bool DeleteRowAndPack(int row);

  // The record number that a row shows (tests and diagnostics).
  int RecNoOfRow(int row) const;

 private:
  struct Row {
    int recno = 0;
    std::string code;  // Windows-1251, as the table reads them
    std::string name;
    std::string pavk;
  };

  void ResolveFields();
  // The table's current record (or the record being edited) into `row`.
  void ReadCurrent(Row& row) const;
  // Positions the table on the row's record in edit state.
  void BeginRowEdit(int row);
  void EmitRowChanged(int row);
  int FieldOfColumn(int column) const;
  const std::string& CellText(int row, int column) const;  // 1251
  void Report(const Error& error) const;

  Table& table_;
  ShowMessageFn showMessage_;
  std::vector<Row> rows_;
  int codeField_ = -1;
  int nameField_ = -1;
  int pavkField_ = -1;
  int pendingRow_ = -1;
};

}  // namespace velt
