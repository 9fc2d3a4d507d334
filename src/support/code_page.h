#pragma once
// Conversions between the code pages the program meets. Memory holds
// Windows-1251; tables with OEM translation store code page 866; the windows
// and the command line's terminal speak UTF-8.
#include <cstddef>
#include <string>
#include <string_view>

namespace velt {

std::string OemToAnsi(std::string_view text);  // 866 -> 1251
std::string AnsiToOem(std::string_view text);  // 1251 -> 866
void OemToAnsiInPlace(char* text, std::size_t length);
void AnsiToOemInPlace(char* text, std::size_t length);

std::string AnsiToUtf8(std::string_view text);  // 1251 -> UTF-8
std::string Utf8ToAnsi(std::string_view text);  // UTF-8 -> 1251, '?' when 1251 has no such letter

// Upper-casing of 1251 text: a byte becomes the 1251 byte of its Unicode
// upper-case letter when there is one; every other byte is kept.
char UpperChar(char c);
std::string UpperCase(std::string_view text);
// The text upper-cased into `out` (text.size() bytes).
void UpperCaseInto(std::string_view text, char* out);
// Equal once both are upper-cased.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

// A 1251 constant written in the source as UTF-8: VELT_ANSI("ПОС") gives the
// 1251 bytes, converted once per call site.
#define VELT_ANSI(utf8literal)                                            \
  ([]() -> const std::string& {                                           \
    static const std::string converted = ::velt::Utf8ToAnsi(utf8literal); \
    return converted;                                                     \
  }())

}  // namespace velt
