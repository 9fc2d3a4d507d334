#pragma once
// The persisted-state component of a window: restores the window's placement,
// show state and a list of its control properties from the ini file beside
// the program when the window is shown, and writes them back when it closes.
// The main window and the composition window each own one, on the same file
// and section, so whichever window closed last decides where the other opens.
//
// The component talks to its window through PersistedWindow, which the
// window layer implements; all text crossing it is Windows-1251.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velt {

struct WindowPoint {
  int x = 0;
  int y = 0;
};

// Screen pixels; right and bottom are exclusive.
struct WindowRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// The window's placement as the platform reports it.
struct WindowPlacement {
  int flags = 0;
  int showCmd = 1;  // 1 normal, 2 minimised, 3 maximised
  WindowPoint minPosition;
  WindowPoint maxPosition;
  WindowRect normalPosition;  // the rectangle of the normal (not minimised or maximised) window
};

struct WindowBounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

struct ScreenSize {
  int width = 0;
  int height = 0;
};

enum class WindowState { Normal, Minimized, Maximized };

// What a stored property "object.Property" is on the window.
enum class PropertyKind { Missing, Text, List };

class PersistedWindow {
 public:
  virtual ~PersistedWindow() = default;

  virtual WindowPlacement GetPlacement() const = 0;
  // Applies flags, positions and the normal rectangle; the show state comes
  // separately through SetWindowState.
  virtual void SetPlacement(const WindowPlacement& placement) = 0;
  // The window's current position and size.
  virtual WindowBounds Bounds() const = 0;
  // A window with a fixed border keeps its size when its placement is
  // restored.
  virtual bool HasFixedBorder() const = 0;
  // Minimising the main window minimises the whole application instead.
  virtual void SetWindowState(WindowState state) = 0;
  virtual int PixelsPerInch() const = 0;
  virtual ScreenSize Screen() const = 0;

  virtual PropertyKind KindOf(std::string_view object, std::string_view property) const = 0;
  virtual std::string GetText(std::string_view object, std::string_view property) const = 0;
  // May throw; a failing assignment is ignored by the component.
  virtual void SetText(std::string_view object, std::string_view property, const std::string& text) = 0;
  virtual std::vector<std::string> GetLines(std::string_view object, std::string_view property) const = 0;
  virtual void SetLines(std::string_view object, std::string_view property,
                        const std::vector<std::string>& lines) = 0;

  // What the user must read (1251).
  virtual void ShowMessage(const std::string& text) = 0;
};

class IniFile;

class PersistedState {
 public:
  // Restore compares the stored "FormVersion" with this.
  static constexpr int kFormVersion = 0;
  // A stored list is read back with at most this many lines, whatever its
  // "Count" claims (a damaged file must not fill memory).
  static constexpr int kMaxListLines = 32768;

  explicit PersistedState(PersistedWindow& window);

  void SetFile(std::string path) { file_ = std::move(path); }
  const std::string& File() const { return file_; }
  void SetSection(std::string section) { section_ = std::move(section); }
  const std::string& Section() const { return section_; }
  // Entries "object.Property", restored and saved in this order.
  void SetStoredProperties(std::vector<std::string> properties) { properties_ = std::move(properties); }
  void SetRestoreHandler(std::function<void()> handler) { restoreHandler_ = std::move(handler); }
  void SetActive(bool active) { active_ = active; }
  bool Active() const { return active_; }

  bool Restored() const { return restored_; }
  bool Saved() const { return saved_; }

  // When the window is shown, before its own show handler. Errors of the
  // window (other than failing property assignments) pass through.
  void Restore();
  // When the window's close is allowed. Raises "Не удалось сохранить настройки в файл <file>"
  // when the file refuses a write; the keys after it are not written.
  void SaveOnClose();
  // When the window is destroyed: saves only when nothing was saved since
  // the last restore.
  void SaveOnDestroy();

 private:
  struct Property {
    std::string object;
    std::string name;
  };

  void Save(bool destroying);
  void RestorePlacement(const IniFile& ini);
  void RestoreWindowState(const IniFile& ini);
  void RestoreProperties(const IniFile& ini);
  void SavePlacement(IniFile& ini, bool destroying);
  void SaveProperties(IniFile& ini);
  std::vector<Property> ParsedProperties() const;
  std::string ListSection(const Property& property) const;

  PersistedWindow& window_;
  std::string file_;
  std::string section_ = "VELT_CONV";
  std::vector<std::string> properties_;
  std::function<void()> restoreHandler_;
  bool active_ = true;
  bool restored_ = false;
  bool saved_ = false;
};

}  // namespace velt
