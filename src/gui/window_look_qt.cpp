#include "gui/window_look_qt.h"

#include <QPalette>
#include <QWidget>

namespace velt {

QFont WindowFont() {
  QFont font(QStringLiteral("Arial"));
  // Where Arial is missing, a font of the same metrics (Liberation Sans) or
  // any sans serif stands in.
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(15);
  return font;
}

void ApplyWindowLook(QWidget& window) {
  window.setFont(WindowFont());
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, kWindowColour);
  window.setPalette(palette);
  window.setAutoFillBackground(true);
}

}  // namespace velt
