#include "gui/keyboard_access_qt.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProxyStyle>
#include <QShortcut>
#include <QStyleFactory>
#include <QStyleOption>

namespace velt {
namespace {

// The marked captions of a control, kept beside its plain text.
constexpr const char* kMarkedProperty = "veltMnemonic";

QChar LetterOf(const QString& marked) {
  const qsizetype at = marked.indexOf(QLatin1Char('&'));
  return at >= 0 && at + 1 < marked.size() ? marked[at + 1].toUpper() : QChar();
}

QKeySequence AltKey(QChar letter) { return QKeySequence(Qt::ALT | Qt::Key(letter.unicode())); }

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
    const QChar letter = key->text().front().toUpper();
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

}  // namespace

QString MarkedCaption(const QObject& control, const QString& text) {
  for (const QString& marked : control.property(kMarkedProperty).toStringList())
    if (QString(marked).remove(QLatin1Char('&')) == text) return marked;
  return QString();
}

void SetMnemonic(QAbstractButton& button, const QStringList& marked) {
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
  QMenuBar* bar = window.menuBar();
  bar->setStyle(SharedStyle());
  auto* letters = new MenuLetters(bar);
  bar->installEventFilter(letters);
  for (QAction* action : bar->actions()) {
    QMenu* menu = action->menu();
    if (menu == nullptr) continue;
    menu->setStyle(SharedStyle());
    menu->installEventFilter(letters);
    const QStringList marked = action->property(kMarkedProperty).toStringList();
    if (marked.isEmpty()) continue;
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
