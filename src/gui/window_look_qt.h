#pragma once
// The look that the program's windows share: Arial at 15 pixels on the
// window colour RGB 235,235,226.
#include <QColor>
#include <QFont>

class QWidget;

namespace velt {

inline const QColor kWindowColour{235, 235, 226};
inline const QColor kPathBackground{216, 216, 199};  // behind the path and code-page labels
inline const QColor kMaroon{128, 0, 0};
inline const QColor kNavy{0, 0, 128};

QFont WindowFont();
// Font and background of a window (a top-level window does not take them
// from its owner).
void ApplyWindowLook(QWidget& window);

}  // namespace velt
