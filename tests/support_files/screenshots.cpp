#include "support_files/screenshots.h"

namespace velt::testing {
namespace {

std::string& Folder() {
  static std::string folder;
  return folder;
}

}  // namespace

const std::string& ScreenshotFolder() { return Folder(); }

void SetScreenshotFolder(const std::string& folder) { Folder() = folder; }

}  // namespace velt::testing
