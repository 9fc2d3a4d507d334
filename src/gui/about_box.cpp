#include "gui/about_box.h"

#include <QMessageBox>

#include "velt_version.h"

namespace velt {

void ShowAboutBox(QWidget* parent) {
  const QString text =
      QStringLiteral("veltconv — перекодировщик архивов вызовов ВЕЛТ\n\nВерсия %1\nСборка от %2")
          .arg(QString::fromUtf8(VELT_VERSION_TEXT), QString::fromUtf8(VELT_BUILD_DATE));
  QMessageBox box(QMessageBox::Information, QStringLiteral("О программе veltconv"), text, QMessageBox::Ok,
                  parent);
  box.setObjectName("AboutBox");
  box.exec();
}

}  // namespace velt
