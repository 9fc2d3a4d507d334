#pragma once
// The one error type of the program. Its text is the message shown to the
// user (Windows-1251 bytes, exactly as specified for each failure).
#include <stdexcept>
#include <string>

namespace velt {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace velt
