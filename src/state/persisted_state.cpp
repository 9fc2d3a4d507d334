#include "state/persisted_state.h"

#include <algorithm>
#include <array>
#include <exception>

#include "state/ini_file.h"
#include "support/text.h"

namespace velt {
namespace {

constexpr std::string_view kFormVersionKey = "FormVersion";
constexpr std::string_view kFlagsKey = "Flags";
constexpr std::string_view kShowCmdKey = "ShowCmd";
constexpr std::string_view kPixelsKey = "PixelsPerInch";
constexpr std::string_view kMinMaxPosKey = "MinMaxPos";
constexpr std::string_view kNormPosKey = "NormPos";
constexpr std::string_view kVisibleKey = "Visible";
constexpr std::string_view kCountKey = "Count";

// Show states as the platform numbers them.
constexpr int kShowNormal = 1, kShowMinimized = 2, kShowMaximize = 3, kShow = 5, kMinimize = 6,
              kShowMinNoActive = 7, kRestore = 9;

std::string ScreenSuffix(const ScreenSize& screen) {
  return "(" + std::to_string(screen.width) + "x" + std::to_string(screen.height) + ")";
}

std::string FourNumbers(int a, int b, int c, int d) {
  return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," + std::to_string(d);
}

// The first four words of a position value (split at commas and blanks, runs
// of them counting as one), each read as an integer; a missing or
// non-numeric word takes its default.
std::array<int, 4> FourWords(std::string_view text, const std::array<int, 4>& defaults) {
  std::array<int, 4> result = defaults;
  auto isDelimiter = [](char c) { return c == ',' || static_cast<unsigned char>(c) <= 32; };
  std::size_t pos = 0;
  for (int word = 0; word < 4; ++word) {
    while (pos < text.size() && isDelimiter(text[pos])) ++pos;
    if (pos == text.size()) break;
    std::size_t end = pos;
    while (end < text.size() && !isDelimiter(text[end])) ++end;
    int value = 0;
    if (TryStrToInt(text.substr(pos, end - pos), value)) result[word] = value;
    pos = end;
  }
  return result;
}

WindowState StateOfShowCmd(int showCmd) {
  switch (showCmd) {
    case kShowMinimized:
    case kMinimize:
    case kShowMinNoActive:
      return WindowState::Minimized;
    case kShowMaximize:
      return WindowState::Maximized;
    case kShowNormal:
    case kShow:
    case kRestore:
    default:
      return WindowState::Normal;
  }
}

}  // namespace

PersistedState::PersistedState(PersistedWindow& window) : window_(window) {}

std::vector<PersistedState::Property> PersistedState::ParsedProperties() const {
  std::vector<Property> result;
  for (const std::string& entry : properties_) {
    std::size_t dot = entry.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == entry.size()) continue;
    result.push_back({entry.substr(0, dot), entry.substr(dot + 1)});
  }
  return result;
}

std::string PersistedState::ListSection(const Property& property) const {
  return section_ + "." + property.object + "_" + property.name;
}

void PersistedState::Restore() {
  if (!active_) return;
  saved_ = false;
  IniFile ini(file_);
  // A file that is no settings file is read as empty, with a word to the user.
  if (!ini.Warning().empty()) window_.ShowMessage(ini.Warning());
  if (ini.ReadInteger(section_, kFormVersionKey, 0) < kFormVersion) {
    restored_ = true;
    return;
  }
  RestorePlacement(ini);
  RestoreWindowState(ini);
  RestoreProperties(ini);
  restored_ = true;
  if (restoreHandler_) restoreHandler_();
}

void PersistedState::RestorePlacement(const IniFile& ini) {
  WindowPlacement placement = window_.GetPlacement();
  placement.flags = ini.ReadInteger(section_, kFlagsKey, placement.flags);

  const std::string suffix = ScreenSuffix(window_.Screen());
  // The key of the current screen size first, then the one of any size.
  auto readPosition = [&](std::string_view key) {
    std::string value = ini.ReadString(section_, std::string(key) + suffix, "");
    return value.empty() ? ini.ReadString(section_, key, "") : value;
  };

  bool found = false;
  if (std::string value = readPosition(kMinMaxPosKey); !value.empty()) {
    found = true;
    auto [minX, minY, maxX, maxY] = FourWords(value, {0, 0, 0, 0});
    placement.minPosition = {minX, minY};
    placement.maxPosition = {maxX, maxY};
  }
  const WindowBounds bounds = window_.Bounds();
  if (std::string value = readPosition(kNormPosKey); !value.empty()) {
    found = true;
    auto [left, top, right, bottom] =
        FourWords(value, {bounds.left, bounds.top, bounds.left + bounds.width, bounds.top + bounds.height});
    placement.normalPosition = {left, top, right, bottom};
  }
  const int density = window_.PixelsPerInch();
  // A placement taken at another density would put the window at the wrong
  // size; the window then stays where its own layout puts it.
  if (!found || ini.ReadInteger(section_, kPixelsKey, density) != density) return;

  WindowRect& normal = placement.normalPosition;
  if (window_.HasFixedBorder()) {
    normal.right = normal.left + bounds.width;
    normal.bottom = normal.top + bounds.height;
  }
  if (normal.left < normal.right) window_.SetPlacement(placement);
}

void PersistedState::RestoreWindowState(const IniFile& ini) {
  window_.SetWindowState(StateOfShowCmd(ini.ReadInteger(section_, kShowCmdKey, 0)));
}

void PersistedState::RestoreProperties(const IniFile& ini) {
  for (const Property& property : ParsedProperties()) {
    try {
      switch (window_.KindOf(property.object, property.name)) {
        case PropertyKind::Missing:
          break;
        case PropertyKind::Text: {
          std::string key = property.object + "_" + property.name;
          std::string text = ini.ReadString(section_, key, window_.GetText(property.object, property.name));
          window_.SetText(property.object, property.name, Trim(text));
          break;
        }
        case PropertyKind::List: {
          std::string list = ListSection(property);
          int count = StrToIntDef(Trim(ini.ReadString(list, kCountKey, "0")), 0);
          if (count <= 0) break;
          count = std::min(count, kMaxListLines);
          std::vector<std::string> lines;
          lines.reserve(count);
          for (int i = 0; i < count; ++i)
            lines.push_back(ini.ReadString(list, "Item" + std::to_string(i), ""));
          window_.SetLines(property.object, property.name, lines);
          break;
        }
      }
    } catch (const std::exception&) {
      // A property that refuses its stored value keeps the one it has.
    }
  }
}

void PersistedState::SaveOnClose() {
  if (active_ && restored_) Save(false);
}

void PersistedState::SaveOnDestroy() {
  if (active_ && restored_ && !saved_) Save(true);
}

void PersistedState::Save(bool destroying) {
  IniFile ini(file_);
  ini.WriteInteger(section_, kFormVersionKey, kFormVersion);
  SavePlacement(ini, destroying);
  SaveProperties(ini);
  saved_ = true;
}

void PersistedState::SavePlacement(IniFile& ini, bool destroying) {
  const WindowPlacement placement = window_.GetPlacement();
  const std::string suffix = ScreenSuffix(window_.Screen());
  ini.WriteInteger(section_, kFlagsKey, placement.flags);
  ini.WriteInteger(section_, kShowCmdKey, placement.showCmd);
  ini.WriteInteger(section_, kPixelsKey, window_.PixelsPerInch());

  const std::string minMax = FourNumbers(placement.minPosition.x, placement.minPosition.y,
                                         placement.maxPosition.x, placement.maxPosition.y);
  ini.WriteString(section_, std::string(kMinMaxPosKey) + suffix, minMax);
  ini.WriteString(section_, kMinMaxPosKey, minMax);

  const WindowRect& normal = placement.normalPosition;
  const std::string norm = FourNumbers(normal.left, normal.top, normal.right, normal.bottom);
  ini.WriteString(section_, std::string(kNormPosKey) + suffix, norm);
  ini.WriteString(section_, kNormPosKey, norm);

  ini.WriteString(section_, kVisibleKey, destroying ? "1" : "0");
}

void PersistedState::SaveProperties(IniFile& ini) {
  for (const Property& property : ParsedProperties()) {
    switch (window_.KindOf(property.object, property.name)) {
      case PropertyKind::Missing:
        break;
      case PropertyKind::Text:
        ini.WriteString(section_, property.object + "_" + property.name,
                        Trim(window_.GetText(property.object, property.name)));
        break;
      case PropertyKind::List: {
        std::string list = ListSection(property);
        ini.EraseSection(list);
        std::vector<std::string> lines = window_.GetLines(property.object, property.name);
        if (lines.empty()) break;
        ini.WriteInteger(list, kCountKey, static_cast<int>(lines.size()));
        for (std::size_t i = 0; i < lines.size(); ++i)
          ini.WriteString(list, "Item" + std::to_string(i), lines[i]);
        break;
      }
    }
  }
}

}  // namespace velt
