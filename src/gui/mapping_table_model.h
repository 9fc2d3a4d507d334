#pragma once
// The editor's grid over one open mapping table, shown through the table's
// editing (reference/mapping_table_editor.h). A changed row stays pending
// until it is posted: when the user moves to another row or saves. A pending
// change can be dropped, which is what closing the window does.
//
// Engine errors while editing are shown to the user (the editor's message
// function) and leave the grid as the file is.
#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "gui/show_message.h"
#include "reference/mapping_table_editor.h"
#include "support/error.h"
#include "table/table.h"

namespace velt {

class MappingTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kCodeColumn = MappingTableEditor::kCodeColumn;
  static constexpr int kNameColumn = MappingTableEditor::kNameColumn;
  static constexpr int kPavkColumn = MappingTableEditor::kPavkColumn;
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
  int PendingRow() const { return editor_.PendingRow(); }
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
  void EmitRowChanged(int row);
  void Report(const Error& error) const;

  MappingTableEditor editor_;
  ShowMessageFn showMessage_;
};

}  // namespace velt
