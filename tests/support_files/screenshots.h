#pragma once
// Pictures of the windows for a person to look at (scripts/screenshots.sh):
// a window test program given --screenshots=DIR saves them there; without
// it the cases that take them skip.
#include <string>

namespace velt::testing {

const std::string& ScreenshotFolder();
void SetScreenshotFolder(const std::string& folder);

}  // namespace velt::testing
