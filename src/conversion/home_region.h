#pragma once
// The home region: its patients go to the "t" table, the others' to "te".
#include <string_view>

namespace velt {

inline constexpr int kHomeRegion = 74;
// The first two digits of the region's street and insurer codes.
inline constexpr std::string_view kHomeRegionPrefix = "74";
// Insurer codes of the home region are 74 followed by the insurer's own
// three digits.
inline constexpr int kHomeRegionInsurerBase = kHomeRegion * 1000;

}  // namespace velt
