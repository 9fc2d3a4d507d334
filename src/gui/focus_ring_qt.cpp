#include "gui/focus_ring_qt.h"

#include <QApplication>
#include <QFocusFrame>
#include <QMenu>
#include <QPainter>
#include <QPointer>

namespace velt {
namespace {

// Dark blue on the light window colour: well above a 3:1 contrast.
const QColor kRingColour{0, 84, 166};
constexpr int kRingWidth = 2;

// The frame lies just outside the control (the style's focus-frame
// margin), so it hides nothing of it.
class FocusRing : public QFocusFrame {
 public:
  using QFocusFrame::QFocusFrame;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(QPen(kRingColour, kRingWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(
        QRectF(rect()).adjusted(kRingWidth / 2.0, kRingWidth / 2.0, -kRingWidth / 2.0, -kRingWidth / 2.0));
  }
};

// Controls in a window of their own (menus, the windows themselves) have no
// room for a frame around them.
bool TakesRing(const QWidget* widget) {
  return widget != nullptr && !widget->isWindow() &&
         qobject_cast<const QMenu*>(widget->window()) == nullptr &&
         (widget->focusPolicy() & Qt::TabFocus) != 0;
}

}  // namespace

void ShowFocusRing() {
  // The ring lives among the focused control's siblings, so it goes when
  // their parent goes; a new one is made then.
  static QPointer<FocusRing> ring;
  QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget*, QWidget* now) {
    if (!TakesRing(now)) {
      if (!ring.isNull()) ring->setWidget(nullptr);
      return;
    }
    if (ring.isNull()) ring = new FocusRing(now);
    ring->setWidget(now);
  });
}

}  // namespace velt
