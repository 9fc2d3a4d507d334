#pragma once
// A hash map keyed by text and looked up by a view, without a string made of
// the key: the record loop looks values up that it holds as views.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace velt {

// Eight bytes at a time, each word mixed in by a multiply: quick on the
// short keys of the record loop and spread well enough for a hash table.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept {
    std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ text.size();
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + i, 8);
      hash = (hash ^ word) * 0xBF58476D1CE4E5B9ull;
      hash ^= hash >> 31;
    }
    std::uint64_t tail = 0;
    for (std::size_t k = 0; i + k < text.size(); ++k)
      tail |= static_cast<std::uint64_t>(static_cast<unsigned char>(text[i + k])) << (8 * k);
    hash = (hash ^ tail) * 0x94D049BB133111EBull;
    return static_cast<std::size_t>(hash ^ (hash >> 29));
  }
};

template <typename T>
using TextMap = std::unordered_map<std::string, T, TextHash, std::equal_to<>>;

}  // namespace velt
