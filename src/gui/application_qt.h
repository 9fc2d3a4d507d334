#pragma once
// The windowed program's application object and its look, shared by the
// program and the window tour (tools/gui).
#include <QApplication>
#include <exception>

class QTranslator;

namespace velt {

// An exception that no handler caught must not end the program in an abort:
// its text goes to a message box, as with the general error handler.
void ShowUnexpected(const std::exception& error);

class GuardedApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override;
};

// The window font, and Qt's own dialogs and buttons in Russian like the rest
// of the program, through `qtTexts`, which lives as long as the application.
void PrepareApplication(QTranslator& qtTexts);

}  // namespace velt
