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

std::string A(const char* utf8) { return Utf8ToAnsi(utf8); }

}  // namespace velt::testing
