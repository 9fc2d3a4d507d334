#pragma once
// Text helpers shared by the conversion: the program's one text-to-integer
// conversion, fixed-width justification, trimming, tokens, Roman numerals.
// All text is Windows-1251; positions are 1-based where a position is
// returned. None of these raises an error.
#include <string>
#include <string_view>

namespace velt {

// What TryStrToInt does beyond plain digits.
bool TryStrToIntSlow(std::string_view text, int& value);

// The program's text-to-integer rule: leading blanks skipped, an optional
// sign, then decimal digits or a hexadecimal number after "$", "x", "X",
// "0x" or "0X"; nothing may follow; the value fits a signed 32-bit integer;
// an empty text fails. Up to nine decimal digits alone, the common case,
// cannot overflow: they are read here, where the record loop's many short
// numbers need no call.
inline bool TryStrToInt(std::string_view text, int& value) {
  if (!text.empty() && text.size() <= 9) {
    int digits = 0;
    std::size_t k = 0;
    for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) digits = digits * 10 + (text[k] - '0');
    if (k == text.size()) {
      value = digits;
      return true;
    }
  }
  return TryStrToIntSlow(text, value);
}
int StrToIntDef(std::string_view text, int fallback);
bool IsInteger(std::string_view text);

// `width` copies of `fill` followed by text, of which the last `width`
// characters are kept ("" for a width of 0 or less).
std::string PadLeft(std::string_view text, int width, char fill);

// Trimming removes every character of code 32 or below.
std::string_view TrimView(std::string_view text);
std::string_view TrimLeftView(std::string_view text);
std::string_view TrimRightView(std::string_view text);
std::string Trim(std::string_view text);

// Latin letters only upper-cased (field names, expression words); every
// other byte kept.
inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
std::string AsciiUpperCase(std::string_view text);
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

// 1-based position of the n-th non-overlapping occurrence, 0 when fewer.
int FindNthOccurrence(std::string_view sub, std::string_view text, int n);
// The n-th (from 0) field of text between delimiters.
std::string ExtractToken(std::string_view text, int n, std::string_view delimiter);

std::string IntToRoman(int value);
int RomanToInt(std::string_view text);  // 0 unless a canonical numeral
bool IsRomanNumber(std::string_view text);

// `count` characters of text from position `from` (1-based); whatever of
// that range exists (a position below 1 counts as 1).
inline std::string_view Copy(std::string_view text, int from, int count) {
  if (from < 1) from = 1;
  const auto start = static_cast<std::size_t>(from - 1);
  if (count <= 0 || start >= text.size()) return {};
  return text.substr(start, static_cast<std::size_t>(count));
}

}  // namespace velt
