// The program's constant character sets. Cyrillic letters are named by their
// Windows-1251 codes: А..Я 0xC0-0xDF, а..я 0xE0-0xFF, Ё 0xA8, ё 0xB8. All sets
// are built at compile time, so they are ready before any other static
// initialiser runs.
#include "support/char_set.h"

namespace velt {
namespace {

constexpr unsigned char kYoUpper = 0xA8;
constexpr unsigned char kYoLower = 0xB8;

constexpr CharSet Digits() { return CharSet().AddRange('0', '9'); }
constexpr CharSet Latin() { return CharSet().AddRange('A', 'Z').AddRange('a', 'z'); }
constexpr CharSet RomanLetters() { return CharSet().AddAll("CDILMVX"); }
// Both cases of the Cyrillic alphabet, Ё and ё included.
constexpr CharSet Cyrillic() { return CharSet().AddRange(0xC0, 0xFF).Add(kYoUpper).Add(kYoLower); }
constexpr CharSet BlankAndHyphen() { return CharSet().AddAll(" -"); }

}  // namespace

std::string FilterChars(std::string_view text, const CharSet& set, CharFilter filter) {
  const bool drop = filter == CharFilter::Drop;
  std::string out(text.size(), '\0');
  std::size_t kept = 0;
  for (char c : text)
    if (set.Contains(c) != drop) out[kept++] = c;
  out.resize(kept);
  return out;
}

constexpr CharSet DigitChars = Digits();
// Upper-case Cyrillic without Ё.
constexpr CharSet HouseSuffixChars = Digits().AddRange(0xC0, 0xDF);
constexpr CharSet StreetJunkChars = CharSet().AddAll("+/=\\");
constexpr CharSet FieldJunkChars = CharSet().AddAll(kFieldJunk);
// 0xC1 is the Cyrillic Б of the document masks.
constexpr CharSet MaskPlaceholderChars = CharSet().AddAll("09RSZ").Add(0xC1);
constexpr CharSet FreeFormMaskChars = CharSet().AddAll("SZ");
constexpr CharSet MaskDigitMarkChars = CharSet().AddAll("0RSZ");
constexpr CharSet MaskZeroChars = CharSet().Add('0');
constexpr CharSet AlnumChars = Digits().Union(Latin()).Union(Cyrillic());
constexpr CharSet SeriesChars = Digits().Union(RomanLetters()).Union(Cyrillic());
constexpr CharSet CyrillicChars = Cyrillic();
constexpr CharSet SpacedAlphaChars = BlankAndHyphen().Union(Latin()).Union(Cyrillic());
constexpr CharSet SpacedCyrillicChars = BlankAndHyphen().Union(Cyrillic());
constexpr CharSet SpacedLatinChars = BlankAndHyphen().Union(Latin());
constexpr CharSet SpacedRomanChars = BlankAndHyphen().Union(RomanLetters());
constexpr CharSet SpacedDigitChars = BlankAndHyphen().Union(Digits());
constexpr CharSet DocumentChars = BlankAndHyphen().Union(Digits()).Union(Latin()).Union(Cyrillic());
constexpr CharSet BlankChars = CharSet().Add(' ');

}  // namespace velt
