#pragma once
// Constant 256-bit membership sets over single-byte (Windows-1251) codes and
// the filter that keeps or drops their members.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velt {

class CharSet {
 public:
  constexpr CharSet() = default;
  constexpr bool Contains(unsigned char c) const { return (bits_[c >> 3] >> (c & 7)) & 1; }
  constexpr bool Contains(char c) const { return Contains(static_cast<unsigned char>(c)); }
  constexpr CharSet& Add(unsigned char c) {
    bits_[c >> 3] = static_cast<std::uint8_t>(bits_[c >> 3] | (1u << (c & 7)));
    return *this;
  }
  constexpr CharSet& AddRange(unsigned char from, unsigned char to) {
    for (unsigned c = from; c <= to; ++c) Add(static_cast<unsigned char>(c));
    return *this;
  }
  constexpr CharSet& AddAll(std::string_view chars) {
    for (char c : chars) Add(static_cast<unsigned char>(c));
    return *this;
  }
  constexpr CharSet& Union(const CharSet& other) {
    for (int i = 0; i < 32; ++i) bits_[i] = static_cast<std::uint8_t>(bits_[i] | other.bits_[i]);
    return *this;
  }
  // Bit (c mod 8) of byte (c div 8).
  constexpr const std::array<std::uint8_t, 32>& Bits() const { return bits_; }

 private:
  std::array<std::uint8_t, 32> bits_{};
};

// Whether FilterChars keeps the characters of its set or drops them.
enum class CharFilter { Keep, Drop };

// The characters of text that are in the set (Keep) or not in it (Drop), in
// their order.
std::string FilterChars(std::string_view text, const CharSet& set, CharFilter filter);

extern const CharSet DigitChars;
extern const CharSet HouseSuffixChars;
extern const CharSet StreetJunkChars;
// The receiving system's separators, which text fields must not carry.
inline constexpr std::string_view kFieldJunk = "#=|";
extern const CharSet FieldJunkChars;
extern const CharSet MaskPlaceholderChars;
extern const CharSet FreeFormMaskChars;
extern const CharSet MaskDigitMarkChars;
extern const CharSet MaskZeroChars;
extern const CharSet AlnumChars;
extern const CharSet SeriesChars;
extern const CharSet CyrillicChars;
extern const CharSet SpacedAlphaChars;
extern const CharSet SpacedCyrillicChars;
extern const CharSet SpacedLatinChars;
extern const CharSet SpacedRomanChars;
extern const CharSet SpacedDigitChars;
extern const CharSet DocumentChars;
extern const CharSet BlankChars;

}  // namespace velt
