// Identity documents: each type 1..24 prescribes the form of its number as a
// mask. In a mask only 0 9 R S Z and the Cyrillic Б count:
//   Б  one Cyrillic letter (either case, Ё ё included)
//   9  one digit
//   0  one digit that may be missing at the end of the number
//   R  leading part of Roman-numeral letters or of digits
//   S  leading part of Cyrillic letters or of Latin letters
//   Z  leading part of letters of either alphabet
// After R, S or Z the rest of the mask is matched from the end of the number.
#include "conversion/identity_document.h"

#include <algorithm>
#include <array>

#include "support/char_set.h"
#include "support/code_page.h"
#include "support/text.h"

namespace velt {
namespace {

constexpr int kMaxType = 24;

const std::array<std::string, kMaxType + 1>& Masks() {
  static const std::array<std::string, kMaxType + 1> masks = [] {
    const char* const utf8[kMaxType + 1] = {
        "",                 // no type 0
        "R-ББ 999999",      // 1
        "S 9",              // 2
        "R-ББ 999999",      // 3
        "ББ 9999999",       // 4
        "S 9",              // 5
        "ББ 999999",        // 6
        "ББ 9999990",       // 7
        "99 9999999",       // 8
        "S 9",              // 9
        "S 9",              // 10
        "Z 9",              // 11
        "S 9",              // 12
        "S 9",              // 13
        "99 99 9999990",    // 14
        "99 9999999",       // 15
        "ББ 9999990",       // 16
        "ББ 999999",        // 17
        "Z 9",              // 18
        "##19_not_in_use",  // 19, never accepted
        "##20_not_in_use",  // 20, never accepted
        "Z 9",              // 21
        "Z 9",              // 22
        "Z 9",              // 23
        "Z 9",              // 24
    };
    std::array<std::string, kMaxType + 1> out;
    for (int i = 0; i <= kMaxType; ++i) out[i] = Utf8ToAnsi(utf8[i]);
    return out;
  }();
  return masks;
}

constexpr char kMaskLetter = static_cast<char>(0xC1);  // Cyrillic Б in 1251

bool IsClassLetter(char c) { return c == 'R' || c == 'S' || c == 'Z'; }

bool AllIn(std::string_view text, const CharSet& set) {
  for (char c : text)
    if (!set.Contains(c)) return false;
  return true;
}

// One fixed mask position (Б, 9 or 0) against one character of the number.
bool FitsPosition(char maskChar, char c) {
  if (maskChar == kMaskLetter) return CyrillicChars.Contains(c);
  if (maskChar == '9' || maskChar == '0') return DigitChars.Contains(c);
  return false;
}

// The leading part of the number against the class letter that opens the mask.
bool FitsClass(char classLetter, std::string_view lead) {
  switch (classLetter) {
    case 'Z':
      return AllIn(lead, SpacedAlphaChars);
    case 'S':
      return AllIn(lead, SpacedCyrillicChars) || AllIn(lead, SpacedLatinChars);
    case 'R':
      return AllIn(lead, SpacedRomanChars) || AllIn(lead, SpacedDigitChars);
    default:
      return false;
  }
}

// A mask with trailing 0s: every present character must fit its position and
// the number may fall short of the mask by at most the number of 0s.
bool MatchWithOptionalTail(std::string_view reduced, std::string_view value) {
  const std::size_t m = reduced.size();
  const std::size_t n = value.size();
  std::size_t zeros = 0;
  for (std::size_t i = 0; i < m; ++i) {
    if (reduced[i] == '0') ++zeros;
    if (i < n && !FitsPosition(reduced[i], value[i])) return false;
  }
  return n <= m && n + zeros >= m;
}

// Compares from the end until a class letter; the characters before the
// compared tail, as many as the class letter's position, form the leading
// part that the class letter tests.
bool MatchFromEnd(std::string_view reduced, std::string_view value) {
  const std::size_t m = reduced.size();
  const std::size_t n = value.size();
  for (std::size_t k = 0; k < m; ++k) {
    const std::size_t p = m - k;  // 1-based mask position
    const char maskChar = reduced[p - 1];
    if (IsClassLetter(maskChar)) return FitsClass(maskChar, Copy(value, 1, static_cast<int>(p)));
    if (k >= n || !FitsPosition(maskChar, value[n - k - 1])) return false;
  }
  return true;
}

// The Roman part of a series: a canonical numeral is kept, a decimal number
// is written as one, anything else (0 included, which has no numeral) is
// dropped.
std::string RomanSeriesPart(const std::string& part) {
  if (IsRomanNumber(part)) return part;
  int value = 0;
  if (TryStrToInt(part, value)) return IntToRoman(value);
  return {};
}

// `kept`: the number's digits and series letters.
DocumentParts SplitRomanSeries(const std::string& typeText, std::string_view kept) {
  std::string_view rest = kept;
  const std::size_t numberLength = std::min<std::size_t>(6, rest.size());
  DocumentParts parts{typeText, {}, std::string(rest.substr(rest.size() - numberLength))};
  rest.remove_suffix(numberLength);
  const std::size_t lettersLength = std::min<std::size_t>(2, rest.size());
  parts.series = std::string(rest.substr(rest.size() - lettersLength));
  rest.remove_suffix(lettersLength);
  const std::string numeral = RomanSeriesPart(std::string(rest));
  if (!numeral.empty()) parts.series = numeral + "-" + parts.series;
  return parts;
}

// How a mask splits an accepted number (masks without R, S or Z).
enum class Split { TwoLetters, SevenDigits, TwoAndTwo };

// What the tests of a mask need of it, worked out once per mask.
struct MaskShape {
  std::string reduced;    // its placeholders alone
  bool freeForm = false;  // S or Z: letters of either alphabet, the number as typed
  bool hasMark = false;   // 0, R, S or Z: the length may vary
  bool hasZero = false;
  bool roman = false;  // it opens with R
  Split split = Split::TwoLetters;
};

MaskShape ShapeOf(std::string_view mask) {
  MaskShape shape;
  shape.reduced = FilterChars(mask, MaskPlaceholderChars, CharFilter::Keep);
  shape.freeForm = shape.reduced.find_first_of("SZ") != std::string::npos;
  shape.hasMark = shape.reduced.find_first_of("0RSZ") != std::string::npos;
  shape.hasZero = shape.reduced.find('0') != std::string::npos;
  shape.roman = mask.starts_with("R");
  if (mask == "99 9999999") shape.split = Split::SevenDigits;
  if (mask == "99 99 9999990") shape.split = Split::TwoAndTwo;
  return shape;
}

const std::array<MaskShape, kMaxType + 1>& Shapes() {
  static const std::array<MaskShape, kMaxType + 1> shapes = [] {
    std::array<MaskShape, kMaxType + 1> out;
    for (int i = 0; i <= kMaxType; ++i) out[i] = ShapeOf(Masks()[i]);
    return out;
  }();
  return shapes;
}

// `value`: the number's characters of the kind the mask asks for.
bool Matches(const MaskShape& shape, std::string_view value) {
  if (!shape.hasMark && value.size() != shape.reduced.size()) return false;
  if (shape.hasZero) return MatchWithOptionalTail(shape.reduced, value);
  return MatchFromEnd(shape.reduced, value);
}

int DocumentType(std::string_view typeText) {
  if (typeText.size() < 2) return 0;  // a lone digit is no type
  return StrToIntDef(TrimView(Copy(TrimView(typeText), 1, 2)), 0);
}

}  // namespace

const std::string& DocumentMask(int type) {
  static const std::string kNone;
  if (type < 1 || type > kMaxType) return kNone;
  return Masks()[type];
}

bool MatchDocumentMask(std::string_view number, std::string_view mask) {
  const MaskShape shape = ShapeOf(mask);
  const std::string value = FilterChars(number, shape.freeForm ? AlnumChars : SeriesChars, CharFilter::Keep);
  return Matches(shape, value);
}

DocumentParts SplitDocument(std::string_view typeText, std::string_view numberText) {
  const std::string t = FilterChars(numberText, DocumentChars, CharFilter::Keep);
  const int type = DocumentType(typeText);
  if (type < 1 || type > kMaxType || type == 19 || type == 20 || t.empty()) return {};
  const MaskShape& shape = Shapes()[type];
  // The characters that the mask test sees; for a mask without S or Z the
  // very ones that are split: blanks and hyphens between the parts are
  // separators, never part of the series or number.
  const std::string value = FilterChars(t, shape.freeForm ? AlnumChars : SeriesChars, CharFilter::Keep);
  if (!Matches(shape, value)) return {};

  const std::string typeOut = std::to_string(type);
  if (shape.roman) return SplitRomanSeries(typeOut, value);
  if (shape.freeForm) return {typeOut, t.substr(0, t.size() - 1), t.substr(t.size() - 1)};
  const std::string_view v = value;
  switch (shape.split) {
    case Split::SevenDigits:
      return {typeOut, std::string(Copy(v, 1, 2)), std::string(Copy(v, 3, 7))};
    case Split::TwoAndTwo:
      return {typeOut, std::string(Copy(v, 1, 2)) + " " + std::string(Copy(v, 3, 2)),
              std::string(Copy(v, 5, static_cast<int>(v.size())))};
    default:  // the masks that begin with two Cyrillic letters
      return {typeOut, std::string(Copy(v, 1, 2)), std::string(Copy(v, 3, static_cast<int>(v.size())))};
  }
}

}  // namespace velt
