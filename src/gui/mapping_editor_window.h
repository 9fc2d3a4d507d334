#pragma once
// The classifier mapping editor: one mapping table in a grid, where the user
// maps each VELT value of a classifier to a PAVK choice. While the window is
// shown it holds its mapping table exclusively.
#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "conversion/unmapped_report.h"
#include "gui/show_message.h"
#include "table/table.h"

class QKeyEvent;
class QPushButton;
class QTableView;

namespace velt {

class MappingTableModel;
class PavkChoiceDelegate;
class TwoLevelHeaderView;

class MappingEditor : public QDialog {
  Q_OBJECT

 public:
  explicit MappingEditor(QWidget* owner = nullptr, ShowMessageFn showMessage = MessageToStandardError);
  ~MappingEditor() override;

  // Reads the kind's PAVK choices, sets the caption, creates the mapping
  // table when missing and opens it exclusively; with `show`, then shows the
  // window modally. Any failure: the initialisation error text, shown to the
  // user when `show` is set, and the window is not shown. False on failure.
  bool PrepareMapping(int kind, bool show);

  // "Ошибка инициализации окна связок. " after a failed initialisation.
  const std::string& InitError() const { return initError_; }
  Table& MappingTable() { return table_; }
  MappingTableModel& Model() { return *model_; }
  QTableView& Grid();
  PavkChoiceDelegate& PavkDelegate() { return *pavkDelegate_; }

  void onInsertRowClicked();
  void onDeleteRowClicked();
  void onSaveClicked();
  void onCloseClicked();
  // The values the last run found unmapped (none when not given); they must
  // outlive the editor.
  void SetLastRunUnmapped(const UnmappedReport* report) { lastRunUnmapped_ = report; }
  // Adds the values of this kind that the last run found unmapped as new
  // rows (the code, for institutions the name), leaving out values already
  // in the table, so that the user only picks their PAVK choices; says so
  // when there is nothing to add. Returns the number of rows added.
  int onAddUnmappedClicked();
  // The table's rows to a CSV file (";" between the fields, for Excel in a
  // Russian locale), and a CSV file merged into the table (keys kept, new
  // keys appended), each through a file dialog; a row typed but not yet
  // written is written first. False when nothing was done.
  bool onExportClicked();
  bool onImportClicked();
  // The file of the last export, kept by the caller across editors: the
  // next export and import dialogs open in its folder. None when not given.
  void SetLastExport(QString* lastExport) { lastExport_ = lastExport; }

  // Asks for the file of an export (`save`) or an import; an empty answer
  // cancels. The file dialog unless replaced (tests).
  using FileChooser = std::function<QString(QWidget* owner, bool save, const QString& suggested)>;
  void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

  // The view's current row, -1 when the table shows no record.
  int CurrentRow() const;

 protected:
  // Every way of closing the window ends here.
  void done(int result) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  class MappingGrid;

  void ReleaseTable();
  void SelectRow(int row);
  QString DeleteQuestion(int row) const;
  void FitColumns();
  void ReportUnresolved(const QString& typed, const QStringList& candidates);
  QString SuggestedCsv(bool save) const;

  Table table_{"Dir"};
  MappingTableModel* model_ = nullptr;
  MappingGrid* grid_ = nullptr;
  TwoLevelHeaderView* header_ = nullptr;
  PavkChoiceDelegate* pavkDelegate_ = nullptr;
  QPushButton* insertRow_ = nullptr;
  QPushButton* deleteRow_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* close_ = nullptr;
  QPushButton* addUnmapped_ = nullptr;
  QPushButton* export_ = nullptr;
  QPushButton* import_ = nullptr;
  FileChooser chooseFile_;
  std::vector<std::string> choices_;  // the kind's PAVK choices
  ShowMessageFn showMessage_;
  int kind_ = 0;
  std::string initError_;
  const UnmappedReport* lastRunUnmapped_ = nullptr;
  QString* lastExport_ = nullptr;
};

// Opens the editor for one mapping kind over `owner`, modally (the main
// window's menu items). The window is freed when it closes; `lastExport`
// keeps the file of the last export for the next editor.
void ShowMappingEditor(QWidget* owner, int kind, const ShowMessageFn& showMessage,
                       const UnmappedReport& lastRunUnmapped, QString& lastExport);

}  // namespace velt
