#pragma once
// A hash map keyed by text and looked up by a view, without a string made of
// the key: the record loop looks values up that it holds as views.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace velt {

struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

template <typename T>
using TextMap = std::unordered_map<std::string, T, TextHash, std::equal_to<>>;

}  // namespace velt
