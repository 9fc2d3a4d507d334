#include "gui/qt_text.h"

#include "support/code_page.h"

namespace velt {

QString ToQt(std::string_view text1251) { return QString::fromStdString(AnsiToUtf8(text1251)); }

std::string FromQt(const QString& text) { return Utf8ToAnsi(text.toStdString()); }

}  // namespace velt
