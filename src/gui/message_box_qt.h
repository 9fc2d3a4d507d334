#pragma once
// The program's message boxes: the program's name as their title, the
// platform's icon for the kind of message, one OK button, and always in
// front, also when no window of the program is shown (at start-up and at
// shut-down), so that the operator sees it and the program does not wait
// behind it unseen.
#include <QString>

class QWidget;

namespace velt {

enum class MessageKind { Error, Warning, Question, Information };

// The title of the program's message boxes.
QString ProgramTitle();

void ShowMessageBox(QWidget* owner, MessageKind kind, const QString& text);

// A window whose messages go through a function that takes only the text
// (a test puts its own in) says the kind of the next one here; the standard
// function reads it back. Error when none was said.
void SetNextMessageKind(QWidget& owner, MessageKind kind);
MessageKind TakeNextMessageKind(QWidget* owner);

}  // namespace velt
