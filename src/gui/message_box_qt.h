#pragma once
// The program's message boxes: the program's name as their title, the
// platform's icon for the kind of message, one OK button, and always in
// front, also when no window of the program is shown (at start-up and at
// shut-down), so that the operator sees it and the program does not wait
// behind it unseen.
#include <QMessageBox>
#include <QString>

#include "gui/show_message.h"

class QWidget;

namespace velt {

// The title of the program's message boxes.
QString ProgramTitle();

void ShowMessageBox(QWidget* owner, MessageKind kind, const QString& text);

// A question with the given buttons, captioned in Russian whatever Qt's own
// texts are (the program carries no translations of Qt): the button pressed,
// Cancel or No when the box is closed.
QMessageBox::StandardButton AskQuestion(QWidget* owner, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton byDefault);

// A window whose messages go through a function that takes only the text
// (a test puts its own in) says the kind of the next one here; the standard
// function reads it back. Error when none was said.
void SetNextMessageKind(QWidget& owner, MessageKind kind);
MessageKind TakeNextMessageKind(QWidget* owner);

}  // namespace velt
