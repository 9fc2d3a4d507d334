#pragma once
// What the fuzz targets share: a scratch folder for the process, removed at
// exit, and files written from the fuzzer's bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velt::fuzz {

// A fresh folder with its trailing separator: in /dev/shm when there is one,
// since every input is written to a file and read back.
const std::string& ScratchDir();

void WriteFile(const std::string& path, std::string_view bytes);
std::string ReadFile(const std::string& path);

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input cut at every '\n' (a last line without one included).
std::vector<std::string_view> Lines(std::string_view input);

// Ends the process with a message: a broken invariant is a finding just as
// a crash is.
[[noreturn]] void Fail(const std::string& what);

}  // namespace velt::fuzz
