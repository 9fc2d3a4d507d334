#include "support/keyboard_layouts.h"

#include <array>
#include <utility>

namespace velt {
namespace {

// Latin key character and the upper-case Cyrillic letter on the same key.
constexpr std::array<std::pair<char32_t, char32_t>, 33> kSharedKeys = {{
    {U'`', U'Ё'}, {U'Q', U'Й'}, {U'W', U'Ц'},  {U'E', U'У'}, {U'R', U'К'}, {U'T', U'Е'}, {U'Y', U'Н'},
    {U'U', U'Г'}, {U'I', U'Ш'}, {U'O', U'Щ'},  {U'P', U'З'}, {U'[', U'Х'}, {U']', U'Ъ'}, {U'A', U'Ф'},
    {U'S', U'Ы'}, {U'D', U'В'}, {U'F', U'А'},  {U'G', U'П'}, {U'H', U'Р'}, {U'J', U'О'}, {U'K', U'Л'},
    {U'L', U'Д'}, {U';', U'Ж'}, {U'\'', U'Э'}, {U'Z', U'Я'}, {U'X', U'Ч'}, {U'C', U'С'}, {U'V', U'М'},
    {U'B', U'И'}, {U'N', U'Т'}, {U'M', U'Ь'},  {U',', U'Б'}, {U'.', U'Ю'},
}};

char32_t UpperLatin(char32_t c) { return c >= U'a' && c <= U'z' ? c - (U'a' - U'A') : c; }

// The basic Russian letters а-я lie 32 above А-Я; ё is apart.
char32_t UpperCyrillic(char32_t c) {
  if (c >= U'а' && c <= U'я') return c - (U'а' - U'А');
  return c == U'ё' ? U'Ё' : c;
}

}  // namespace

char32_t CyrillicOnLatinKey(char32_t latin) {
  const char32_t key = UpperLatin(latin);
  for (const auto& [onKey, letter] : kSharedKeys)
    if (onKey == key) return letter;
  return 0;
}

char32_t LatinKeyOfCyrillic(char32_t cyrillic) {
  const char32_t letter = UpperCyrillic(cyrillic);
  for (const auto& [onKey, shared] : kSharedKeys)
    if (shared == letter) return onKey;
  return 0;
}

char32_t MnemonicLetterOfKey(char32_t key) {
  const char32_t upper = UpperCyrillic(key);
  if (LatinKeyOfCyrillic(upper) != 0) return upper;
  return CyrillicOnLatinKey(key);
}

}  // namespace velt
