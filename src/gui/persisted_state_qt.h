#pragma once
// The Qt side of the persisted window state: a window's placement, show
// state, screen and stored control properties as PersistedState asks for
// them. A stored property "object.Property" names a child object of the
// window (or the window itself) by its object name:
//   Caption  the text of a label, button, action or group box, a window's title
//   Text     the text of a line edit, label, button or text box
//   Items    the lines of a list widget or a combo box
// and any other name a string or string-list property of the object (a Qt
// property, declared or dynamic), so that a window can expose a non-widget
// setting such as a dialog's remembered folder.
#include <QRect>
#include <QWidget>

#include "gui/show_message.h"
#include "state/persisted_state.h"

namespace velt {

// `client` (the window's client area) moved, and shrunk when the window may
// be resized, so that the window with its frame lies on the available part
// of the screen it shares most with; unchanged when it lies there already.
QRect OnScreen(const QWidget& window, QRect client);
// Once the window is first shown and its frame is known, OnScreen puts it
// right (a title bar above the screen, a frame taller than the screen).
void KeepOnScreenWhenShown(QWidget& window);

class QtPersistedWindow : public PersistedWindow {
 public:
  QtPersistedWindow(QWidget& window, ShowMessageFn showMessage)
      : window_(window), showMessage_(std::move(showMessage)) {}

  WindowPlacement GetPlacement() const override;
  void SetPlacement(const WindowPlacement& placement) override;
  WindowBounds Bounds() const override;
  bool HasFixedBorder() const override;
  void SetWindowState(WindowState state) override;
  int PixelsPerInch() const override;
  ScreenSize Screen() const override;

  PropertyKind KindOf(std::string_view object, std::string_view property) const override;
  std::string GetText(std::string_view object, std::string_view property) const override;
  void SetText(std::string_view object, std::string_view property, const std::string& text) override;
  std::vector<std::string> GetLines(std::string_view object, std::string_view property) const override;
  void SetLines(std::string_view object, std::string_view property,
                const std::vector<std::string>& lines) override;
  void ShowMessage(const std::string& text) override { showMessage_(text); }

 private:
  QObject* Find(std::string_view object) const;
  double DeviceRatio() const;
  WindowRect ToDevice(const QRect& rect) const;
  QRect FromDevice(const WindowRect& rect) const;

  QWidget& window_;
  ShowMessageFn showMessage_;
};

}  // namespace velt
