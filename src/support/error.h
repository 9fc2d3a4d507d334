#pragma once
// The one error type of the program. Its text is the message shown to the
// user (Windows-1251 bytes, exactly as specified for each failure).
#include <stdexcept>
#include <string>

namespace velt {

// What a caller may need to tell apart before it words its own message.
enum class ErrorKind {
  Other,
  // Could not be opened or created at all (missing, no room, no right to
  // write).
  Unavailable,
  // There, but not opened as a table (no dBase table, unreadable).
  CannotOpen,
  // Held by another program or another run.
  Held,
  // Not readable as it stands (two fields of one name, not a regular file).
  Damaged,
  // An operation on a table that is not open.
  Closed,
  // A value too wide for its field: the cause names the field and the
  // value, and the caller, who knows the record, words the line with it.
  OutOfBounds,
};

class Error : public std::runtime_error {
 public:
  // `cause`: why, in words the operator can act on (1251), when the failing
  // layer knows; the text then holds it too, on its own line (OutOfBounds
  // aside, see there).
  explicit Error(const std::string& text, ErrorKind kind = ErrorKind::Other, std::string cause = {})
      : std::runtime_error(text), kind_(kind), cause_(std::move(cause)) {}
  ErrorKind Kind() const { return kind_; }
  bool Unavailable() const { return kind_ == ErrorKind::Unavailable; }
  const std::string& Cause() const { return cause_; }

 private:
  ErrorKind kind_;
  std::string cause_;
};

}  // namespace velt
