#pragma once
// Keyboard access to the windows' menus and buttons. A mnemonic is given as
// the caption with "&" before its letter ("Открыть &журнал"). The control's
// own text stays the plain caption; the letter is drawn underlined, and
// Alt + the letter presses the button or opens the menu (in an open menu the
// letter alone picks the item), with the Russian layout active or the Latin
// one (Alt+B for "И": the key where the letter sits). Alt alone moves to the
// menu bar, F10 opens its first menu. Enter presses the focused button, and
// the focused control wears a visible frame.
#include <QString>
#include <QStringList>

class QAbstractButton;
class QAbstractItemView;
class QAction;
class QMainWindow;
class QObject;

namespace velt {

// `marked` holds one marked caption per text the button shows (a button
// whose caption changes); all mark the same letter.
void SetMnemonic(QAbstractButton& button, const QStringList& marked);
void SetMnemonic(QAbstractButton& button, const QString& marked);
// A menu item, or a menu's own action (its title in the menu bar).
void SetMnemonic(QAction& action, const QString& marked);

// Once the menus and their items have their mnemonics: the menu bar answers
// Alt, F10 and Alt + a menu's letter, each menu its items' letters.
void EnableMenuKeyboard(QMainWindow& window);

// Tab moves between the grid's cells and leaves it from its last cell
// (Shift+Tab from its first); Ctrl+Tab and Ctrl+Shift+Tab leave it from any
// cell.
void LetTabLeave(QAbstractItemView& view);

// The caption with its mnemonic marked, as drawn; empty when the text has
// no mnemonic.
QString MarkedCaption(const QObject& control, const QString& text);

}  // namespace velt
