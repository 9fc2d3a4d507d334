// The Qt side of the persisted window state: properties found by object
// and property name, and a window's placement kept across openings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include "gui/persisted_state_qt.h"
#include "state/persisted_state.h"
#include "support/code_page.h"
#include "support/platform.h"
#include "support_files/gui_app.h"
#include "support_files/temp_dir.h"

namespace velt {
namespace {

using testing::A;

QApplication& App() { return testing::GuiApp(); }

// A window with one control of each kind the windows persist, and a
// non-widget setting published as a property.
class SampleWindow : public QDialog {
 public:
  SampleWindow() {
    setObjectName("Sample");
    setWindowTitle("title");
    auto* label = new QLabel(QStringLiteral("подпись"), this);
    label->setObjectName("caption");
    auto* edit = new QLineEdit(this);
    edit->setObjectName("edit");
    auto* list = new QListWidget(this);
    list->setObjectName("list");
    list->addItems({"a", " b "});
    auto* button = new QPushButton("ok", this);
    button->setObjectName("button");
    auto* setting = new QObject(this);
    setting->setObjectName("Choosefile");
    setting->setProperty("InitialDir", QStringLiteral("/start"));
    setting->setProperty("Files", QStringList{"x"});
    setting->setProperty("Size", 5);
  }
};

TEST(QtPersistedWindowTest, PropertiesAreFoundByObjectAndPropertyName) {
  App();
  SampleWindow window;
  QtPersistedWindow adapter(window, MessageToStandardError);
  EXPECT_EQ(adapter.KindOf("caption", "Caption"), PropertyKind::Text);
  EXPECT_EQ(adapter.KindOf("edit", "Text"), PropertyKind::Text);
  EXPECT_EQ(adapter.KindOf("list", "Items"), PropertyKind::List);
  EXPECT_EQ(adapter.KindOf("Choosefile", "InitialDir"), PropertyKind::Text);
  EXPECT_EQ(adapter.KindOf("Choosefile", "Files"), PropertyKind::List);
  EXPECT_EQ(adapter.KindOf("Choosefile", "Size"), PropertyKind::Missing);  // not text
  EXPECT_EQ(adapter.KindOf("edit", "Caption"), PropertyKind::Missing);
  EXPECT_EQ(adapter.KindOf("nothing", "Caption"), PropertyKind::Missing);

  // Text crosses in Windows-1251.
  EXPECT_EQ(adapter.GetText("caption", "Caption"), A("подпись"));
  adapter.SetText("edit", "Text", A("каталог"));
  EXPECT_EQ(window.findChild<QLineEdit*>("edit")->text().toStdString(), "каталог");
  adapter.SetText("Sample", "Caption", "new title");
  EXPECT_EQ(window.windowTitle(), "new title");
  adapter.SetText("Choosefile", "InitialDir", "/other");
  EXPECT_EQ(window.findChild<QObject*>("Choosefile")->property("InitialDir").toString(), "/other");
  EXPECT_THROW(adapter.SetText("nothing", "Caption", "x"), std::exception);

  EXPECT_EQ(adapter.GetLines("list", "Items"), (std::vector<std::string>{"a", " b "}));
  adapter.SetLines("list", "Items", {A("один"), "", "3"});
  EXPECT_EQ(window.findChild<QListWidget*>("list")->count(), 3);
  EXPECT_EQ(window.findChild<QListWidget*>("list")->item(0)->text().toStdString(), "один");
  adapter.SetLines("Choosefile", "Files", {"p", "q"});
  EXPECT_EQ(window.findChild<QObject*>("Choosefile")->property("Files").toStringList(),
            (QStringList{"p", "q"}));
}

// The platform draws a frame around the window (offscreen: two pixels), so
// a rectangle saved from the frame and restored to the client area would
// creep by the frame at every opening.
TEST(QtPersistedWindowTest, PlacementAndPropertiesSurviveClosesAndOpenings) {
  App();
  testing::TempDir dir;
  QSize screen = QApplication::primaryScreen()->geometry().size();
  std::string suffix = "(" + std::to_string(screen.width()) + "x" + std::to_string(screen.height()) + ")";
  for (int opening = 0; opening < 6; ++opening) {
    SCOPED_TRACE(opening);
    SampleWindow window;
    window.setFixedSize(300, 200);
    QtPersistedWindow adapter(window, MessageToStandardError);
    PersistedState state(adapter);
    state.SetFile(dir.File("state.ini"));
    state.SetStoredProperties({"edit.Text", "list.Items", "Choosefile.InitialDir"});
    window.show();
    state.Restore();
    if (opening == 0) {
      window.move(37, 41);
      window.findChild<QLineEdit*>("edit")->setText("  typed  ");
      window.findChild<QObject*>("Choosefile")->setProperty("InitialDir", "/chosen");
    } else {
      EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(37, 41));
      EXPECT_EQ(window.size(), QSize(300, 200));
      EXPECT_EQ(window.findChild<QLineEdit*>("edit")->text(), "typed");
      EXPECT_EQ(window.findChild<QListWidget*>("list")->item(1)->text(), " b ");
      EXPECT_EQ(window.findChild<QObject*>("Choosefile")->property("InitialDir").toString(), "/chosen");
    }
    const QRect client = window.geometry();
    state.SaveOnClose();
    std::string ini;
    ASSERT_TRUE(platform::ReadWholeFile(dir.File("state.ini"), ini));
    const std::string norm = std::to_string(client.left()) + "," + std::to_string(client.top()) + "," +
                             std::to_string(client.right() + 1) + "," + std::to_string(client.bottom() + 1);
    EXPECT_NE(ini.find("NormPos" + suffix + "=" + norm + "\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("edit_Text=typed\r\n"), std::string::npos) << ini;
  }
}

TEST(QtPersistedWindowTest, APlacementOffTheScreensComesOntoThem) {
  App();
  testing::TempDir dir;
  const QRect available = QApplication::primaryScreen()->availableGeometry();
  for (const char* position : {"-400,-900,-100,-700", "5000,20,5300,220", "20,-30,320,170"}) {
    SCOPED_TRACE(position);
    ASSERT_TRUE(platform::WriteWholeFile(
        dir.File("state.ini"),
        std::string("[VELT_CONV]\r\nPixelsPerInch=96\r\nNormPos=") + position + "\r\n"));
    SampleWindow window;
    window.setFixedSize(300, 200);
    QtPersistedWindow adapter(window, MessageToStandardError);
    PersistedState state(adapter);
    state.SetFile(dir.File("state.ini"));
    window.show();
    state.Restore();
    EXPECT_TRUE(available.contains(window.frameGeometry()));
  }
}

}  // namespace
}  // namespace velt
