#include "support/text.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

namespace velt {
namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Size of a hexadecimal prefix at the start of text (0 when there is none).
std::size_t HexPrefixLength(std::string_view text) {
  if (text.empty()) return 0;
  if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') return 1;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return 2;
  return 0;
}

bool IsLowControlOrBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

struct RomanPair {
  std::string_view symbol;
  int value;
};

constexpr std::array<RomanPair, 13> kRomanPairs = {{{"M", 1000},
                                                    {"CM", 900},
                                                    {"D", 500},
                                                    {"CD", 400},
                                                    {"C", 100},
                                                    {"XC", 90},
                                                    {"L", 50},
                                                    {"XL", 40},
                                                    {"X", 10},
                                                    {"IX", 9},
                                                    {"V", 5},
                                                    {"IV", 4},
                                                    {"I", 1}}};

}  // namespace

// Signs, blanks in front, hexadecimal and the overflow checks.
bool TryStrToIntSlow(std::string_view text, int& value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t prefix = HexPrefixLength(text.substr(i));
  const int base = prefix > 0 ? 16 : 10;
  i += prefix;
  if (i >= text.size()) return false;
  // The magnitude may reach 2^31 only for a negative value.
  const std::int64_t limit = negative ? std::int64_t{INT_MAX} + 1 : INT_MAX;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigitValue(text[i]);
    if (digit < 0 || digit >= base) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return false;
  }
  value = static_cast<int>(negative ? -magnitude : magnitude);
  return true;
}

int StrToIntDef(std::string_view text, int fallback) {
  int value = 0;
  return TryStrToInt(text, value) ? value : fallback;
}

bool IsInteger(std::string_view text) {
  int value = 0;
  return TryStrToInt(text, value);
}

std::string PadLeft(std::string_view text, int width, char fill) {
  if (width <= 0) return {};
  const auto w = static_cast<std::size_t>(width);
  if (text.size() >= w) return std::string(text.substr(text.size() - w));
  std::string out(w - text.size(), fill);
  out.append(text);
  return out;
}

std::string_view TrimLeftView(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsLowControlOrBlank(text[i])) ++i;
  return text.substr(i);
}

std::string_view TrimRightView(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && IsLowControlOrBlank(text[n - 1])) --n;
  return text.substr(0, n);
}

std::string_view TrimView(std::string_view text) { return TrimRightView(TrimLeftView(text)); }

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

std::string AsciiUpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

int FindNthOccurrence(std::string_view sub, std::string_view text, int n) {
  if (sub.empty() || n < 1) return 0;
  int count = 0;
  std::size_t pos = 0;
  while (pos + sub.size() <= text.size()) {
    if (text.compare(pos, sub.size(), sub) == 0) {
      if (++count == n) return static_cast<int>(pos) + 1;
      pos += sub.size();  // occurrences never overlap
    } else {
      ++pos;
    }
  }
  return 0;
}

std::string ExtractToken(std::string_view text, int n, std::string_view delimiter) {
  std::size_t start = 0;  // 0-based
  if (n > 0) {
    const int found = FindNthOccurrence(delimiter, text, n);
    if (found == 0) return {};
    start = static_cast<std::size_t>(found - 1) + delimiter.size();
  }
  const int next = FindNthOccurrence(delimiter, text, n + 1);
  const std::size_t end = next == 0 ? text.size() : static_cast<std::size_t>(next - 1);
  if (end <= start) return {};
  return std::string(text.substr(start, end - start));
}

std::string IntToRoman(int value) {
  std::string out;
  for (const RomanPair& pair : kRomanPairs) {
    while (value >= pair.value) {
      out += pair.symbol;
      value -= pair.value;
    }
  }
  return out;
}

int RomanToInt(std::string_view text) {
  if (text.empty()) return 0;
  std::int64_t total = 0;
  std::size_t pair = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const RomanPair& p = kRomanPairs[pair];
    if (text.substr(pos).starts_with(p.symbol)) {
      total += p.value;
      if (total > INT_MAX) return 0;
      pos += p.symbol.size();
    } else if (++pair == kRomanPairs.size()) {
      return 0;
    }
  }
  // Only canonical numerals: "IIII" sums to 4 but is written "IV".
  const int value = static_cast<int>(total);
  return IntToRoman(value) == text ? value : 0;
}

bool IsRomanNumber(std::string_view text) { return RomanToInt(text) > 0; }

}  // namespace velt
