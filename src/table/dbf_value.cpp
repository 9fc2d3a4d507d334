#include "table/dbf_value.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace velt::dbf {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\0')) text.remove_prefix(1);
  return TrimRight(text);
}

bool ReadDigits(std::string_view text, int& value) {
  if (text.empty()) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

void PutDigits(char* out, int value, int count) {
  for (int i = count - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

// A whole number of up to 15 digits, the common case, read without the
// general parser (which gives the same value for it: it is exact).
bool ParseWholeNumber(std::string_view text, double& value) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 15) return false;
  std::int64_t whole = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    whole = whole * 10 + (c - '0');
  }
  value = negative ? -static_cast<double>(whole) : static_cast<double>(whole);
  return true;
}

}  // namespace

bool IsBlank(std::string_view text) { return TrimRight(text).empty(); }

bool TryParseNumber(std::string_view text, double& value) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  if (ParseWholeNumber(text, value)) return true;
  double parsed = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(parsed))
    return false;
  value = parsed;
  return true;
}

bool ParseNumber(std::string_view field, double& value) {
  if (IsBlank(field)) {
    value = 0;
    return false;
  }
  if (!TryParseNumber(field, value)) value = 0;
  return true;
}

std::string_view PlainDigits(std::string_view field) {
  const std::string_view text = TrimBlanks(field);
  if (text.empty() || text.size() > 15 || (text.front() == '0' && text.size() > 1)) return {};
  for (char c : text)
    if (c < '0' || c > '9') return {};
  return text;
}

void NumberText(double value, std::string& out) {
  out.clear();
  if (value == 0 || !std::isfinite(value)) {
    out.push_back('0');
    return;
  }
  // A whole number of up to 15 digits is its digits (what the general form
  // below gives it too).
  if (value > -1e15 && value < 1e15 && static_cast<double>(static_cast<std::int64_t>(value)) == value) {
    char buf[24];
    auto result = std::to_chars(buf, buf + sizeof buf, static_cast<std::int64_t>(value));
    out.assign(buf, result.ptr);
    return;
  }
  // Fifteen significant digits in scientific form: d.dddddddddddddde±x.
  char buf[40];
  auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string_view text(buf, static_cast<std::size_t>(result.ptr - buf));
  bool negative = text.front() == '-';
  if (negative) text.remove_prefix(1);
  std::size_t e = text.find('e');
  int exponent = 0;
  std::string_view exponentText = text.substr(e + 1);
  if (!exponentText.empty() && exponentText.front() == '+') exponentText.remove_prefix(1);
  std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
  std::string digits;
  digits += text[0];
  digits.append(text.substr(2, e - 2));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  if (negative) out += '-';
  if (exponent >= 0) {
    auto intDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
      out += digits;
      out.append(intDigits - digits.size(), '0');
    } else {
      out.append(digits, 0, intDigits);
      out += '.';
      out.append(digits, intDigits, std::string::npos);
    }
  } else {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  }
}

std::string NumberText(double value) {
  std::string out;
  NumberText(value, out);
  return out;
}

bool FormatNumber(double value, int width, int decimals, char* out) {
  if (!std::isfinite(value) || width <= 0 || decimals > 300) return false;
  if (decimals < 0) decimals = 0;
  // The shortest fixed form of a double has at most about 330 characters.
  char buf[400];
  auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (result.ec != std::errc()) return false;
  std::string_view text(buf, static_cast<std::size_t>(result.ptr - buf));
  bool negative = text.front() == '-';
  if (negative) text.remove_prefix(1);
  std::size_t dot = text.find('.');
  std::string_view intPart = text.substr(0, dot);
  std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if (static_cast<int>(intPart.size()) + decimals > width) return false;  // cannot fit even unrounded

  // digits[0] is a spare place for a carry out of the integer part.
  char digits[400];
  std::size_t n = 1;
  digits[0] = '0';
  std::memcpy(digits + n, intPart.data(), intPart.size());
  n += intPart.size();
  for (int i = 0; i < decimals; ++i)
    digits[n++] = static_cast<std::size_t>(i) < fraction.size() ? fraction[static_cast<std::size_t>(i)] : '0';
  if (fraction.size() > static_cast<std::size_t>(decimals) &&
      fraction[static_cast<std::size_t>(decimals)] >= '5') {
    std::size_t i = n - 1;
    while (digits[i] == '9') digits[i--] = '0';
    ++digits[i];
  }
  std::size_t first = digits[0] == '0' ? 1 : 0;
  std::size_t intLength = 1 + intPart.size() - first;
  bool zero = true;
  for (std::size_t i = first; i < n; ++i) zero = zero && digits[i] == '0';
  bool sign = negative && !zero;
  std::size_t length =
      (sign ? 1 : 0) + intLength + (decimals > 0 ? 1 + static_cast<std::size_t>(decimals) : 0);
  if (length > static_cast<std::size_t>(width)) return false;

  std::size_t pad = static_cast<std::size_t>(width) - length;
  std::memset(out, ' ', pad);
  char* p = out + pad;
  if (sign) *p++ = '-';
  std::memcpy(p, digits + first, intLength);
  p += intLength;
  if (decimals > 0) {
    *p++ = '.';
    std::memcpy(p, digits + first + intLength, static_cast<std::size_t>(decimals));
  }
  return true;
}

bool FormatInteger(std::int64_t value, int width, int decimals, char* out) {
  if (width <= 0) return false;
  if (decimals < 0) decimals = 0;
  // The digits from the right end of the buffer.
  char buf[24];
  char* first = buf + sizeof buf;
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  do {
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--first = '-';
  auto digits = static_cast<std::size_t>(buf + sizeof buf - first);
  std::size_t length = digits + (decimals > 0 ? 1 + static_cast<std::size_t>(decimals) : 0);
  if (length > static_cast<std::size_t>(width)) return false;
  std::size_t pad = static_cast<std::size_t>(width) - length;
  std::memset(out, ' ', pad);
  std::memcpy(out + pad, first, digits);
  if (decimals > 0) {
    out[pad + digits] = '.';
    std::memset(out + pad + digits + 1, '0', static_cast<std::size_t>(decimals));
  }
  return true;
}

bool ParseDate(std::string_view field, DateTime& value) {
  if (field.size() < 8) return false;
  int year = 0, month = 0, day = 0;
  if (!ReadDigits(field.substr(0, 4), year) || !ReadDigits(field.substr(4, 2), month) ||
      !ReadDigits(field.substr(6, 2), day))
    return false;
  return TryEncodeDate(year, month, day, value);
}

bool FormatDate(DateTime value, char* out8) {
  if (!std::isfinite(value)) return false;
  DateParts parts = DecodeDate(value);
  if (parts.year < 1 || parts.year > 9999) return false;
  PutDigits(out8, parts.year, 4);
  PutDigits(out8 + 4, parts.month, 2);
  PutDigits(out8 + 6, parts.day, 2);
  return true;
}

std::string DateText(DateTime value) {
  DateParts parts = DecodeDate(value);
  std::string out(10, '.');
  PutDigits(out.data(), parts.day, 2);
  PutDigits(out.data() + 3, parts.month, 2);
  PutDigits(out.data() + 6, parts.year, 4);
  return out;
}

bool ParseDateText(std::string_view text, DateTime& value) {
  text = TrimBlanks(text);
  if (text.size() == 8 && text.find('.') == std::string_view::npos) return ParseDate(text, value);
  std::size_t first = text.find('.');
  if (first == std::string_view::npos) return false;
  std::size_t second = text.find('.', first + 1);
  if (second == std::string_view::npos) return false;
  std::string_view dayText = text.substr(0, first);
  std::string_view monthText = text.substr(first + 1, second - first - 1);
  std::string_view yearText = text.substr(second + 1);
  if (dayText.size() > 2 || monthText.size() > 2 || yearText.size() != 4) return false;
  int year = 0, month = 0, day = 0;
  if (!ReadDigits(dayText, day) || !ReadDigits(monthText, month) || !ReadDigits(yearText, year)) return false;
  return TryEncodeDate(year, month, day, value);
}

}  // namespace velt::dbf
