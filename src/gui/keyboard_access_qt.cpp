#include "gui/keyboard_access_qt.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QShortcut>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTableView>

#include "gui/focus_ring_qt.h"
#include "support/keyboard_layouts.h"

namespace velt {
namespace {

// The marked captions of a control, kept beside its plain text.
constexpr const char* kMarkedProperty = "veltMnemonic";
// Set on a menu bar's menu that Alt + its letter opens.
constexpr const char* kMenuBarMenu = "veltMenuBarMenu";

QChar LetterOf(const QString& marked) {
  const qsizetype at = marked.indexOf(QLatin1Char('&'));
  return at >= 0 && at + 1 < marked.size() ? marked[at + 1].toUpper() : QChar();
}

QKeySequence AltKey(QChar letter) { return QKeySequence(Qt::ALT | Qt::Key(letter.unicode())); }

// The Russian letter that a key means, whichever of the two layouts is
// active; a null character for any other key.
QChar LetterOfKey(char32_t key) { return QChar(static_cast<char16_t>(MnemonicLetterOfKey(key))); }

// Draws the marked caption in place of the plain one, and lets Alt reach
// the menu bar whatever the platform's style says.
class MnemonicStyle : public QProxyStyle {
 public:
  MnemonicStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    if (widget != nullptr) {
      if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
          button != nullptr && (element == CE_PushButton || element == CE_PushButtonLabel)) {
        if (QString marked = MarkedCaption(*widget, button->text); !marked.isEmpty()) {
          QStyleOptionButton copy(*button);
          copy.text = marked;
          QProxyStyle::drawControl(element, &copy, painter, widget);
          return;
        }
      }
      if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
          item != nullptr && (element == CE_MenuItem || element == CE_MenuBarItem)) {
        // A menu item's text may carry its shortcut after a tab.
        const qsizetype tab = item->text.indexOf(QLatin1Char('\t'));
        const QString caption = tab < 0 ? item->text : item->text.left(tab);
        for (const QAction* action : widget->actions()) {
          if (QString marked = MarkedCaption(*action, caption); !marked.isEmpty()) {
            QStyleOptionMenuItem copy(*item);
            copy.text = tab < 0 ? marked : marked + item->text.mid(tab);
            QProxyStyle::drawControl(element, &copy, painter, widget);
            return;
          }
        }
      }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
  }

  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_MenuBar_AltKeyNavigation || hint == SH_UnderlineShortcut) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

QStyle* SharedStyle() {
  static QPointer<MnemonicStyle> style;
  if (style.isNull()) {
    style = new MnemonicStyle;
    style->setParent(qApp);  // goes with the application
  }
  return style;
}

QAction* ActionOfLetter(const QWidget& owner, QChar letter) {
  for (QAction* action : owner.actions()) {
    const QStringList marked = action->property(kMarkedProperty).toStringList();
    if (!marked.isEmpty() && action->isVisible() && action->isEnabled() && LetterOf(marked.front()) == letter)
      return action;
  }
  return nullptr;
}

// A letter typed in an open menu picks its item; in the menu bar (after
// Alt) it opens its menu.
class MenuLetters : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) || key->text().size() != 1)
      return false;
    const QChar letter = LetterOfKey(key->text().front().unicode());
    if (letter.isNull()) return false;
    if (auto* menu = qobject_cast<QMenu*>(watched)) {
      QAction* action = ActionOfLetter(*menu, letter);
      if (action == nullptr) return false;
      menu->setActiveAction(action);
      QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
      QCoreApplication::sendEvent(menu, &enter);
      return true;
    }
    if (auto* bar = qobject_cast<QMenuBar*>(watched)) {
      QAction* action = ActionOfLetter(*bar, letter);
      if (action == nullptr) return false;
      bar->setActiveAction(action);
      return true;
    }
    return false;
  }
};

void OpenMenu(QMenuBar* bar, QAction* action) {
  if (action != nullptr && action->isEnabled() && action->isVisible()) bar->setActiveAction(action);
}

bool HasLetter(const QObject& control, QChar letter) {
  const QStringList marked = control.property(kMarkedProperty).toStringList();
  return !marked.isEmpty() && LetterOf(marked.front()) == letter;
}

// What Alt + `letter` means in `window`: a menu of its menu bar, else a
// button marked with the letter. The buttons' own shortcuts answer the
// Russian layout; this answers the Latin one, and also a button whose
// caption changed since (setting a caption drops the button's shortcut).
bool ActivateLetter(QWidget& window, QChar letter) {
  if (auto* main = qobject_cast<QMainWindow*>(&window))
    for (QAction* action : main->menuBar()->actions())
      if (action->property(kMenuBarMenu).toBool() && HasLetter(*action, letter) && action->isEnabled()) {
        OpenMenu(main->menuBar(), action);
        return true;
      }
  for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
    if (button->isVisible() && button->isEnabled() && button->window() == &window &&
        HasLetter(*button, letter)) {
      button->setFocus(Qt::ShortcutFocusReason);
      button->animateClick();
      return true;
    }
  return false;
}

// Keys that reach no control by Qt's own rules: Alt + a letter of the
// other layout, and Enter on a button that is no dialog's default.
class KeyboardHelpers : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // The key once, where it arrives: at the focused control, or at a
    // window in which nothing has the focus.
    auto* widget = qobject_cast<QWidget*>(watched);
    QWidget* focused = QApplication::focusWidget();
    if (event->type() != QEvent::KeyPress || widget == nullptr || (focused != nullptr && widget != focused) ||
        (focused == nullptr && !widget->isWindow()))
      return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier)
      return PressFocusedButton(*widget);
    if (modifiers == Qt::AltModifier && qobject_cast<QMenu*>(widget->window()) == nullptr) {
      const QChar letter = LetterOfKey(static_cast<char32_t>(key->key()));
      return !letter.isNull() && ActivateLetter(*widget->window(), letter);
    }
    return false;
  }

 private:
  // A push button that Qt would press on Enter anyway is left to it.
  static bool PressFocusedButton(QWidget& widget) {
    auto* button = qobject_cast<QPushButton*>(&widget);
    if (button == nullptr || button->autoDefault() || button->isDefault() || !button->isEnabled())
      return false;
    button->animateClick();
    return true;
  }
};

// The grid lets go of Tab at its ends and of Ctrl+Tab anywhere: the key goes
// on as a plain Tab, with the grid's own Tab moves off for that key.
class TabLeaver : public QObject {
 public:
  explicit TabLeaver(QAbstractItemView& view) : QObject(&view), view_(view) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || passing_) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
    const bool backward = key->key() == Qt::Key_Backtab ||
                          (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
    if (!forward && !backward) return false;
    const bool control = (key->modifiers() & Qt::ControlModifier) != 0;
    if (!control && !AtEnd(forward)) return false;
    passing_ = true;
    view_.setTabKeyNavigation(false);
    QKeyEvent plain(QEvent::KeyPress, forward ? Qt::Key_Tab : Qt::Key_Backtab,
                    forward ? Qt::NoModifier : Qt::ShiftModifier);
    QCoreApplication::sendEvent(&view_, &plain);
    view_.setTabKeyNavigation(true);
    passing_ = false;
    return true;
  }

 private:
  // The current cell is the last one (going forward) or the first one; an
  // empty grid has both ends at once.
  bool AtEnd(bool forward) const {
    const QAbstractItemModel* model = view_.model();
    const QModelIndex current = view_.currentIndex();
    if (model == nullptr || !current.isValid()) return true;
    const int rows = model->rowCount(current.parent());
    const int columns = model->columnCount(current.parent());
    return forward ? current.row() == rows - 1 && current.column() == ShownColumn(columns - 1, -1)
                   : current.row() == 0 && current.column() == ShownColumn(0, 1);
  }

  // The first column from `column` on, in steps of `step`, that a table
  // view does not hide.
  int ShownColumn(int column, int step) const {
    const auto* table = qobject_cast<const QTableView*>(&view_);
    while (table != nullptr && table->isColumnHidden(column) && column + step >= 0 &&
           column + step < view_.model()->columnCount())
      column += step;
    return column;
  }

  QAbstractItemView& view_;
  bool passing_ = false;
};

}  // namespace

void LetTabLeave(QAbstractItemView& view) {
  view.setTabKeyNavigation(true);
  view.installEventFilter(new TabLeaver(view));
}

// Installed once, on the application, by the first window that asks for
// keyboard access.
void EnsureKeyboardHelpers() {
  static QPointer<KeyboardHelpers> helpers;
  if (!helpers.isNull() || qApp == nullptr) return;
  helpers = new KeyboardHelpers(qApp);
  qApp->installEventFilter(helpers);
  ShowFocusRing();
}

QString MarkedCaption(const QObject& control, const QString& text) {
  for (const QString& marked : control.property(kMarkedProperty).toStringList())
    if (QString(marked).remove(QLatin1Char('&')) == text) return marked;
  return QString();
}

void SetMnemonic(QAbstractButton& button, const QStringList& marked) {
  EnsureKeyboardHelpers();
  button.setProperty(kMarkedProperty, marked);
  button.setStyle(SharedStyle());
  if (!marked.isEmpty()) button.setShortcut(AltKey(LetterOf(marked.front())));
  button.update();
}

void SetMnemonic(QAbstractButton& button, const QString& marked) { SetMnemonic(button, QStringList{marked}); }

void SetMnemonic(QAction& action, const QString& marked) {
  action.setProperty(kMarkedProperty, QStringList{marked});
}

void EnableMenuKeyboard(QMainWindow& window) {
  EnsureKeyboardHelpers();
  QMenuBar* bar = window.menuBar();
  bar->setStyle(SharedStyle());
  auto* letters = new MenuLetters(bar);
  bar->installEventFilter(letters);
  for (QAction* action : bar->actions()) {
    QMenu* menu = action->menu();
    if (menu == nullptr) continue;
    menu->setStyle(SharedStyle());
    menu->installEventFilter(letters);
    for (QAction* item : menu->actions())
      if (QMenu* submenu = item->menu()) {
        submenu->setStyle(SharedStyle());
        submenu->installEventFilter(letters);
      }
    const QStringList marked = action->property(kMarkedProperty).toStringList();
    if (marked.isEmpty()) continue;
    action->setProperty(kMenuBarMenu, true);
    auto* shortcut = new QShortcut(AltKey(LetterOf(marked.front())), &window);
    QObject::connect(shortcut, &QShortcut::activated, bar, [bar, action] { OpenMenu(bar, action); });
  }
  auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), &window);
  QObject::connect(f10, &QShortcut::activated, bar, [bar] {
    for (QAction* action : bar->actions())
      if (action->isEnabled() && action->isVisible()) return OpenMenu(bar, action);
  });
}

}  // namespace velt
