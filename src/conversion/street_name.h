#pragma once
// The street name of an address as the street reference spells it: the
// street-type word taken out (it becomes the street's type), an ordinal such
// as 1-Я moved behind the name, stray characters dropped.
#include <string>
#include <string_view>

namespace velt {

// Rewrites `name` (upper-cased already) in place and returns the street type
// found in it: one of УЛ, ПЕР, ПР-КТ, ПР-Т, ПР, ПРОСПЕКТ; УЛ when none is
// there. The returned text is a program constant (Windows-1251).
std::string_view NormaliseStreetName(std::string& name);

// Removes every occurrence of `pattern` from `text` in one left-to-right pass
// (text that the removal brings together is not searched again).
void RemoveEvery(std::string& text, std::string_view pattern);

// Removes characters of code 32 or below at both ends / at the start.
void TrimInPlace(std::string& text);
void TrimLeftInPlace(std::string& text);

}  // namespace velt
