#pragma once
// The settings window: the code page of the call archive (inputCodePage).
// The main window creates a new one each time and shows it modally; "Save"
// closes it with the OK result, "Close", Esc and the close box with Cancel.
#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace velt {

class SettingsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit SettingsDialog(QWidget* owner = nullptr);

 public Q_SLOTS:
  void onSaveClicked();
  void onCloseClicked();

 private:
  void BuildControls();
  void StartUp();

  QLabel* codePageCaption_ = nullptr;
  QComboBox* codePageBox_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace velt
