#include "gui/persisted_state_qt.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QVariant>
#include <QWindow>
#include <algorithm>
#include <functional>

#include "gui/log_view_qt.h"
#include "gui/qt_text.h"
#include "support/error.h"

namespace velt {
namespace {

QString NameOf(std::string_view name) {
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// Reads and writes one text property of one object; both empty when the
// object has no such property.
struct TextProperty {
  std::function<QString()> get;
  std::function<void(const QString&)> set;
  explicit operator bool() const { return static_cast<bool>(get); }
};

struct ListProperty {
  std::function<QStringList()> get;
  std::function<void(const QStringList&)> set;
  explicit operator bool() const { return static_cast<bool>(get); }
};

template <typename T, typename Getter, typename Setter>
bool Bind(QObject* object, TextProperty& out, Getter getter, Setter setter) {
  T* typed = qobject_cast<T*>(object);
  if (typed == nullptr) return false;
  out.get = [typed, getter] { return (typed->*getter)(); };
  out.set = [typed, setter](const QString& text) { (typed->*setter)(text); };
  return true;
}

TextProperty QtPropertyText(QObject* object, const QString& name) {
  TextProperty result;
  QByteArray key = name.toUtf8();
  QVariant value = object->property(key.constData());
  if (!value.isValid() || value.typeId() != QMetaType::QString) return result;
  result.get = [object, key] { return object->property(key.constData()).toString(); };
  result.set = [object, key](const QString& text) { object->setProperty(key.constData(), text); };
  return result;
}

// A label that shows a placeholder (its "placeholder" property) while it
// holds no value stores an empty caption then, never the placeholder, and
// shows the placeholder again for an empty one.
TextProperty WithPlaceholder(QObject* object, TextProperty p) {
  const QString placeholder = object->property("placeholder").toString();
  if (placeholder.isEmpty()) return p;
  return {[get = p.get, placeholder] {
            const QString text = get();
            return text == placeholder ? QString() : text;
          },
          [set = p.set, placeholder](const QString& text) { set(text.isEmpty() ? placeholder : text); }};
}

TextProperty CaptionOf(QObject* object) {
  TextProperty p;
  if (Bind<QLabel>(object, p, &QLabel::text, &QLabel::setText)) return WithPlaceholder(object, std::move(p));
  if (Bind<QAbstractButton>(object, p, &QAbstractButton::text, &QAbstractButton::setText) ||
      Bind<QGroupBox>(object, p, &QGroupBox::title, &QGroupBox::setTitle) ||
      Bind<QAction>(object, p, &QAction::text, &QAction::setText))
    return p;
  if (auto* widget = qobject_cast<QWidget*>(object); widget != nullptr && widget->isWindow())
    Bind<QWidget>(object, p, &QWidget::windowTitle, &QWidget::setWindowTitle);
  return p;
}

TextProperty TextOf(QObject* object) {
  TextProperty p;
  if (Bind<QLineEdit>(object, p, &QLineEdit::text, &QLineEdit::setText) ||
      Bind<QLabel>(object, p, &QLabel::text, &QLabel::setText) ||
      Bind<QAbstractButton>(object, p, &QAbstractButton::text, &QAbstractButton::setText) ||
      Bind<QTextEdit>(object, p, &QTextEdit::toPlainText, &QTextEdit::setPlainText) ||
      Bind<QPlainTextEdit>(object, p, &QPlainTextEdit::toPlainText, &QPlainTextEdit::setPlainText))
    return p;
  return {};
}

TextProperty FindText(QObject* object, std::string_view property) {
  if (object == nullptr) return {};
  if (property == "Caption")
    if (TextProperty p = CaptionOf(object)) return p;
  if (property == "Text")
    if (TextProperty p = TextOf(object)) return p;
  return QtPropertyText(object, NameOf(property));
}

ListProperty FindList(QObject* object, std::string_view property) {
  ListProperty p;
  if (object == nullptr) return p;
  if (property == "Items") {
    if (auto* list = qobject_cast<QListWidget*>(object)) {
      p.get = [list] {
        QStringList lines;
        for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
        return lines;
      };
      p.set = [list](const QStringList& lines) {
        list->clear();
        list->addItems(lines);
      };
      return p;
    }
    if (auto* combo = qobject_cast<QComboBox*>(object)) {
      p.get = [combo] {
        QStringList lines;
        for (int i = 0; i < combo->count(); ++i) lines << combo->itemText(i);
        return lines;
      };
      p.set = [combo](const QStringList& lines) {
        combo->clear();
        combo->addItems(lines);
      };
      return p;
    }
  }
  QByteArray key = NameOf(property).toUtf8();
  QVariant value = object->property(key.constData());
  if (!value.isValid() || value.typeId() != QMetaType::QStringList) return p;
  p.get = [object, key] { return object->property(key.constData()).toStringList(); };
  p.set = [object, key](const QStringList& lines) { object->setProperty(key.constData(), lines); };
  return p;
}

// The frame that the window manager draws around the client area; none
// before the window is first shown.
QMargins FrameOf(const QWidget& window) {
  const QRect frame = window.frameGeometry(), client = window.geometry();
  return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
          frame.bottom() - client.bottom()};
}

// Fits the window once it is on the screen and its frame is known: a frame
// that reaches beyond the screen (a title bar above it) moves onto it.
class FirstExposure : public QObject {
 public:
  explicit FirstExposure(QWidget& window) : QObject(&window), window_(window) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Expose && window_.windowHandle() != nullptr &&
        window_.windowHandle()->isExposed()) {
      const QRect fitted = OnScreen(window_, window_.geometry());
      if (fitted != window_.geometry()) window_.setGeometry(fitted);
      deleteLater();
    }
    return false;
  }

 private:
  QWidget& window_;
};

}  // namespace

QObject* QtPersistedWindow::Find(std::string_view object) const {
  QString name = NameOf(object);
  if (window_.objectName() == name) return &window_;
  return window_.findChild<QObject*>(name);
}

// The placement is that of the client area (the window without the frame
// that the window manager draws around it): the rectangle saved is the one
// restored, whatever the frame measures. It is kept in the screen's device
// pixels, as the platform reports it, and the density written beside it is
// that of those pixels, so that a placement taken at another scale is not
// applied.
WindowPlacement QtPersistedWindow::GetPlacement() const {
  WindowPlacement placement;
  Qt::WindowStates states = window_.windowState();
  placement.showCmd = states.testFlag(Qt::WindowMinimized) ? 2 : states.testFlag(Qt::WindowMaximized) ? 3 : 1;
  // The window was never minimised or maximised to a position of its own.
  placement.minPosition = {-1, -1};
  placement.maxPosition = {-1, -1};
  QRect normal = window_.geometry();
  if (states & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) {
    if (window_.normalGeometry().isValid()) normal = window_.normalGeometry();
  }
  placement.normalPosition = ToDevice(normal);
  return placement;
}

void QtPersistedWindow::SetPlacement(const WindowPlacement& placement) {
  QRect client = FromDevice(placement.normalPosition);
  if (HasFixedBorder()) {
    client.setSize(window_.size());
  } else {
    client.setSize(client.size().expandedTo(window_.minimumSize()).boundedTo(window_.maximumSize()));
  }
  window_.setGeometry(OnScreen(window_, client));
}

WindowBounds QtPersistedWindow::Bounds() const {
  const WindowRect rect = ToDevice(window_.geometry());
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

bool QtPersistedWindow::HasFixedBorder() const { return window_.minimumSize() == window_.maximumSize(); }

void QtPersistedWindow::SetWindowState(WindowState state) {
  Qt::WindowStates states = window_.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
  if (state == WindowState::Minimized) states |= Qt::WindowMinimized;
  // A window of fixed size, or one without a maximise box, has nothing to
  // maximise.
  const Qt::WindowFlags flags = window_.windowFlags();
  const bool noMaximiseBox =
      flags.testFlag(Qt::CustomizeWindowHint) && !flags.testFlag(Qt::WindowMaximizeButtonHint);
  if (state == WindowState::Maximized && !HasFixedBorder() && !noMaximiseBox) states |= Qt::WindowMaximized;
  window_.setWindowState(states);
}

int QtPersistedWindow::PixelsPerInch() const {
  QScreen* screen = window_.screen();
  return screen != nullptr ? qRound(screen->logicalDotsPerInch() * screen->devicePixelRatio()) : 96;
}

ScreenSize QtPersistedWindow::Screen() const {
  QScreen* screen = window_.screen();
  if (screen == nullptr) return {};
  const QSize size = screen->geometry().size() * screen->devicePixelRatio();
  return {size.width(), size.height()};
}

double QtPersistedWindow::DeviceRatio() const {
  QScreen* screen = window_.screen();
  return screen != nullptr ? screen->devicePixelRatio() : 1.0;
}

WindowRect QtPersistedWindow::ToDevice(const QRect& rect) const {
  const double ratio = DeviceRatio();
  return {qRound(rect.left() * ratio), qRound(rect.top() * ratio),
          qRound((rect.left() + rect.width()) * ratio), qRound((rect.top() + rect.height()) * ratio)};
}

QRect QtPersistedWindow::FromDevice(const WindowRect& rect) const {
  const double ratio = DeviceRatio();
  const int left = qRound(rect.left / ratio), top = qRound(rect.top / ratio);
  return QRect(left, top, qRound(rect.right / ratio) - left, qRound(rect.bottom / ratio) - top);
}

QRect OnScreen(const QWidget& window, QRect client) {
  QScreen* screen = nullptr;
  qint64 shared = 0;
  for (QScreen* candidate : QGuiApplication::screens()) {
    const QRect common = candidate->availableGeometry() & client;
    const qint64 area = static_cast<qint64>(common.width()) * common.height();
    if (area > shared) {
      shared = area;
      screen = candidate;
    }
  }
  // A window that lies on no screen at all comes to its own one.
  if (screen == nullptr)
    screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return client;
  // Where the client area may lie for the whole frame to be seen.
  const QRect area = screen->availableGeometry().marginsRemoved(FrameOf(window));
  if (area.contains(client)) return client;
  if (window.minimumSize() != window.maximumSize())
    client.setSize(client.size().boundedTo(area.size()).expandedTo(window.minimumSize()));
  client.moveLeft(
      std::clamp(client.left(), area.left(), std::max(area.left(), area.right() + 1 - client.width())));
  client.moveTop(
      std::clamp(client.top(), area.top(), std::max(area.top(), area.bottom() + 1 - client.height())));
  return client;
}

void KeepOnScreenWhenShown(QWidget& window) {
  if (window.windowHandle() == nullptr) (void)window.winId();  // the native window, made at the showing
  window.windowHandle()->installEventFilter(new FirstExposure(window));
}

PropertyKind QtPersistedWindow::KindOf(std::string_view object, std::string_view property) const {
  QObject* found = Find(object);
  if (FindText(found, property)) return PropertyKind::Text;
  if (FindList(found, property)) return PropertyKind::List;
  return PropertyKind::Missing;
}

std::string QtPersistedWindow::GetText(std::string_view object, std::string_view property) const {
  TextProperty p = FindText(Find(object), property);
  return p ? FromQt(p.get()) : std::string();
}

void QtPersistedWindow::SetText(std::string_view object, std::string_view property, const std::string& text) {
  TextProperty p = FindText(Find(object), property);
  if (!p) throw Error("Property " + std::string(object) + "." + std::string(property) + " does not exist");
  p.set(ToQt(text));
}

std::vector<std::string> QtPersistedWindow::GetLines(std::string_view object,
                                                     std::string_view property) const {
  std::vector<std::string> lines;
  if (ListProperty p = FindList(Find(object), property))
    for (const QString& line : p.get()) lines.push_back(FromQt(line));
  return lines;
}

void QtPersistedWindow::SetLines(std::string_view object, std::string_view property,
                                 const std::vector<std::string>& lines) {
  ListProperty p = FindList(Find(object), property);
  if (!p) throw Error("Property " + std::string(object) + "." + std::string(property) + " does not exist");
  QStringList list;
  for (const std::string& line : lines) list << ToQt(line);
  p.set(list);
}

}  // namespace velt
