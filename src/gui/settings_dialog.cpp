// Before any Qt header: the run state has a member named like Qt's "slots"
// keyword.
#include "support/run_state.h"
//
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/keyboard_access_qt.h"
#include "gui/settings_dialog.h"
#include "gui/window_look_qt.h"

namespace velt {
namespace {

constexpr int kOemItem = 0;
constexpr int kAnsiItem = 1;

}  // namespace

SettingsDialog::SettingsDialog(QWidget* owner) : QDialog(owner) {
  setObjectName("parform");
  setWindowTitle(QStringLiteral("Настройки программы"));
  // A fixed single border with only the system menu.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  ApplyWindowLook(*this);
  BuildControls();
  StartUp();
}

void SettingsDialog::BuildControls() {
  codePageCaption_ = new QLabel(QStringLiteral("1. Кодировка входного файла архива ВЕЛТ"), this);
  codePageCaption_->setObjectName("outdirlable");

  codePageBox_ = new QComboBox(this);
  codePageBox_->setObjectName("cbCodePage");
  codePageBox_->setEditable(false);
  codePageBox_->addItem(QStringLiteral("OEM (DOS)"));
  codePageBox_->addItem(QStringLiteral("ANSI (WIN)"));

  save_ = new QPushButton(QStringLiteral("Сохранить изменения"), this);
  save_->setObjectName("save");
  close_ = new QPushButton(QStringLiteral("Закрыть"), this);
  close_->setObjectName("FormExit");
  // Enter takes the choice shown (the dialog's default button) unless the
  // keyboard is on "Закрыть"; Esc closes without it.
  save_->setAutoDefault(false);
  close_->setAutoDefault(false);
  save_->setDefault(true);
  SetMnemonic(*save_, QStringLiteral("&Сохранить изменения"));
  SetMnemonic(*close_, QStringLiteral("&Закрыть"));
  connect(save_, &QPushButton::clicked, this, &SettingsDialog::onSaveClicked);
  connect(close_, &QPushButton::clicked, this, &SettingsDialog::onCloseClicked);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(save_);
  buttons->addWidget(close_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 16);
  layout->setSpacing(10);
  layout->addWidget(codePageCaption_);
  layout->addWidget(codePageBox_);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  setFixedSize(QSize(440, sizeHint().height()));
}

// The list shows the current code page; the comparison is exact, so a value
// that is neither "OEM" nor "ANSI" leaves the list without a selection.
void SettingsDialog::StartUp() {
  const std::string& page = State().inputCodePage;
  codePageBox_->setCurrentIndex(page == "OEM" ? kOemItem : page == "ANSI" ? kAnsiItem : -1);
}

// The second item chooses "ANSI"; the first one, or none, "OEM".
void SettingsDialog::onSaveClicked() {
  State().inputCodePage = codePageBox_->currentIndex() == kAnsiItem ? "ANSI" : "OEM";
  accept();
}

void SettingsDialog::onCloseClicked() { reject(); }

}  // namespace velt
