#pragma once
// The text forms that dBase fields hold: numbers right-justified in their
// width with a "." point, dates as yyyymmdd, and the forms in which the table
// hands them to callers (plain decimal numbers, dd.mm.yyyy dates).
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "support/date_time.h"

namespace velt::dbf {

// Words of record bytes are read with their first byte lowest.
static_assert(std::endian::native == std::endian::little);

// Trailing blanks (and the NUL bytes some writers pad with) removed.
inline std::string_view TrimRight(std::string_view text) {
  // Sixteen, then eight bytes at a time while they are all blanks or NULs
  // (the only bytes with no bit but 0x20 set): wide fields are mostly
  // padding.
  std::size_t n = text.size();
#if defined(__SSE2__)
  const __m128i ignored = _mm_set1_epi8(static_cast<char>(0xDF));
  while (n >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + n - 16));
    const auto blank = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(bytes, ignored), _mm_setzero_si128())));
    if (blank != 0xFFFF) {
      // The last byte kept is the highest bit of those that are not blank.
      const unsigned kept = ~blank & 0xFFFF;
      return text.substr(0, n - 16 + static_cast<std::size_t>(32 - std::countl_zero(kept)));
    }
    n -= 16;
  }
#endif
  while (n >= 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + n - 8, 8);
    std::uint64_t kept = word & 0xDFDFDFDFDFDFDFDFull;
    if (kept != 0) {
      // Bit 0 of each byte that is kept, then the last such byte (the first
      // byte read is the lowest one).
      kept |= kept >> 4;
      kept |= kept >> 2;
      kept |= kept >> 1;
      kept &= 0x0101010101010101ull;
      return text.substr(0, n - 8 + static_cast<std::size_t>(63 - std::countl_zero(kept)) / 8 + 1);
    }
    n -= 8;
  }
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\0')) --n;
  return text.substr(0, n);
}
bool IsBlank(std::string_view text);

// Reads a numeric field. False when the field is blank (a null number); an
// unreadable number reads as 0.
bool ParseNumber(std::string_view field, double& value);
// Like ParseNumber but tells an unreadable text apart: false for blank or
// unreadable text.
bool TryParseNumber(std::string_view text, double& value);

// Plain decimal, up to 15 significant digits, no blanks, no trailing zeros:
// 12, 12.5, -0.25.
// The field's text when, blanks and NULs aside, it is 1 to 15 decimal
// digits without a leading zero (or a lone 0): the very text that
// NumberText gives for the number it holds. Empty otherwise.
std::string_view PlainDigits(std::string_view field);
void NumberText(double value, std::string& out);
std::string NumberText(double value);

// Right-justifies a number in `width` bytes with `decimals` decimals. A number
// with more decimals is rounded half away from zero on its shortest decimal
// form (12.345 into two decimals gives 12.35). False, and `out` untouched,
// when it does not fit.
bool FormatNumber(double value, int width, int decimals, char* out);
bool FormatInteger(std::int64_t value, int width, int decimals, char* out);

// yyyymmdd of a field; false for blanks or a date that does not exist.
bool ParseDate(std::string_view field, DateTime& value);
// Writes yyyymmdd; false when the year is outside 1..9999.
bool FormatDate(DateTime value, char* out8);
// dd.mm.yyyy, the form in which a date is read as text.
std::string DateText(DateTime value);
// Accepts d.m.yyyy (one or two digits for day and month) and yyyymmdd.
bool ParseDateText(std::string_view text, DateTime& value);

}  // namespace velt::dbf
