#include "gui/help_window.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QImage>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "gui/keyboard_access_qt.h"
#include "gui/window_look_qt.h"

namespace velt {
namespace {

constexpr int kWidth = 860;
constexpr int kHeight = 680;
// The widest a picture of a window is drawn (logical pixels): narrower than
// the text, so that the reader sees text beside each picture on one page
// and never scrolls sideways; its texts stay legible.
constexpr int kPictureWidth = 620;

// The guide's text with its pictures drawn smaller, smoothly, where they
// are wider than kPictureWidth.
class GuideBrowser : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;

  QVariant loadResource(int type, const QUrl& name) override {
    QVariant resource = QTextBrowser::loadResource(type, name);
    if (type != QTextDocument::ImageResource) return resource;
    QImage picture;
    if (resource.canConvert<QImage>()) picture = resource.value<QImage>();
    if (picture.isNull()) picture.loadFromData(resource.toByteArray());
    if (picture.isNull() || picture.width() <= kPictureWidth) return resource;
    // At a scaled screen (125%) the picture keeps the screen's pixels, so
    // that it is not reduced first and blown up again.
    const qreal ratio = devicePixelRatioF();
    const int width = qRound(kPictureWidth * ratio);
    if (picture.width() > width) picture = picture.scaledToWidth(width, Qt::SmoothTransformation);
    picture.setDevicePixelRatio(picture.width() / static_cast<qreal>(kPictureWidth));
    return picture;
  }
};

QDialog* MakeHelpWindow(QWidget* owner) {
  auto* window = new QDialog(owner, Qt::Window);
  window->setObjectName("HelpWindow");
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(QStringLiteral("Справка — конвертер архивов ВЕЛТ"));
  ApplyWindowLook(*window);

  auto* browser = new GuideBrowser(window);
  browser->setObjectName("HelpText");
  browser->setOpenExternalLinks(true);
  browser->setSource(QUrl(QString::fromLatin1(kGuideSource)), QTextDocument::MarkdownResource);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, window);
  QPushButton* close = buttons->button(QDialogButtonBox::Close);
  close->setText(QStringLiteral("Закрыть"));
  SetMnemonic(*close, QStringLiteral("&Закрыть"));
  QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::close);

  auto* layout = new QVBoxLayout(window);
  layout->addWidget(browser, 1);
  layout->addWidget(buttons);

  // As large as the screen allows at any scale.
  QSize size(kWidth, kHeight);
  if (QScreen* screen = owner != nullptr ? owner->screen() : nullptr)
    size = size.boundedTo(screen->availableGeometry().size() - QSize(40, 60));
  window->resize(size);
  browser->setFocus();
  return window;
}

}  // namespace

void ShowHelp(QWidget* owner) {
  static QPointer<QDialog> open;
  if (open.isNull()) open = MakeHelpWindow(owner);
  open->show();
  open->raise();
  open->activateWindow();
}

}  // namespace velt
