#pragma once
// The one error type of the program. Its text is the message shown to the
// user (Windows-1251 bytes, exactly as specified for each failure).
#include <stdexcept>
#include <string>

namespace velt {

// What a caller may need to tell apart before it words its own message: a
// file that could not be opened or created at all (missing, locked, no room,
// no right to write) against every other failure.
enum class ErrorKind { Other, Unavailable };

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& text, ErrorKind kind = ErrorKind::Other)
      : std::runtime_error(text), kind_(kind) {}
  bool Unavailable() const { return kind_ == ErrorKind::Unavailable; }

 private:
  ErrorKind kind_;
};

}  // namespace velt
