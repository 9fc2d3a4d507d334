#pragma once
// The settings window: the code page of the call archive (InputCodePage).
// The main window creates a new one each time and shows it modally; "Save"
// closes it with the OK result, "Close", Esc and the close box with Cancel.
#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace velt {

class Tparform : public QDialog {
  Q_OBJECT

 public:
  explicit Tparform(QWidget* owner = nullptr);

 public Q_SLOTS:
  void saveClick();
  void FormExitClick();

 private:
  void BuildControls();
  void FormCreate();

  QLabel* outdirlable_ = nullptr;
  QComboBox* cbCodePage_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* FormExit_ = nullptr;
};

}  // namespace velt
