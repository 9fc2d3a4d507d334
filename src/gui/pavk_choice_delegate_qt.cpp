#include "gui/pavk_choice_delegate_qt.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QBoxLayout>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QSizeGrip>
#include <QStyleOption>
#include <QTimer>
#include <QToolTip>
#include <algorithm>

#include "gui/qt_text.h"

namespace velt {

namespace {

constexpr const char* kEditorProperty = "veltPavkEditor";  // the editor a completer list belongs to

bool IsCommitKey(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab || key == Qt::Key_Backtab;
}

}  // namespace

// ---------------------------------------------------------------- PavkComboBox

PavkComboBox::PavkComboBox(QWidget* parent, QSize* rememberedListSize)
    : QComboBox(parent), listSize_(rememberedListSize) {}

void PavkComboBox::showPopup() {
  // The list is at least as wide as its longest choice, not only the cell.
  QAbstractItemView* list = view();
  const int wanted =
      list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width() + 2 * list->frameWidth() + 8;
  list->setMinimumWidth(std::min(std::max(width(), wanted), screen()->availableGeometry().width() / 2));

  QWidget* popup = list->window();
  if (grip_ == nullptr) {
    // A strip under the list with a grip in its corner, by which the user
    // resizes the list (the popup is a window of its own).
    grip_ = new QSizeGrip(popup);
    grip_->installEventFilter(this);
    if (auto* box = qobject_cast<QBoxLayout*>(popup->layout())) box->addWidget(grip_, 0, Qt::AlignRight);
  }
  QComboBox::showPopup();

  // The combo box sized the popup for the list alone; make room for the grip.
  QRect geometry = popup->geometry();
  const int extra = grip_->sizeHint().height();
  const bool above = geometry.top() < mapToGlobal(QPoint(0, 0)).y();
  if (listSize_ != nullptr && listSize_->isValid()) {
    geometry.setSize(listSize_->expandedTo(QSize(width(), extra * 3)));
  } else {
    geometry.setHeight(geometry.height() + extra);
  }
  if (above) geometry.moveBottom(mapToGlobal(QPoint(0, 0)).y() - 1);
  popup->setGeometry(geometry);
}

void PavkComboBox::PressArrow() {
  QStyleOptionComboBox option;
  initStyleOption(&option);
  const QPoint arrow =
      style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, this).center();
  // A list opened by showPopup() alone closes on the next release of the
  // button; the press tells the list to wait for a release of its own.
  QMouseEvent press(QEvent::MouseButtonPress, arrow, mapToGlobal(arrow), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(this, &press);
  if (!view()->isVisible()) showPopup();
}

bool PavkComboBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grip_ && event->type() == QEvent::MouseButtonRelease && listSize_ != nullptr) {
    *listSize_ = view()->window()->size();
  }
  return QComboBox::eventFilter(watched, event);
}

// ---------------------------------------------------------------- PavkChoiceDelegate

PavkChoiceDelegate::PavkChoiceDelegate(QAbstractItemView* view) : QStyledItemDelegate(view), view_(view) {}

namespace {

std::vector<std::string> In1251(const QStringList& texts) {
  std::vector<std::string> converted;
  for (const QString& text : texts) converted.push_back(FromQt(text));
  return converted;
}

QStringList InQt(const std::vector<std::string>& texts) {
  QStringList converted;
  for (const std::string& text : texts) converted << ToQt(text);
  return converted;
}

}  // namespace

void PavkChoiceDelegate::SetChoices(const QStringList& choices) {
  choices_ = choices;
  resolver_ = PavkChoiceResolver(In1251(choices));
}

std::optional<QString> PavkChoiceDelegate::Resolve(const QString& typed) const {
  std::optional<std::string> choice = resolver_.Resolve(FromQt(typed));
  if (!choice.has_value()) return std::nullopt;
  return ToQt(*choice);
}

QStringList PavkChoiceDelegate::CandidatesOf(const QString& typed) const {
  return InQt(resolver_.Candidates(FromQt(typed)));
}

std::optional<QString> PavkChoiceDelegate::ResolveChoice(const QStringList& choices, const QString& typed) {
  std::optional<std::string> choice = PavkChoiceResolver(In1251(choices)).Resolve(FromQt(typed));
  if (!choice.has_value()) return std::nullopt;
  return ToQt(*choice);
}

QStringList PavkChoiceDelegate::Candidates(const QStringList& choices, const QString& typed) {
  return InQt(PavkChoiceResolver(In1251(choices)).Candidates(FromQt(typed)));
}

QWidget* PavkChoiceDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                          const QModelIndex&) const {
  auto* combo = new PavkComboBox(parent, &listSize_);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setMaxVisibleItems(kVisibleRows);
  combo->addItems(choices_);
  combo->setFrame(false);

  auto* completer = new QCompleter(combo->model(), combo);
  completer->setFilterMode(Qt::MatchContains);
  completer->setCaseSensitivity(Qt::CaseInsensitive);
  completer->setCompletionMode(QCompleter::PopupCompletion);
  completer->setMaxVisibleItems(kVisibleRows);
  combo->setCompleter(completer);
  // Ahead of the completer's own handling of its list's keys.
  completer->popup()->setProperty(kEditorProperty, QVariant::fromValue<QObject*>(combo));
  completer->popup()->installEventFilter(const_cast<PavkChoiceDelegate*>(this));

  auto* self = const_cast<PavkChoiceDelegate*>(this);
  // A choice picked from either list is the user's answer: write it at once.
  connect(combo, &QComboBox::activated, self, [self, combo] { self->CommitAndClose(combo); });
  connect(completer, qOverload<const QString&>(&QCompleter::activated), self,
          [self, combo](const QString& text) {
            combo->setEditText(text);
            self->CommitAndClose(combo);
          });

  if (dropDownOnOpen_) {
    dropDownOnOpen_ = false;
    QPointer<PavkComboBox> guard(combo);
    QTimer::singleShot(0, combo, [guard] {
      if (guard) guard->PressArrow();
    });
  }
  return combo;
}

void PavkChoiceDelegate::CommitAndClose(QComboBox* editor) {
  // Both lists may report the same pick; the editor closes once.
  if (editor->property("veltClosing").toBool()) return;
  editor->setProperty("veltClosing", true);
  emit commitData(editor);
  emit closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void PavkChoiceDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  auto* combo = static_cast<QComboBox*>(editor);
  const QString value = index.data(Qt::EditRole).toString();
  const int at = combo->findText(value);
  combo->setCurrentIndex(at);
  // A stored value that is no longer a choice still shows as it is.
  combo->setEditText(value);
  // Typing replaces the value, as in the other cells.
  if (combo->lineEdit() != nullptr) combo->lineEdit()->selectAll();
}

void PavkChoiceDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                      const QModelIndex& index) const {
  auto* combo = static_cast<QComboBox*>(editor);
  // Text that stands for no single choice leaves the stored value alone,
  // and the user is told.
  const QString typed = combo->currentText();
  if (std::optional<QString> choice = Resolve(typed)) {
    model->setData(index, *choice, Qt::EditRole);
  } else if (typed.trimmed() != index.data(Qt::EditRole).toString().trimmed()) {
    emit Unresolved(typed.trimmed(), CandidatesOf(typed));
  }
}

bool PavkChoiceDelegate::eventFilter(QObject* object, QEvent* event) {
  // The list of matching choices is a window of its own, no editor: the
  // editor rules of the base class (a hidden window or a lost focus ends
  // the edit) must not see it, or they would hand it to the view to commit.
  if (auto* list = qobject_cast<QAbstractItemView*>(object)) {
    if (event->type() != QEvent::KeyPress) return false;
    return ListKeyPressed(list, static_cast<QKeyEvent*>(event)->key());
  }
  if (event->type() != QEvent::KeyPress) return QStyledItemDelegate::eventFilter(object, event);
  const auto* keyEvent = static_cast<QKeyEvent*>(event);
  const int key = keyEvent->key();

  auto* combo = qobject_cast<PavkComboBox*>(object);
  if (combo == nullptr) return QStyledItemDelegate::eventFilter(object, event);
  // The arrows open the list instead of stepping the value to the next
  // choice (which would write it at once).
  if ((key == Qt::Key_Down || key == Qt::Key_Up) && keyEvent->modifiers() == Qt::NoModifier) {
    combo->showPopup();
    return true;
  }
  const QString typed = combo->currentText();
  if (!IsCommitKey(key) || Resolve(typed).has_value()) return QStyledItemDelegate::eventFilter(object, event);
  // The editor stays open: the choices that the text fits to pick from, or
  // a word that it fits none.
  if (CandidatesOf(typed).isEmpty()) {
    QToolTip::showText(combo->mapToGlobal(QPoint(0, combo->height())),
                       QStringLiteral("Нет кода ПАВК, подходящего к «%1»").arg(typed.trimmed()), combo);
    if (combo->lineEdit() != nullptr) combo->lineEdit()->selectAll();
  } else {
    combo->completer()->setCompletionPrefix(typed.trimmed());
    combo->completer()->complete();
  }
  return true;
}

// Enter in the list of matching choices with none picked: the typed text is
// the answer, as without the list.
bool PavkChoiceDelegate::ListKeyPressed(QAbstractItemView* list, int key) {
  auto* combo = qobject_cast<PavkComboBox*>(list->property(kEditorProperty).value<QObject*>());
  if (combo == nullptr || !IsCommitKey(key) || list->currentIndex().isValid()) return false;
  if (Resolve(combo->currentText()).has_value()) {
    list->hide();
    CommitAndClose(combo);
  }
  return true;  // several still fit: the list stays for a pick
}

void PavkChoiceDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex&) const {
  editor->setGeometry(option.rect);
}

QRect PavkChoiceDelegate::ButtonRect(const QStyleOptionViewItem& option) const {
  const QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
  const int width = std::min(style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, option.widget) + 2,
                             option.rect.width());
  return QRect(option.rect.right() - width + 1, option.rect.top(), width, option.rect.height());
}

void PavkChoiceDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  const QRect button = ButtonRect(option);
  QStyleOptionViewItem text(option);
  text.rect.setRight(button.left() - 1);
  QStyledItemDelegate::paint(painter, text, index);

  // The drop-down button, shown on every cell, not only while editing.
  const QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
  QStyleOptionButton bevel;
  bevel.rect = button.adjusted(1, 1, -1, -1);
  bevel.state = QStyle::State_Enabled | QStyle::State_Raised;
  bevel.palette = option.palette;
  style->drawControl(QStyle::CE_PushButtonBevel, &bevel, painter, option.widget);
  QStyleOption arrow;
  arrow.rect = bevel.rect.adjusted(3, 3, -3, -3);
  arrow.state = QStyle::State_Enabled;
  arrow.palette = option.palette;
  style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, painter, option.widget);
}

bool PavkChoiceDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                     const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && ButtonRect(option).contains(mouse->position().toPoint())) {
      DropDown(index);
      return true;
    }
  }
  return QStyledItemDelegate::editorEvent(event, model, option, index);
}

void PavkChoiceDelegate::DropDown(const QModelIndex& index) {
  if (view_ == nullptr || !index.isValid()) return;
  view_->setCurrentIndex(index);
  dropDownOnOpen_ = true;
  view_->edit(index);
  dropDownOnOpen_ = false;
}

}  // namespace velt
