#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace velt::fuzz {
namespace fs = std::filesystem;

namespace {

void RemoveScratch();

std::string MakeScratch() {
  std::error_code ec;
  fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
  std::random_device rd;
  fs::path dir = base / ("velt-fuzz-" + std::to_string(rd()) + std::to_string(rd()));
  fs::create_directories(dir);
  std::atexit(RemoveScratch);
  return dir.string() + "/";
}

void RemoveScratch() {
  std::error_code ec;
  fs::remove_all(ScratchDir(), ec);
}

}  // namespace

const std::string& ScratchDir() {
  // Never destroyed: RemoveScratch runs at exit, after static destructors
  // registered later than it.
  static const std::string* dir = new std::string(MakeScratch());
  return *dir;
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) Fail("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string_view> Lines(std::string_view input) {
  std::vector<std::string_view> lines;
  while (!input.empty()) {
    std::size_t end = input.find('\n');
    lines.push_back(input.substr(0, end));
    if (end == std::string_view::npos) break;
    input.remove_prefix(end + 1);
  }
  return lines;
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "FUZZ INVARIANT BROKEN: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace velt::fuzz
