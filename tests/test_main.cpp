#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

#include "support_files/screenshots.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // The window tests run off screen here as well. Wine hands Linux's QT_
  // variables to Windows programs only when spelt WINEQT_..., so without this
  // a run by hand would ask for real windows, which wine without a display
  // never makes: they would neither show nor close.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) _putenv_s("QT_QPA_PLATFORM", "offscreen");
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
