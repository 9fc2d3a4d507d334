#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "support_files/screenshots.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // The window tests run off screen here as well. Wine hands Linux's QT_
  // variables to Windows programs only when spelt WINEQT_..., so without this
  // a run by hand would ask for real windows, which wine without a display
  // never makes: they would neither show nor close.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) _putenv_s("QT_QPA_PLATFORM", "offscreen");
  // The offscreen platform of Windows reads its fonts from one folder, not
  // from the system, and without any draws every letter as a wide box.
  // Windows' own folder has Arial; wine's is empty, and there Debian's
  // Liberation fonts (Arial's metrics) stand in, as fontconfig makes them
  // do on Linux.
  if (std::getenv("QT_QPA_FONTDIR") == nullptr) {
    const char* windows = std::getenv("WINDIR");
    std::string fonts = windows == nullptr ? std::string() : std::string(windows) + "\\Fonts";
    const std::string liberation = "Z:\\usr\\share\\fonts\\truetype\\liberation";
    std::error_code error;
    if (!std::filesystem::exists(fonts + "\\arial.ttf", error) &&
        std::filesystem::is_directory(liberation, error))
      fonts = liberation;
    if (!fonts.empty()) _putenv_s("QT_QPA_FONTDIR", fonts.c_str());
  }
#endif
  ::testing::InitGoogleTest(&argc, argv);
  // What GoogleTest leaves: the folder for the screenshot cases.
  constexpr std::string_view kScreenshots = "--screenshots=";
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument.starts_with(kScreenshots))
      velt::testing::SetScreenshotFolder(std::string(argument.substr(kScreenshots.size())));
  }
  return RUN_ALL_TESTS();
}
