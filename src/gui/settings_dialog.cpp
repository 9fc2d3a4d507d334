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

Tparform::Tparform(QWidget* owner) : QDialog(owner) {
  setObjectName("parform");
  setWindowTitle(QStringLiteral("Настройки программы"));
  // A fixed single border with only the system menu.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  ApplyWindowLook(*this);
  BuildControls();
  FormCreate();
}

void Tparform::BuildControls() {
  outdirlable_ = new QLabel(QStringLiteral("1. Кодировка входного файла архива ВЕЛТ"), this);
  outdirlable_->setObjectName("outdirlable");

  cbCodePage_ = new QComboBox(this);
  cbCodePage_->setObjectName("cbCodePage");
  cbCodePage_->setEditable(false);
  cbCodePage_->addItem(QStringLiteral("OEM (DOS)"));
  cbCodePage_->addItem(QStringLiteral("ANSI (WIN)"));

  save_ = new QPushButton(QStringLiteral("Сохранить изменения"), this);
  save_->setObjectName("save");
  FormExit_ = new QPushButton(QStringLiteral("Закрыть"), this);
  FormExit_->setObjectName("FormExit");
  // Enter must not take a choice the user has not confirmed.
  save_->setAutoDefault(false);
  FormExit_->setAutoDefault(false);
  SetMnemonic(*save_, QStringLiteral("&Сохранить изменения"));
  SetMnemonic(*FormExit_, QStringLiteral("&Закрыть"));
  connect(save_, &QPushButton::clicked, this, &Tparform::saveClick);
  connect(FormExit_, &QPushButton::clicked, this, &Tparform::FormExitClick);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(save_);
  buttons->addWidget(FormExit_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 16);
  layout->setSpacing(10);
  layout->addWidget(outdirlable_);
  layout->addWidget(cbCodePage_);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  setFixedSize(QSize(440, sizeHint().height()));
}

// The list shows the current code page; the comparison is exact, so a value
// that is neither "OEM" nor "ANSI" leaves the list without a selection.
void Tparform::FormCreate() {
  const std::string& page = State().InputCodePage;
  cbCodePage_->setCurrentIndex(page == "OEM" ? kOemItem : page == "ANSI" ? kAnsiItem : -1);
}

// The second item chooses "ANSI"; the first one, or none, "OEM".
void Tparform::saveClick() {
  State().InputCodePage = cbCodePage_->currentIndex() == kAnsiItem ? "ANSI" : "OEM";
  accept();
}

void Tparform::FormExitClick() { reject(); }

}  // namespace velt
