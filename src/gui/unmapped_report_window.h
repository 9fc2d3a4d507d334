#pragma once
// The window "Несопоставленные значения": the archive values of the last run
// that found no mapping, sortable by any column, copied to the clipboard as
// tab-separated text (Ctrl+C the selected rows, "Копировать" all of them) so
// that staff can paste them into a letter or a spreadsheet.
#include <QDialog>
#include <QString>

#include "conversion/unmapped_report.h"

class QStandardItemModel;
class QTableView;

namespace velt {

class UnmappedReportWindow : public QDialog {
  Q_OBJECT

 public:
  UnmappedReportWindow(const UnmappedReport& report, QWidget* owner = nullptr);

  QTableView& Table() { return *view_; }
  // "kind<TAB>value<TAB>calls" lines in the order the table shows them.
  QString SelectedRowsText() const;
  QString AllRowsText() const;
  void CopySelected() const;
  void CopyAll() const;

 private:
  QStandardItemModel* model_ = nullptr;
  QTableView* view_ = nullptr;
};

// Shows the last run's report modally over `owner`.
void ShowUnmappedReport(QWidget* owner, const UnmappedReport& report);

}  // namespace velt
