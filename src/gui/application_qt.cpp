#include "gui/application_qt.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <new>

#include "gui/message_box_qt.h"
#include "gui/qt_text.h"
#include "gui/window_look_qt.h"
#include "support/error.h"

namespace velt {

void ShowUnexpected(const std::exception& error) {
  QString text;
  if (const auto* own = dynamic_cast<const Error*>(&error))
    text = ToQt(own->what());
  else if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
    text = QStringLiteral("Недостаточно памяти для выполнения действия; действие прервано.");
  else
    text = QStringLiteral("Непредвиденная ошибка, действие прервано: ") + QString::fromUtf8(error.what());
  ShowMessageBox(QApplication::activeWindow(), MessageKind::Error, text);
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowUnexpected(error);
    return false;
  }
}

void PrepareApplication(QTranslator& qtTexts) {
  QApplication::setFont(WindowFont());
  if (qtTexts.load(QLocale(QLocale::Russian), "qtbase", "_",
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTexts);
}

}  // namespace velt
