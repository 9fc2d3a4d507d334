#include "support_files/temp_dir.h"

#include <atomic>
#include <filesystem>
#include <random>

#include "support/code_page.h"

namespace velt::testing {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  auto base = std::filesystem::temp_directory_path() /
              ("velt-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(base);
  path_ = base.string() + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void TempDir::CopyIn(const std::string& folder) const {
  // Named without the trailing separator: MinGW's library, given a target
  // folder that ends in one, copies nothing and reports no error.
  std::filesystem::copy(
      folder, std::filesystem::path(path_).parent_path(),
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
}

std::string A(const char* utf8) { return Utf8ToAnsi(utf8); }

}  // namespace velt::testing
