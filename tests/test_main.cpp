#include <gtest/gtest.h>

#include <string_view>

#include "support_files/screenshots.h"

int main(int argc, char** argv) {
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
