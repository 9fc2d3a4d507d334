#pragma once
#include <string_view>

namespace velt {

// The text holds (among separators) exactly 11 digits whose last two are the
// check number of the first nine.
bool CheckSnils(std::string_view text);

}  // namespace velt
