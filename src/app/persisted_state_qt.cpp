#include "app/persisted_state_qt.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QVariant>
#include <functional>

#include "app/log_view_qt.h"
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

TextProperty CaptionOf(QObject* object) {
  TextProperty p;
  if (Bind<QLabel>(object, p, &QLabel::text, &QLabel::setText) ||
      Bind<QAbstractButton>(object, p, &QAbstractButton::text, &QAbstractButton::setText) ||
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

}  // namespace

QObject* QtPersistedWindow::Find(std::string_view object) const {
  QString name = NameOf(object);
  if (window_.objectName() == name) return &window_;
  return window_.findChild<QObject*>(name);
}

WindowPlacement QtPersistedWindow::GetPlacement() const {
  WindowPlacement placement;
  Qt::WindowStates states = window_.windowState();
  placement.showCmd = states.testFlag(Qt::WindowMinimized) ? 2 : states.testFlag(Qt::WindowMaximized) ? 3 : 1;
  // The window was never minimised or maximised to a position of its own.
  placement.minPosition = {-1, -1};
  placement.maxPosition = {-1, -1};
  const WindowBounds bounds = Bounds();
  placement.normalPosition = {bounds.left, bounds.top, bounds.left + bounds.width,
                              bounds.top + bounds.height};
  return placement;
}

void QtPersistedWindow::SetPlacement(const WindowPlacement& placement) {
  const WindowRect& rect = placement.normalPosition;
  // Positions and sizes are those of the frame; the frame's own margins are
  // taken off the size the window itself gets.
  if (!HasFixedBorder()) {
    QSize margins = window_.frameGeometry().size() - window_.geometry().size();
    window_.resize(rect.right - rect.left - margins.width(), rect.bottom - rect.top - margins.height());
  }
  window_.move(rect.left, rect.top);
}

WindowBounds QtPersistedWindow::Bounds() const {
  QRect frame = window_.frameGeometry();
  return {frame.left(), frame.top(), frame.width(), frame.height()};
}

bool QtPersistedWindow::HasFixedBorder() const { return window_.minimumSize() == window_.maximumSize(); }

void QtPersistedWindow::SetWindowState(WindowState state) {
  Qt::WindowStates states = window_.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
  if (state == WindowState::kMinimized) states |= Qt::WindowMinimized;
  // A window of fixed size has nothing to maximise.
  if (state == WindowState::kMaximized && !HasFixedBorder()) states |= Qt::WindowMaximized;
  window_.setWindowState(states);
}

int QtPersistedWindow::PixelsPerInch() const {
  QScreen* screen = window_.screen();
  return screen != nullptr ? qRound(screen->logicalDotsPerInch()) : 96;
}

ScreenSize QtPersistedWindow::Screen() const {
  QScreen* screen = window_.screen();
  if (screen == nullptr) return {};
  return {screen->geometry().width(), screen->geometry().height()};
}

PropertyKind QtPersistedWindow::KindOf(std::string_view object, std::string_view property) const {
  QObject* found = Find(object);
  if (FindText(found, property)) return PropertyKind::kText;
  if (FindList(found, property)) return PropertyKind::kList;
  return PropertyKind::kMissing;
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
