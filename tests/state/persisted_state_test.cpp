#include "state/persisted_state.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "state/ini_file.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support/platform.h"
#include "support_files/temp_dir.h"

namespace velt {
namespace {

using testing::A;
using testing::TempDir;

// A window as the component sees it: a placement, a screen, and named
// text and list properties.
class FakeWindow : public PersistedWindow {
 public:
  WindowPlacement placement{0, 1, {-1, -1}, {-8, -8}, {100, 50, 500, 350}};
  WindowBounds bounds{100, 50, 400, 300};
  bool fixedBorder = false;
  int density = 96;
  ScreenSize screen{1920, 1080};
  std::map<std::string, std::string> texts;
  std::map<std::string, std::vector<std::string>> lists;
  std::string refusing;  // a property whose assignment throws

  std::optional<WindowPlacement> applied;
  std::optional<WindowState> state;

  WindowPlacement GetPlacement() const override { return placement; }
  void SetPlacement(const WindowPlacement& p) override { applied = p; }
  WindowBounds Bounds() const override { return bounds; }
  bool HasFixedBorder() const override { return fixedBorder; }
  void SetWindowState(WindowState s) override { state = s; }
  int PixelsPerInch() const override { return density; }
  ScreenSize Screen() const override { return screen; }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;

  static std::string Name(std::string_view object, std::string_view property) {
    return std::string(object) + "." + std::string(property);
  }
  PropertyKind KindOf(std::string_view object, std::string_view property) const override {
    std::string name = Name(object, property);
    if (texts.count(name)) return PropertyKind::Text;
    if (lists.count(name)) return PropertyKind::List;
    return PropertyKind::Missing;
  }
  std::string GetText(std::string_view o, std::string_view p) const override { return texts.at(Name(o, p)); }
  void SetText(std::string_view o, std::string_view p, const std::string& text) override {
    if (Name(o, p) == refusing) throw std::runtime_error("refused");
    texts[Name(o, p)] = text;
  }
  std::vector<std::string> GetLines(std::string_view o, std::string_view p) const override {
    return lists.at(Name(o, p));
  }
  void SetLines(std::string_view o, std::string_view p, const std::vector<std::string>& lines) override {
    lists[Name(o, p)] = lines;
  }
};

std::string Contents(const std::string& path) {
  std::string bytes;
  platform::ReadWholeFile(path, bytes);
  return bytes;
}

FakeWindow MainWindow() {
  FakeWindow w;
  w.fixedBorder = true;
  w.texts["velt_file.Caption"] = A("Не выбран файл архива ВЕЛТ");
  w.texts["outdirpath.Caption"] = A("Не выбран каталог выгрузки");
  w.texts["lbCodePage.Caption"] = "";
  return w;
}

FakeWindow CompositionWindow() {
  FakeWindow w;
  w.fixedBorder = true;
  w.lists["FileListBox.Items"] = {};
  w.texts["OutFilename.Caption"] = A("Файл будет сохранен в каталоге ");
  w.texts["Choosefile.InitialDir"] = "";
  w.texts["Choosefile.FileName"] = "";
  w.texts["EditOutFilename.Text"] = "";
  return w;
}

void Configure(PersistedState& s, const std::string& file, std::vector<std::string> properties) {
  s.SetFile(file);
  s.SetStoredProperties(std::move(properties));
}

const std::vector<std::string> kMainProperties = {"velt_file.Caption", "outdirpath.Caption",
                                                  "lbCodePage.Caption"};
const std::vector<std::string> kCompositionProperties = {"FileListBox.Items", "OutFilename.Caption",
                                                         "Choosefile.InitialDir", "Choosefile.FileName",
                                                         "EditOutFilename.Text"};

TEST(PersistedStateTest, FirstStartKeepsInitialTextsAndNeverShownWritesNothing) {
  TempDir dir;
  std::string file = dir.File("veltconv.ini");
  FakeWindow w = MainWindow();
  PersistedState s(w);
  Configure(s, file, kMainProperties);
  s.SaveOnClose();
  s.SaveOnDestroy();
  EXPECT_FALSE(platform::FileExists(file));  // never shown, never restored

  int handled = 0;
  s.SetRestoreHandler([&] { ++handled; });
  s.Restore();
  EXPECT_TRUE(s.Restored());
  EXPECT_EQ(handled, 1);
  EXPECT_FALSE(w.applied.has_value());
  EXPECT_EQ(w.state, WindowState::Normal);
  EXPECT_EQ(w.texts["velt_file.Caption"], A("Не выбран файл архива ВЕЛТ"));
  EXPECT_EQ(w.texts["lbCodePage.Caption"], "");
}

TEST(PersistedStateTest, SaveWritesTheFileLayout) {
  TempDir dir;
  std::string file = dir.File("veltconv.ini");
  FakeWindow w = MainWindow();
  PersistedState s(w);
  Configure(s, file, kMainProperties);
  s.Restore();
  w.placement = {2, 3, {-1, -1}, {-4, -4}, {10, 20, 610, 470}};
  w.texts["velt_file.Caption"] = A("  /data/in/F0012401.DBF \t");
  w.texts["outdirpath.Caption"] = "\"/out\"";
  w.texts["lbCodePage.Caption"] = "   ";
  s.SaveOnClose();
  EXPECT_TRUE(s.Saved());
  EXPECT_EQ(Contents(file),
            "[VELT_CONV]\r\n"
            "FormVersion=0\r\n"
            "Flags=2\r\n"
            "ShowCmd=3\r\n"
            "PixelsPerInch=96\r\n"
            "MinMaxPos(1920x1080)=-1,-1,-4,-4\r\n"
            "MinMaxPos=-1,-1,-4,-4\r\n"
            "NormPos(1920x1080)=10,20,610,470\r\n"
            "NormPos=10,20,610,470\r\n"
            "Visible=0\r\n"
            "velt_file_Caption=/data/in/F0012401.DBF\r\n"
            "outdirpath_Caption=\"\"/out\"\"\r\n"
            "lbCodePage_Caption=\r\n");

  // A save at closing makes the one at destruction unnecessary; after the
  // next showing only the destruction saves, with Visible "1".
  s.SaveOnDestroy();
  EXPECT_NE(Contents(file).find("Visible=0\r\n"), std::string::npos);
  s.Restore();
  EXPECT_FALSE(s.Saved());
  s.SaveOnDestroy();
  EXPECT_NE(Contents(file).find("Visible=1\r\n"), std::string::npos);
}

TEST(PersistedStateTest, RoundTripRestoresPlacementAndTrimmedTexts) {
  TempDir dir;
  std::string file = dir.File("veltconv.ini");
  FakeWindow first = MainWindow();
  first.fixedBorder = false;
  PersistedState saver(first);
  Configure(saver, file, kMainProperties);
  saver.Restore();
  first.placement.normalPosition = {30, 40, 730, 640};
  first.texts["velt_file.Caption"] = A(" /in/F0012401.DBF ");
  first.texts["outdirpath.Caption"] = "'/out'";
  first.texts["lbCodePage.Caption"] = "ANSI";
  saver.SaveOnClose();

  FakeWindow second = MainWindow();
  second.fixedBorder = false;
  PersistedState restorer(second);
  Configure(restorer, file, kMainProperties);
  restorer.Restore();
  ASSERT_TRUE(second.applied.has_value());
  EXPECT_EQ(second.applied->normalPosition.left, 30);
  EXPECT_EQ(second.applied->normalPosition.bottom, 640);
  EXPECT_EQ(second.applied->maxPosition.x, -8);
  EXPECT_EQ(second.texts["velt_file.Caption"], A("/in/F0012401.DBF"));
  EXPECT_EQ(second.texts["outdirpath.Caption"], "'/out'");
  EXPECT_EQ(second.texts["lbCodePage.Caption"], "ANSI");
}

TEST(PersistedStateTest, ScreenSizeDensityAndBorderDecideThePlacement) {
  TempDir dir;
  std::string file = dir.File("veltconv.ini");
  {
    IniFile ini(file);
    ini.WriteString("VELT_CONV", "NormPos(1920x1080)", "1,2,301,202");
    ini.WriteString("VELT_CONV", "NormPos", "5,6,705,506");
    ini.WriteString("VELT_CONV", "PixelsPerInch", "96");
    ini.WriteString("VELT_CONV", "velt_file_Caption", "/in/F0012401.DBF");
  }
  auto restore = [&](FakeWindow& w) {
    PersistedState s(w);
    Configure(s, file, kMainProperties);
    s.Restore();
  };

  FakeWindow same = MainWindow();
  same.fixedBorder = false;
  restore(same);
  ASSERT_TRUE(same.applied.has_value());
  EXPECT_EQ(same.applied->normalPosition.right, 301);  // the key of this screen size

  FakeWindow other = MainWindow();
  other.fixedBorder = false;
  other.screen = {1280, 1024};
  restore(other);
  ASSERT_TRUE(other.applied.has_value());
  EXPECT_EQ(other.applied->normalPosition.left, 5);  // no key for 1280x1024: the plain one
  EXPECT_EQ(other.applied->normalPosition.right, 705);

  FakeWindow fixed = MainWindow();  // fixed border: own size, stored left and top
  fixed.screen = {1280, 1024};
  restore(fixed);
  ASSERT_TRUE(fixed.applied.has_value());
  EXPECT_EQ(fixed.applied->normalPosition.left, 5);
  EXPECT_EQ(fixed.applied->normalPosition.top, 6);
  EXPECT_EQ(fixed.applied->normalPosition.right, 405);
  EXPECT_EQ(fixed.applied->normalPosition.bottom, 306);

  FakeWindow dense = MainWindow();
  dense.density = 120;
  restore(dense);
  EXPECT_FALSE(dense.applied.has_value());
  EXPECT_EQ(dense.texts["velt_file.Caption"], "/in/F0012401.DBF");  // properties still restored
}

TEST(PersistedStateTest, PositionValuesAreReadLeniently) {
  TempDir dir;
  std::string file = dir.File("veltconv.ini");
  auto restoreWith = [&](const std::string& minMax, const std::string& norm) {
    platform::RemoveFile(file);
    IniFile ini(file);
    if (!minMax.empty()) ini.WriteString("VELT_CONV", "MinMaxPos", minMax);
    if (!norm.empty()) ini.WriteString("VELT_CONV", "NormPos", norm);
    FakeWindow w = MainWindow();
    w.fixedBorder = false;
    PersistedState s(w);
    Configure(s, file, {});
    s.Restore();
    return w.applied;
  };

  // Blanks and commas both separate; a missing or bad word takes the
  // window's current left, top, left + width, top + height.
  auto p = restoreWith("", " 7 ,, 9 x");
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->normalPosition.left, 7);
  EXPECT_EQ(p->normalPosition.top, 9);
  EXPECT_EQ(p->normalPosition.right, 500);
  EXPECT_EQ(p->normalPosition.bottom, 350);

  // Only MinMaxPos found: bad words give 0, the normal rectangle stays.
  p = restoreWith("3,$10,bad", "");
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->minPosition.x, 3);
  EXPECT_EQ(p->minPosition.y, 16);
  EXPECT_EQ(p->maxPosition.x, 0);
  EXPECT_EQ(p->maxPosition.y, 0);
  EXPECT_EQ(p->normalPosition.left, 100);

  EXPECT_FALSE(restoreWith("", "600,0,500,300").has_value());  // left not below right
  EXPECT_FALSE(restoreWith("", "").has_value());
}

TEST(PersistedStateTest, ShowCmdMapsToWindowState) {
  TempDir dir;
  std::string file = dir.File("veltconv.ini");
  const std::map<std::string, WindowState> expected = {
      {"0", WindowState::Normal},    {"1", WindowState::Normal},    {"2", WindowState::Minimized},
      {"3", WindowState::Maximized}, {"4", WindowState::Normal},    {"5", WindowState::Normal},
      {"6", WindowState::Minimized}, {"7", WindowState::Minimized}, {"8", WindowState::Normal},
      {"9", WindowState::Normal},    {"x", WindowState::Normal}};
  for (const auto& [value, state] : expected) {
    IniFile(file).WriteString("VELT_CONV", "ShowCmd", value);
    FakeWindow w = MainWindow();
    PersistedState s(w);
    Configure(s, file, {});
    s.Restore();
    EXPECT_EQ(w.state, state) << value;
  }
}

TEST(PersistedStateTest, OlderFormVersionOnlyMarksRestored) {
  TempDir dir;
  std::string file = dir.File("veltconv.ini");
  IniFile ini(file);
  ini.WriteString("VELT_CONV", "FormVersion", "-1");
  ini.WriteString("VELT_CONV", "NormPos", "1,2,3,4");
  ini.WriteString("VELT_CONV", "ShowCmd", "3");
  ini.WriteString("VELT_CONV", "velt_file_Caption", "x");
  FakeWindow w = MainWindow();
  PersistedState s(w);
  Configure(s, file, kMainProperties);
  bool handled = false;
  s.SetRestoreHandler([&] { handled = true; });
  s.Restore();
  EXPECT_TRUE(s.Restored());
  EXPECT_FALSE(handled);
  EXPECT_FALSE(w.applied.has_value());
  EXPECT_FALSE(w.state.has_value());
  EXPECT_EQ(w.texts["velt_file.Caption"], A("Не выбран файл архива ВЕЛТ"));
  s.SaveOnClose();  // restored, so it saves
  EXPECT_EQ(IniFile(file).ReadString("VELT_CONV", "FormVersion", ""), "0");
}

TEST(PersistedStateTest, ListPropertyKeepsBlanksAndEmptyListErasesSection) {
  TempDir dir;
  std::string file = dir.File("veltconv.ini");
  FakeWindow w = CompositionWindow();
  PersistedState s(w);
  Configure(s, file, kCompositionProperties);
  s.Restore();
  w.lists["FileListBox.Items"] = {" /in/F0012401.DBF", "/in/" + A("Ф") + ".DBF  ", "'q'"};
  w.texts["EditOutFilename.Text"] = "F0012401.DBF";
  s.SaveOnClose();
  std::string disk = Contents(file);
  EXPECT_NE(disk.find("[VELT_CONV.FileListBox_Items]\r\nCount=3\r\nItem0=\" /in/F0012401.DBF\"\r\n"),
            std::string::npos);

  FakeWindow again = CompositionWindow();
  PersistedState s2(again);
  Configure(s2, file, kCompositionProperties);
  s2.Restore();
  EXPECT_EQ(again.lists["FileListBox.Items"], w.lists["FileListBox.Items"]);
  EXPECT_EQ(again.texts["EditOutFilename.Text"], "F0012401.DBF");

  again.lists["FileListBox.Items"].clear();
  s2.SaveOnClose();
  EXPECT_FALSE(IniFile(file).SectionExists("VELT_CONV.FileListBox_Items"));

  FakeWindow third = CompositionWindow();
  third.lists["FileListBox.Items"] = {"initial"};
  PersistedState s3(third);
  Configure(s3, file, kCompositionProperties);
  s3.Restore();
  EXPECT_EQ(third.lists["FileListBox.Items"], std::vector<std::string>{"initial"});
}

TEST(PersistedStateTest, ListCountIsReadCautiously) {
  TempDir dir;
  std::string file = dir.File("veltconv.ini");
  auto restoreWith = [&](const std::string& count) {
    platform::RemoveFile(file);
    IniFile ini(file);
    ini.WriteString("VELT_CONV.FileListBox_Items", "Count", count);
    ini.WriteString("VELT_CONV.FileListBox_Items", "Item0", "a");
    ini.WriteString("VELT_CONV.FileListBox_Items", "Item2", "c");
    FakeWindow w = CompositionWindow();
    w.lists["FileListBox.Items"] = {"initial"};
    PersistedState s(w);
    Configure(s, file, kCompositionProperties);
    s.Restore();
    return w.lists["FileListBox.Items"];
  };
  EXPECT_EQ(restoreWith(" 3 "), (std::vector<std::string>{"a", "", "c"}));
  EXPECT_EQ(restoreWith("1"), std::vector<std::string>{"a"});
  EXPECT_EQ(restoreWith("many"), std::vector<std::string>{"initial"});
  EXPECT_EQ(restoreWith("-2"), std::vector<std::string>{"initial"});
  EXPECT_EQ(restoreWith("2147483647").size(), static_cast<std::size_t>(PersistedState::kMaxListLines));
}

TEST(PersistedStateTest, UnknownAndRefusingPropertiesAreSkipped) {
  TempDir dir;
  std::string file = dir.File("veltconv.ini");
  IniFile ini(file);
  ini.WriteString("VELT_CONV", "velt_file_Caption", "a");
  ini.WriteString("VELT_CONV", "outdirpath_Caption", "b");
  ini.WriteString("VELT_CONV", "lbCodePage_Caption", "ANSI");
  FakeWindow w = MainWindow();
  w.refusing = "outdirpath.Caption";
  PersistedState s(w);
  Configure(s, file,
            {"nosuch.Caption", "velt_file.Caption", "nodot", "outdirpath.Caption", "lbCodePage.Caption"});
  s.Restore();
  EXPECT_EQ(w.texts["velt_file.Caption"], "a");
  EXPECT_EQ(w.texts["outdirpath.Caption"], A("Не выбран каталог выгрузки"));
  EXPECT_EQ(w.texts["lbCodePage.Caption"], "ANSI");
  EXPECT_TRUE(s.Restored());
}

TEST(PersistedStateTest, RefusedWriteRaisesAndLeavesSavedUnset) {
  TempDir dir;
  std::string file = dir.File("missing/veltconv.ini");
  FakeWindow w = MainWindow();
  PersistedState s(w);
  Configure(s, file, kMainProperties);
  s.Restore();
  try {
    s.SaveOnClose();
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind(A("Не удалось сохранить настройки в файл ") + ShownPath(file), 0),
              0u);
  }
  EXPECT_FALSE(s.Saved());
}

TEST(PersistedStateTest, BothWindowsShareTheFile) {
  TempDir dir;
  std::string file = dir.File("veltconv.ini");
  FakeWindow mainWindow = MainWindow();
  PersistedState mainState(mainWindow);
  Configure(mainState, file, kMainProperties);
  mainState.Restore();

  FakeWindow composition = CompositionWindow();
  PersistedState compositionState(composition);
  Configure(compositionState, file, kCompositionProperties);
  compositionState.Restore();
  composition.placement.normalPosition = {1, 1, 2, 2};
  composition.lists["FileListBox.Items"] = {"/in/a.dbf"};
  compositionState.SaveOnClose();

  mainWindow.placement.normalPosition = {70, 80, 470, 380};
  mainState.SaveOnClose();
  IniFile ini(file);
  EXPECT_EQ(ini.ReadString("VELT_CONV", "NormPos", ""), "70,80,470,380");
  EXPECT_EQ(ini.ReadString("VELT_CONV.FileListBox_Items", "Item0", ""), "/in/a.dbf");
  EXPECT_EQ(ini.ReadString("VELT_CONV", "EditOutFilename_Text", "-"), "");
}

}  // namespace
}  // namespace velt
